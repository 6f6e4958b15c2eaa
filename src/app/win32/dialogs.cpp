#include "app/win32/dialogs.h"

#include "app/core/path_ellipsis.h"
#include "app/win32/win32_ports.h"
#include "common/platform.h"

namespace tarvenix::win32 {

namespace {

// The presenter's pass, queued for when the message loop is next served.
constexpr UINT kPassMessage = WM_APP + 3;
constexpr UINT_PTR kPresenterTimer = 1;

// What a one-line label shows of a path: shortened in the middle to the
// label's width in its font.
std::string fitted_path(HWND label, std::string_view path) {
    HDC dc = GetDC(label);
    if (dc == nullptr) {
        return std::string(path);
    }
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT area{};
    GetClientRect(label, &area);
    const auto width = [dc](std::string_view part) {
        const std::wstring text = widen(part);
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        return static_cast<int>(extent.cx);
    };
    std::string shown = shorten_path(path, area.right, width, platform::kPathSeparator);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return shown;
}

}  // namespace

// --- copydlg -------------------------------------------------------------------

ProgressDialog::ProgressDialog(Win32EventPump& pump, ClockPort& clock)
    : FaceWindow(face::progress_dialog())
    , pump_(pump)
    , presenter_(*this, clock) {
    // No close button: the run takes the dialog off the screen, the user
    // stops the run with "中　止".
    open(WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
}

void ProgressDialog::show_dialog(bool first_time) {
    if (first_time) {
        centre_on_screen(hwnd());  // later the user may have moved it
    }
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
}

void ProgressDialog::hide_dialog() {
    ShowWindow(hwnd(), SW_HIDE);
}

bool ProgressDialog::dialog_visible() const {
    return IsWindowVisible(hwnd()) != FALSE;
}

void ProgressDialog::set_text(ProgressLabel label, std::string_view text) {
    const face::ControlSpec* row = spec().find(progress_label_name(label));
    HWND shown = control(*row);
    set_window_text(shown, row->path ? fitted_path(shown, text) : std::string(text));
}

void ProgressDialog::paint_now() {
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void ProgressDialog::queue_pass() {
    PostMessageW(hwnd(), kPassMessage, 0, 0);
}

void ProgressDialog::start_timer(int ms) {
    SetTimer(hwnd(), kPresenterTimer, static_cast<UINT>(ms), nullptr);
}

void ProgressDialog::request_prompt_pass() {
    pump_.request_prompt_pass();
}

LRESULT ProgressDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case kPassMessage:
            presenter_.pass();
            return 0;
        case WM_TIMER:
            KillTimer(hwnd(), kPresenterTimer);
            presenter_.on_timer();
            return 0;
        case WM_CLOSE:
            return 0;  // only the run closes the dialog (Escape does nothing either)
        default:
            break;
    }
    return FaceWindow::handle_message(message, wparam, lparam);
}

// --- frmSplash -------------------------------------------------------------------

void SplashWindow::present(std::string_view product_text) {
    if (hwnd() == nullptr) {
        open(WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME | WS_EX_TOPMOST);
    }
    set_label("lblProductName", product_text);
    centre_on_screen(hwnd());
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    UpdateWindow(hwnd());
}

LRESULT SplashWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ACTIVATE:
            // Centred again whenever it becomes active.
            if (LOWORD(wparam) != WA_INACTIVE) {
                centre_on_screen(hwnd());
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            destroy();
            return 0;
        default:
            break;
    }
    return FaceWindow::handle_message(message, wparam, lparam);
}

// --- frmAbout --------------------------------------------------------------------

void AboutWindow::show(std::string_view version_text) {
    const bool opening = hwnd() == nullptr;
    if (opening) {
        open(WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
        set_label("lbl_ver", version_text);
        centre_on_screen(hwnd());
        SendMessageW(control("cmdOK"), BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    }
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(hwnd());
    if (opening) {
        SetFocus(control("cmdOK"));
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
