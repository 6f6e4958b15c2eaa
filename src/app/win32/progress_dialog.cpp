#include "app/win32/progress_dialog.h"

#include "app/core/path_ellipsis.h"
#include "app/win32/control_ids.h"
#include "app/win32/win32_ports.h"
#include "common/platform/files.h"

namespace tarvenix::win32 {

namespace {

struct LabelDef {
    int id;
    const wchar_t* text;
    int left, top, width, height;
    COLORREF colour;
    DWORD align;
};

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kTeal = RGB(0, 128, 128);
constexpr COLORREF kBlack = RGB(0, 0, 0);

constexpr LabelDef kLabels[] = {
    {ctl::copydlg_Label1, L"コピー元フォルダ", 315, 240, 1380, 225, kBlue, SS_LEFT},
    {ctl::srcfld, L"", 1920, 240, 5295, 495, kBlack, SS_LEFTNOWORDWRAP},
    {ctl::copydlg_Label2, L"コピー先フォルダ", 315, 840, 1380, 225, kMagenta, SS_LEFT},
    {ctl::dstfld, L"", 1920, 840, 5295, 495, kBlack, SS_LEFTNOWORDWRAP},
    {ctl::copydlg_Label3, L"<サブフォルダ>", 360, 1440, 1380, 225, kGreen, SS_LEFT},
    {ctl::subfld, L"", 1920, 1440, 5310, 495, kBlack, SS_LEFTNOWORDWRAP},
    {ctl::copydlg_cpinfo_lvl, L"ファイル名", 360, 2160, 945, 180, kTeal, SS_LEFT},
    {ctl::cpfname, L"", 1920, 2160, 5370, 300, kBlack, SS_LEFTNOWORDWRAP},
    {ctl::copydlg_Label4, L"ファイルサイズ", 360, 2520, 1185, 180, kTeal, SS_LEFT},
    {ctl::filesize, L"", 1920, 2520, 855, 255, kBlack, SS_RIGHT},
    {ctl::copydlg_Label5, L"Kbyte", 2880, 2520, 495, 255, kBlack, SS_LEFT},
};

constexpr int kLabelIds[] = {ctl::srcfld, ctl::dstfld, ctl::subfld, ctl::cpfname, ctl::filesize};

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
    const std::string shown = shorten_path(
        path, area.right - area.left,
        [dc](std::string_view part) {
            const std::wstring text = widen(part);
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            return static_cast<int>(extent.cx);
        },
        platform::kPathSeparator);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return shown;
}

}  // namespace

ProgressDialog::ProgressDialog(Win32EventPump* pump)
    : pump_(pump) {}

ProgressDialog::~ProgressDialog() {
    close();
}

void ProgressDialog::create() {
    // No close button: the run takes the dialog off the screen, the user
    // stops the run with "中　止".
    const Twips tw;
    create_window(L"Tarvenix.copydlg", L"Tarvenix  バックアップ中 ．．．",
                  WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN,
                  WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, nullptr, RECT{0, 0, 100, 100});
    set_client_size(hwnd(), tw(7485), tw(3420));
    for (const LabelDef& def : kLabels) {
        // Paths may hold "&": no mnemonic underlines.
        HWND label = make_control(hwnd(), L"STATIC", def.text, def.align | SS_NOPREFIX,
                                  tw.rect(def.left, def.top, def.width, def.height), def.id);
        if (*def.text != L'\0') {
            fit_label(label);
        }
    }
    make_control(hwnd(), L"BUTTON", L"中　止", WS_TABSTOP | BS_PUSHBUTTON,
                 tw.rect(3240, 2880, 1185, 435), ctl::copyccl_bt);
    if (pump_ != nullptr) {
        pump_->add_dialog_window(hwnd());
    }
}

void ProgressDialog::show() {
    if (hwnd() == nullptr) {
        create();
    }
    if (!centred_) {
        // Centred on the first showing; later the user may have moved it.
        centred_ = true;
        centre_on_screen(hwnd());
    }
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
}

void ProgressDialog::hide() {
    if (hwnd() != nullptr) {
        ShowWindow(hwnd(), SW_HIDE);
    }
}

bool ProgressDialog::visible() const {
    return hwnd() != nullptr && IsWindowVisible(hwnd()) != FALSE;
}

void ProgressDialog::close() {
    if (hwnd() != nullptr && pump_ != nullptr) {
        pump_->remove_dialog_window(hwnd());
    }
    destroy();
}

HWND ProgressDialog::control(int id) const {
    return hwnd() != nullptr ? GetDlgItem(hwnd(), id) : nullptr;
}

void ProgressDialog::set_label(ProgressLabel label, std::string_view text) {
    const auto i = static_cast<std::size_t>(label);
    if (i >= texts_.size() || texts_[i] == text) {
        return;
    }
    texts_[i].assign(text);
    if (hwnd() == nullptr) {
        create();
    }
    // The label repaints when the event loop is next served.
    HWND shown = GetDlgItem(hwnd(), kLabelIds[i]);
    set_window_text(shown,
                    label == ProgressLabel::filesize ? texts_[i] : fitted_path(shown, texts_[i]));
}

LRESULT ProgressDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
            for (const LabelDef& def : kLabels) {
                if (def.id == id) {
                    auto dc = reinterpret_cast<HDC>(wparam);
                    SetTextColor(dc, def.colour);
                    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
                }
            }
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == ctl::copyccl_bt && HIWORD(wparam) == BN_CLICKED && cancel_) {
                cancel_();
            }
            // Escape (IDCANCEL) does nothing: only the run closes the dialog.
            return 0;
        case WM_CLOSE:
            return 0;
        default:
            break;
    }
    return Window::handle_message(message, wparam, lparam);
}

}  // namespace tarvenix::win32
