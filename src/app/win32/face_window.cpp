#include "app/win32/face_window.h"

#include <commctrl.h>

namespace tarvenix::win32 {

namespace {

using face::Kind;

struct Style {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style = 0;
};

// The Win32 control of each kind. The alignments are the table's order
// (left, centre, right), which is also that of SS_LEFT/SS_CENTER/SS_RIGHT and
// ES_LEFT/ES_CENTER/ES_RIGHT. An option button of index 0 starts its group,
// as does the first control after a group (the arrow keys stay in a group).
Style style_of(const face::ControlSpec& c, bool after_options) {
    const auto align = static_cast<DWORD>(c.align);
    const DWORD group = after_options ? WS_GROUP : 0;
    switch (c.kind) {
        case Kind::kLabel:
            // Paths may hold "&": no mnemonic underlines.
            return {L"STATIC", SS_NOPREFIX | (c.path ? SS_LEFTNOWORDWRAP : align) | group};
        case Kind::kText:
            return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | align | group, WS_EX_CLIENTEDGE};
        case Kind::kCheck:
            return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX | group};
        case Kind::kOption:
            return {L"BUTTON", BS_AUTORADIOBUTTON | (c.index == 0 ? DWORD{WS_TABSTOP | WS_GROUP} : 0)};
        case Kind::kButton:
            return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | group};
        case Kind::kFrame:
            return {L"BUTTON", BS_GROUPBOX | group};
        case Kind::kIcon:
            break;
    }
    return {L"STATIC", SS_ICON | SS_CENTERIMAGE | group};
}

COLORREF colour_of(const std::optional<face::Rgb>& rgb, int fallback) {
    return rgb ? RGB(rgb->red, rgb->green, rgb->blue) : GetSysColor(fallback);
}

}  // namespace

std::string control_name(int id) {
    const auto& controls = face::main_window().controls;
    const auto at = static_cast<std::size_t>(id - kFirstControlId);
    return id >= kFirstControlId && at < controls.size() ? controls[at].full_name() : "";
}

int control_id(std::string_view full_name) {
    const face::WindowSpec& window = face::main_window();
    for (const face::ControlSpec& c : window.controls) {
        if (c.full_name() == full_name) {
            return kFirstControlId + window.position(c);
        }
    }
    return 0;
}

FaceWindow::FaceWindow(const face::WindowSpec& spec)
    : spec_(spec) {
    if (spec.background) {
        background_ = CreateSolidBrush(colour_of(spec.background, COLOR_BTNFACE));
    }
}

FaceWindow::~FaceWindow() {
    destroy();
    for (const auto& [control, font] : fonts_) {
        DeleteObject(font);
    }
    if (background_ != nullptr) {
        DeleteObject(background_);
    }
}

void FaceWindow::open(DWORD style, DWORD ex_style,
                      const std::function<HWND(const face::ControlSpec&)>& parent) {
    const Twips tw;
    create_window(widen("Tarvenix." + std::string(spec_.name)).c_str(),
                  widen(spec_.caption).c_str(), style, ex_style, nullptr, RECT{0, 0, 100, 100});
    set_client_size(hwnd(), tw(spec_.width), tw(spec_.height));
    tool_tips_ = nullptr;
    controls_.clear();
    for (const face::ControlSpec& c : spec_.controls) {
        HWND in = parent ? parent(c) : nullptr;
        controls_.push_back(make(c, in != nullptr ? in : hwnd()));
    }
}

HWND FaceWindow::make(const face::ControlSpec& c, HWND parent) {
    const Twips tw;
    const auto at = static_cast<std::size_t>(spec_.position(c));
    const bool after_options = at > 0 && spec_.controls[at - 1].kind == Kind::kOption &&
                               c.kind != Kind::kOption;
    const Style s = style_of(c, after_options);
    // A control in a frame is placed from the frame's corner.
    face::Twips where = c.at;
    if (const face::ControlSpec* frame = c.frame.empty() ? nullptr : spec_.find(c.frame)) {
        where.left += frame->at.left;
        where.top += frame->at.top;
    }
    HWND control = make_control(parent, s.window_class, widen(c.text), s.style,
                                tw.rect(where.left, where.top, where.width, where.height),
                                kFirstControlId + spec_.position(c), font_of(c), s.ex_style);
    if (c.kind == Kind::kIcon) {
        SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(program_icon(false)), 0);
    } else if (c.kind == Kind::kLabel && !c.text.empty() && !c.path) {
        fit_label(control);
    }
    if (!c.tool_tip.empty()) {
        add_tool_tip(control, c.tool_tip);
    }
    return control;
}

HFONT FaceWindow::font_of(const face::ControlSpec& c) {
    if (!c.font) {
        return nullptr;  // the program's font
    }
    for (const auto& [control, font] : fonts_) {
        if (control == &c) {
            return font;
        }
    }
    const face::Font& f = *c.font;
    fonts_.emplace_back(&c, make_font(widen(f.face).c_str(), f.points, f.bold, f.italic));
    return fonts_.back().second;
}

void FaceWindow::add_tool_tip(HWND control, std::string_view text) {
    if (tool_tips_ == nullptr) {
        tool_tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    }
    std::wstring tip = widen(text);  // the tool tip control keeps a copy
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = tip.data();
    SendMessageW(tool_tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

HWND FaceWindow::control(const face::ControlSpec& c) const {
    const auto at = static_cast<std::size_t>(spec_.position(c));
    return hwnd() != nullptr && at < controls_.size() ? controls_[at] : nullptr;
}

HWND FaceWindow::control(std::string_view full_name) const {
    for (const face::ControlSpec& c : spec_.controls) {
        if (c.full_name() == full_name) {
            return control(c);
        }
    }
    return nullptr;
}

const face::ControlSpec* FaceWindow::spec_of(int id) const {
    const auto at = static_cast<std::size_t>(id - kFirstControlId);
    return id >= kFirstControlId && at < spec_.controls.size() ? &spec_.controls[at] : nullptr;
}

void FaceWindow::set_label(std::string_view full_name, std::string_view text) {
    HWND label = control(full_name);
    set_window_text(label, text);
    fit_label(label);
}

void FaceWindow::run(face::Action action, int index) const {
    if (runner_) {
        runner_(action, index);
    }
}

LRESULT FaceWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND:
            if (background_ != nullptr) {
                RECT r{};
                GetClientRect(hwnd(), &r);
                FillRect(reinterpret_cast<HDC>(wparam), &r, background_);
                return 1;
            }
            break;
        case WM_CTLCOLORSTATIC: {
            const face::ControlSpec* c = spec_of(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)));
            if (background_ == nullptr && (c == nullptr || !c->colour)) {
                break;
            }
            auto dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, colour_of(c != nullptr ? c->colour : std::nullopt, COLOR_WINDOWTEXT));
            SetBkColor(dc, colour_of(spec_.background, COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(background_ != nullptr
                                                 ? background_
                                                 : GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_COMMAND:
            if (const face::ControlSpec* c = spec_of(LOWORD(wparam));
                c != nullptr && c->action != face::Action::kNone && HIWORD(wparam) == BN_CLICKED) {
                run(c->action, c->index);
            }
            return 0;
        default:
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
