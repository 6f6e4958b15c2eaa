#include "app/win32/face_window.h"

#include <commctrl.h>

#include "app/core/path_ellipsis.h"
#include "common/platform/files.h"

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
Style style_of(const face::ControlRow& c, DWORD group) {
    const auto align = static_cast<DWORD>(c.align);
    switch (c.kind) {
        case Kind::kLabel:
            // Paths may hold "&": no mnemonic underlines.
            return {L"STATIC", SS_NOPREFIX | (c.path ? SS_LEFTNOWORDWRAP : align) | group};
        case Kind::kText:
            return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | align | group, WS_EX_CLIENTEDGE};
        case Kind::kCheck:
            return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX | group};
        case Kind::kOption:
            return {L"BUTTON",
                    BS_AUTORADIOBUTTON | (c.index == 0 ? DWORD{WS_TABSTOP | WS_GROUP} : 0)};
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

FaceWindow::FaceWindow(const face::WindowTable& table)
    : table_(table) {
    if (table.background) {
        background_ = CreateSolidBrush(colour_of(table.background, COLOR_BTNFACE));
    }
}

FaceWindow::~FaceWindow() {
    destroy();
    for (const auto& [control, font] : fonts_) {
        if (font != nullptr) {
            DeleteObject(font);
        }
    }
    if (background_ != nullptr) {
        DeleteObject(background_);
    }
}

void FaceWindow::open(DWORD style, DWORD ex_style,
                      const std::function<HWND(const face::ControlRow&)>& parent) {
    create_window(widen("Tarvenix." + std::string(table_.name)).c_str(),
                  widen(table_.caption).c_str(), style, ex_style, nullptr, RECT{0, 0, 100, 100});
    set_client_size(hwnd(), pixels(table_.width), pixels(table_.height));
    tool_tips_ = nullptr;
    controls_.clear();
    for (const face::ControlRow& c : table_.controls) {
        HWND in = parent ? parent(c) : nullptr;
        controls_.push_back(make(c, in != nullptr ? in : hwnd()));
    }
}

HWND FaceWindow::make(const face::ControlRow& c, HWND parent) {
    const int at = table_.position(c);
    const bool after_options = at > 0 && c.kind != Kind::kOption && (&c - 1)->kind == Kind::kOption;
    const Style s = style_of(c, after_options ? WS_GROUP : 0);
    // A control in a frame is placed from the frame's corner.
    face::Twips where = c.at;
    if (const face::ControlRow* frame = c.frame.empty() ? nullptr : table_.find(c.frame)) {
        where.left += frame->at.left;
        where.top += frame->at.top;
    }
    HFONT& font = fonts_[&c];
    if (c.font && font == nullptr) {
        font = make_font(c.font->face, c.font->points, c.font->bold, c.font->italic);
    }
    HWND control = make_control(parent, s.window_class, widen(c.text), s.style, pixels(where),
                                kFirstControlId + at, font, s.ex_style);
    if (c.kind == Kind::kIcon) {
        SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(program_icon()), 0);
    } else if (c.kind == Kind::kCheck && c.text.empty()) {
        mark_focus_without_caption(control);
    } else if (c.kind == Kind::kLabel && !c.text.empty() && !c.path) {
        fit_label(control);
    }
    if (!c.tool_tip.empty()) {
        add_tool_tip(control, c.tool_tip);
    }
    return control;
}

void FaceWindow::add_tool_tip(HWND control, std::string_view text) {
    if (tool_tips_ == nullptr) {
        tool_tips_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                            nullptr, GetModuleHandleW(nullptr), nullptr);
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

HWND FaceWindow::control(std::string_view full_name) const {
    for (const face::ControlRow& c : table_.controls) {
        if (c.full_name() == full_name) {
            return control(c);
        }
    }
    return nullptr;
}

bool FaceWindow::show_centred(DWORD style, DWORD ex_style, std::string_view text) {
    const bool opening = hwnd() == nullptr;
    if (opening) {
        open(style, ex_style);
        HWND label = control(table_.filled_label);
        set_window_text(label, text);
        fit_label(label);
        centre_on_screen(hwnd());
    }
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(hwnd());
    return opening;
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
            const face::ControlRow* c = row_of(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)));
            if (background_ == nullptr && (c == nullptr || !c->colour)) {
                break;
            }
            auto dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, colour_of(c != nullptr ? c->colour : std::nullopt, COLOR_WINDOWTEXT));
            SetBkColor(dc, colour_of(table_.background, COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(
                background_ != nullptr ? background_ : GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_COMMAND:
            if (const face::ControlRow* c = row_of(LOWORD(wparam));
                c != nullptr && c->action != face::Action::kNone && HIWORD(wparam) == BN_CLICKED) {
                run(c->action, c->index);
            }
            return 0;
        default:
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

// --- copydlg -------------------------------------------------------------------

ProgressDialog::ProgressDialog(Win32EventPump& pump, ClockPort& clock)
    : FaceWindow(face::progress_dialog())
    , pump_(pump)
    , presenter_(*this, clock) {
    // No close button: the run takes the dialog off the screen, the user
    // stops the run with its cancel button (copyccl_bt).
    open(WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
}

void ProgressDialog::show_dialog(bool first_time) {
    if (first_time) {
        centre_on_screen(hwnd());  // later the user may have moved it
    }
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
}

void ProgressDialog::set_text(ProgressLabel label, std::string_view text) {
    // A path keeps to its label's one line, shortened in the middle as the
    // label's font draws it.
    const face::ControlRow* row = table().find(progress_label_name(label));
    HWND shown = control(*row);
    RECT area{};
    GetClientRect(shown, &area);
    const auto width = [shown](std::string_view part) {
        return static_cast<int>(text_extent(shown, widen(part)).cx);
    };
    set_window_text(shown, row->path
                               ? shorten_path(text, area.right, width, platform::kPathSeparator)
                               : std::string(text));
}

LRESULT ProgressDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kPassMessage) {
        presenter_.pass();
    } else if (message == WM_TIMER) {
        KillTimer(hwnd(), kPresenterTimer);
        presenter_.on_timer();
    } else if (message != WM_CLOSE) {  // only the run closes it (nor does Escape)
        return FaceWindow::handle_message(message, wparam, lparam);
    }
    return 0;
}

// --- frmSplash and frmAbout --------------------------------------------------------

void SplashWindow::present(std::string_view product_text) {
    show_centred(WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, product_text);
    SetFocus(hwnd());
    UpdateWindow(hwnd());
}

LRESULT SplashWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        close();
        return 0;
    }
    if (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE) {
        centre_on_screen(hwnd());  // centred again whenever it becomes active
    }
    return FaceWindow::handle_message(message, wparam, lparam);
}

void AboutWindow::show(std::string_view version_text) {
    if (show_centred(WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                     version_text)) {
        HWND ok = control(table().default_button);
        SendMessageW(ok, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
        SetFocus(ok);
    }
}

LRESULT AboutWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    // Enter and Escape come from the dialog keyboard as IDOK and IDCANCEL.
    if (message == WM_CLOSE ||
        (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL))) {
        close();
        return 0;
    }
    return FaceWindow::handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
