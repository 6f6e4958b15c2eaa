#include "app/win32/splash.h"

namespace tarvenix::win32 {

namespace {
enum : int { lblProductName = 10, Label1, lblCompanyProduct, imgLogo };

constexpr COLORREF kGrey = RGB(192, 192, 192);
}  // namespace

SplashWindow::SplashWindow()
    : background_(CreateSolidBrush(kGrey))
    , product_font_(make_font(L"Times New Roman", 15.75, true, true))
    , label_font_(make_font(L"MS PGothic", 12.0, true, false))
    , maker_font_(make_font(L"Times New Roman", 8.25, false, false)) {}

SplashWindow::~SplashWindow() {
    destroy();
    DeleteObject(background_);
    DeleteObject(product_font_);
    DeleteObject(label_font_);
    DeleteObject(maker_font_);
}

void SplashWindow::present(std::string_view product_text) {
    const Twips tw;
    if (hwnd() == nullptr) {
        create_window(L"Tarvenix.frmSplash", L" ", WS_POPUP | WS_CAPTION,
                      WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, nullptr, RECT{0, 0, 100, 100});
        set_client_size(hwnd(), tw(4575), tw(1635));
        make_control(hwnd(), L"STATIC", L"", SS_CENTER | SS_NOPREFIX, tw.rect(1080, 240, 3270, 450),
                     lblProductName, product_font_);
        make_control(hwnd(), L"STATIC", L"For Win 98/Me/NT4/2000/XP", SS_CENTER,
                     tw.rect(960, 840, 3495, 255), Label1, label_font_);
        make_control(hwnd(), L"STATIC", L"© Tarvenix developers", SS_LEFT,
                     tw.rect(1260, 1200, 2400, 210), lblCompanyProduct, maker_font_);
        HWND logo =
            make_control(hwnd(), L"STATIC", L"", SS_ICON, tw.rect(300, 300, 480, 480), imgLogo);
        SendMessageW(logo, STM_SETICON, reinterpret_cast<WPARAM>(program_icon(false)), 0);
    }
    SetWindowTextW(GetDlgItem(hwnd(), lblProductName), widen(product_text).c_str());
    for (int id : {lblProductName, Label1, lblCompanyProduct}) {
        fit_label(GetDlgItem(hwnd(), id));
    }
    centre_on_screen(hwnd());
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    UpdateWindow(hwnd());
}

LRESULT SplashWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT r{};
            GetClientRect(hwnd(), &r);
            FillRect(reinterpret_cast<HDC>(wparam), &r, background_);
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            auto dc = reinterpret_cast<HDC>(wparam);
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
            SetTextColor(dc, id == lblProductName ? RGB(0, 0, 128)
                             : id == Label1       ? RGB(128, 0, 128)
                                                  : RGB(0, 0, 0));
            SetBkColor(dc, kGrey);
            return reinterpret_cast<LRESULT>(background_);
        }
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
    return Window::handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
