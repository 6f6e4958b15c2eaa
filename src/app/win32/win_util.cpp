#include "app/win32/win_util.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/win32/resources/resource.h"

namespace tarvenix::win32 {

namespace {
// The narrowest margin the layouts leave between a label and the window's edge.
constexpr int kEdgeMarginTwips = 120;

int screen_dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}
}  // namespace

Twips::Twips()
    : dpi_(screen_dpi()) {}

int Twips::operator()(int twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi_ / 1440.0));
}

RECT Twips::rect(int left, int top, int width, int height) const {
    const int x = (*this)(left);
    const int y = (*this)(top);
    return RECT{x, y, x + (*this)(width), y + (*this)(height)};
}

HFONT make_font(const wchar_t* face, double points, bool bold, bool italic) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * Twips().dpi() / 72.0));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

HFONT program_font() {
    static HFONT font = make_font(L"MS UI Gothic", 9.0, false, false);
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
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(got)));
}

void set_window_text(HWND window, std::string_view utf8) {
    SetWindowTextW(window, widen(utf8).c_str());
}

void set_client_size(HWND window, int width, int height) {
    RECT r{0, 0, width, height};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    AdjustWindowRectEx(&r, style, GetMenu(window) != nullptr ? TRUE : FALSE, ex_style);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND make_control(HWND parent, const wchar_t* window_class, std::wstring_view text, DWORD style,
                  const RECT& where, int id, HFONT font, DWORD ex_style) {
    const std::wstring caption(text);
    HWND control = CreateWindowExW(
        ex_style, window_class, caption.c_str(), WS_CHILD | WS_VISIBLE | style, where.left,
        where.top, where.right - where.left, where.bottom - where.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(font != nullptr ? font : program_font()), FALSE);
    return control;
}

void fit_label(HWND label) {
    const std::wstring text = widen(window_text(label));
    HDC dc = GetDC(label);
    if (dc == nullptr) {
        return;
    }
    auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : program_font());
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(label, dc);

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
        const LONG margin = Twips()(kEdgeMarginTwips);
        const LONG first = std::min<LONG>(margin, designed.left);
        const LONG last = std::max<LONG>(client.right - margin, designed.right);
        const LONG shift = r.left < first ? first - r.left : (r.right > last ? last - r.right : 0);
        r.left = std::max<LONG>(first, r.left + shift);
        r.right = std::min<LONG>(last, r.right + shift);
    }
    r.bottom = std::max<LONG>(r.bottom, r.top + metrics.tmHeight);
    SetWindowPos(label, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::is_program_window(HWND window) {
    return GetClassLongPtrW(window, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(&window_proc);
}

Window::~Window() {
    destroy();
}

void Window::destroy() {
    if (hwnd_ != nullptr) {
        HWND window = hwnd_;
        DestroyWindow(window);
        hwnd_ = nullptr;
    }
}

HWND Window::create_window(const wchar_t* class_name, const wchar_t* title, DWORD style,
                           DWORD ex_style, HWND parent, const RECT& where) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, class_name, &existing) == FALSE) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &Window::window_proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = class_name;
        wc.hIcon = program_icon(false);
        wc.hIconSm = program_icon(true);
        RegisterClassExW(&wc);
    }
    return CreateWindowExW(ex_style, class_name, title, style, where.left, where.top,
                           where.right - where.left, where.bottom - where.top, parent, nullptr,
                           instance, this);
}

LRESULT Window::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK Window::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        const LRESULT result = self->handle_message(message, wparam, lparam);
        self->hwnd_ = nullptr;
        return result;
    }
    return self->handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
