#include "app/win32/about.h"

#include "app/win32/win32_ports.h"

namespace tarvenix::win32 {

namespace {
enum : int { Frame1 = 10, picIcon, Label2, lbl_ver, lblDescription, Label4, Label1 };
constexpr int cmdOK = IDOK;  // Enter presses it
}  // namespace

AboutWindow::AboutWindow(Win32EventPump* pump)
    : pump_(pump) {}

AboutWindow::~AboutWindow() {
    close();
    if (name_font_ != nullptr) {
        DeleteObject(name_font_);
    }
}

void AboutWindow::close() {
    if (hwnd() != nullptr && pump_ != nullptr) {
        pump_->remove_dialog_window(hwnd());
    }
    destroy();
}

void AboutWindow::show(std::string_view version_text) {
    if (hwnd() != nullptr) {
        ShowWindow(hwnd(), SW_SHOWNORMAL);
        SetForegroundWindow(hwnd());
        return;
    }
    if (name_font_ == nullptr) {
        name_font_ = make_font(L"Times New Roman", 14.25, true, true);
    }
    const Twips tw;
    create_window(L"Tarvenix.frmAbout", L"TARVENIXのﾊﾞｰｼﾞｮﾝ情報",
                  WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                  nullptr, RECT{0, 0, 100, 100});
    set_client_size(hwnd(), tw(3975), tw(2940));
    // The frame's contents are placed relative to the frame's own corner.
    const auto in_frame = [&tw](int left, int top, int width, int height) {
        return tw.rect(180 + left, 180 + top, width, height);
    };
    make_control(hwnd(), L"BUTTON", L"", BS_GROUPBOX, tw.rect(180, 180, 3570, 960), Frame1);
    HWND icon = make_control(hwnd(), L"STATIC", L"", SS_ICON | SS_CENTERIMAGE,
                             in_frame(270, 270, 540, 540), picIcon);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(program_icon(false)), 0);
    make_control(hwnd(), L"STATIC", L"Tarvenix", SS_LEFT, in_frame(1365, 225, 1515, 345), Label2,
                 name_font_);
    make_control(hwnd(), L"STATIC", widen(version_text), SS_CENTER, in_frame(1665, 630, 960, 225),
                 lbl_ver);
    make_control(hwnd(), L"STATIC", L"ファイルバックアップユーティリティー", SS_CENTER,
                 tw.rect(585, 1305, 2805, 180), lblDescription);
    make_control(hwnd(), L"STATIC", L"for Win95/98/Me/NT4.0/2000/XP", SS_CENTER,
                 tw.rect(645, 1575, 2595, 180), Label4);
    make_control(hwnd(), L"STATIC", L"© Tarvenix developers", SS_CENTER,
                 tw.rect(360, 1935, 3255, 285), Label1);
    HWND ok = make_control(hwnd(), L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON,
                           tw.rect(1320, 2385, 1310, 435), cmdOK);
    for (int id : {Label2, lbl_ver, lblDescription, Label4, Label1}) {
        fit_label(GetDlgItem(hwnd(), id));
    }
    if (pump_ != nullptr) {
        pump_->add_dialog_window(hwnd());
    }
    centre_on_screen(hwnd());
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(hwnd());
    SetFocus(ok);
}

LRESULT AboutWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            // OK, Enter and Escape all close the window.
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                close();
            }
            return 0;
        case WM_CLOSE:
            close();
            return 0;
        default:
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
