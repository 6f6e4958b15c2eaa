#include "app/win32/win_util.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "app/win32/resources/resource.h"

namespace tarvenix::win32 {

namespace {

int screen_dpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int found = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return found > 0 ? found : 96;
    }();
    return dpi;
}

}  // namespace

int pixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * screen_dpi() / 1440.0));
}

RECT pixels(const face::Twips& at) {
    const int x = pixels(at.left);
    const int y = pixels(at.top);
    return RECT{x, y, x + pixels(at.width), y + pixels(at.height)};
}

HFONT make_font(std::string_view face, double points, bool bold, bool italic) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * screen_dpi() / 72.0));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    // GDI knows the gothic by its English name whatever the system's language
    // (and wine's font replacements are keyed by it); the tables name it in
    // Japanese.
    const std::string_view gdi_face = face == face::kProgramFont.face ? "MS PGothic" : face;
    lstrcpynW(font.lfFaceName, widen(gdi_face).c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

HFONT program_font() {
    static const HFONT font = make_font(face::kProgramFont.face, face::kProgramFont.points);
    return font;
}

HICON program_icon(bool small) {
    const int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARVENIX),
                                         IMAGE_ICON, size, size, LR_SHARED));
}

void centre_on_screen(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int left = (area.left + area.right - (frame.right - frame.left)) / 2;
    const int top = (area.top + area.bottom - (frame.bottom - frame.top)) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void set_client_size(HWND window, int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                       GetMenu(window) != nullptr ? TRUE : FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

SIZE text_extent(HWND control, std::wstring_view text) {
    SIZE extent{};
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : program_font());
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return extent;
}

HWND make_control(HWND parent, const wchar_t* window_class, std::wstring_view text, DWORD style,
                  const RECT& where, int id, HFONT font, DWORD ex_style) {
    HWND control = CreateWindowExW(
        ex_style, window_class, std::wstring(text).c_str(), WS_CHILD | WS_VISIBLE | style,
        where.left, where.top, where.right - where.left, where.bottom - where.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(font != nullptr ? font : program_font()), FALSE);
    return control;
}

void fit_label(HWND label) {
    const SIZE extent = text_extent(label, widen(window_text(label)));
    HWND parent = GetParent(label);
    RECT r{};
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    RECT client{};
    GetClientRect(parent, &client);
    const LONG needed = extent.cx + 2;
    if (needed > r.right - r.left) {
        const RECT designed = r;
        const LONG grow = needed - (r.right - r.left);
        const auto align = static_cast<DWORD>(GetWindowLongPtrW(label, GWL_STYLE)) & SS_TYPEMASK;
        if (align == SS_CENTER) {
            r.left -= grow / 2;
            r.right += grow - grow / 2;
        } else if (align == SS_RIGHT) {
            r.left -= grow;
        } else {
            r.right += grow;
        }
        // Within the window's margin: text that reaches the window's edge
        // looks cut off.
        const LONG margin = pixels(face::kEdgeMarginTwips);
        const LONG first = std::min<LONG>(margin, designed.left);
        const LONG last = std::max<LONG>(client.right - margin, designed.right);
        const LONG shift = r.left < first ? first - r.left : (r.right > last ? last - r.right : 0);
        r.left = std::max<LONG>(first, r.left + shift);
        r.right = std::min<LONG>(last, r.right + shift);
    }
    r.bottom = std::max<LONG>(r.bottom, r.top + extent.cy);
    SetWindowPos(label, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

LRESULT CALLBACK with_focus_mark(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                 DWORD_PTR) {
    const LRESULT result = DefSubclassProc(box, message, wparam, lparam);
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
        case BM_SETCHECK:
        case BM_SETSTATE:
            // The button draws these changes straight away, over the frame.
            InvalidateRect(box, nullptr, TRUE);
            break;
        case WM_PAINT:
            if (GetFocus() == box &&
                (SendMessageW(box, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0) {
                RECT r{};
                GetClientRect(box, &r);
                HDC dc = GetDC(box);
                const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
                for (LONG x = r.left; x < r.right; x += 2) {
                    SetPixel(dc, x, r.top, ink);
                    SetPixel(dc, x, r.bottom - 1, ink);
                }
                for (LONG y = r.top; y < r.bottom; y += 2) {
                    SetPixel(dc, r.left, y, ink);
                    SetPixel(dc, r.right - 1, y, ink);
                }
                ReleaseDC(box, dc);
            }
            break;
        default:
            break;
    }
    return result;
}

}  // namespace

void mark_focus_without_caption(HWND check_box) {
    SetWindowSubclass(check_box, &with_focus_mark, 0, 0);
}

bool Window::is_program_window(HWND window) {
    return GetClassLongPtrW(window, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(&window_proc);
}

void Window::destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);  // its handlers still see hwnd() until WM_NCDESTROY
        hwnd_ = nullptr;
    }
}

HWND Window::create_window(const wchar_t* class_name, const wchar_t* title, DWORD style,
                           DWORD ex_style, HWND parent, const RECT& where) {
    // A class registered before stays as it is (the call fails harmlessly).
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = class_name;
    wc.hIcon = program_icon(false);
    wc.hIconSm = program_icon(true);
    RegisterClassExW(&wc);
    return CreateWindowExW(ex_style, class_name, title, style, where.left, where.top,
                           where.right - where.left, where.bottom - where.top, parent, nullptr,
                           instance, this);
}

LRESULT CALLBACK Window::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* created =
            static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    const LRESULT result = self->handle_message(message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace tarvenix::win32
