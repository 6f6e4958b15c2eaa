// What the windows of a running Tarvenix or of its installer show, for the
// scripts that drive them on wine's desktop (the probe runs there too):
//   window_probe OUT state       the settings tab, the control with the focus, shown or not
//   window_probe OUT box         the text of the program's message box
//   window_probe OUT button ID   where on the screen that box's button ID is, "x y"
//   window_probe OUT components  the installer's list: a scroll bar, each item's description
//   window_probe OUT checkbox    the installer page's check box and its state
// The answer goes to the file OUT whole once the probe ends (a program started
// on wine's desktop runs on after `explorer` returns). Waits up to 20 s.

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#include "app/win32/face_window.h"

namespace {

using tarvenix::win32::window_text;

HWND wait_for(const std::function<HWND()>& find) {
    HWND found = nullptr;
    for (int i = 0; i < 200 && (found = find()) == nullptr; ++i) {
        Sleep(100);
    }
    return found;
}

// A visible message box of the thread that owns `window`.
HWND box_of(HWND window) {
    HWND box = nullptr;
    EnumThreadWindows(
        GetWindowThreadProcessId(window, nullptr),
        [](HWND w, LPARAM found) {
            wchar_t name[16] = {};
            GetClassNameW(w, name, 16);
            if (std::wstring_view(name) == L"#32770" && IsWindowVisible(w) != FALSE) {
                *reinterpret_cast<HWND*>(found) = w;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    return box;
}

// Whether a label of the installer shows its whole text, wrapped at its width,
// in the face and size of the installer's Japanese pages (its font handle
// means nothing in this process).
bool text_fits(HWND label) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0,
                             0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック");
    HGDIOBJ old = SelectObject(dc, font);
    RECT area{};
    GetClientRect(label, &area);
    RECT needed = area;
    const std::wstring text = tarvenix::win32::widen(window_text(label));
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    DeleteObject(SelectObject(dc, old));
    ReleaseDC(nullptr, dc);
    return needed.bottom <= area.bottom && needed.right <= area.right;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 2 ? argv[2] : L"";
    std::ostringstream out;
    // The program's window once on the screen, or the installer's page (the components page once
    // its list is filled; on the last page, its check box once that is up).
    HWND main = wait_for([&command] {
        HWND w = FindWindowW(L"Tarvenix.Menu", nullptr);
        if (command == L"state" || command == L"box" || command == L"button") {
            return IsWindowVisible(w) != FALSE ? w : nullptr;
        }
        HWND page = FindWindowExW(FindWindowW(L"#32770", nullptr), nullptr, L"#32770", nullptr);
        if (command == L"checkbox") {
            HWND b = FindWindowExW(page, nullptr, L"Button", nullptr);
            return (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX ? b : nullptr;
        }
        return command != L"components" || SendMessageW(GetDlgItem(page, 1032), TVM_GETCOUNT, 0, 0)
                   ? page
                   : nullptr;
    });
    if (main == nullptr) {
        out << "<no window>\n";
    } else if (command == L"state") {
        // Once the box is gone, the window is in front and the focus back in a named control.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        wait_for([main, &info] {
            GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
            const bool named = !tarvenix::win32::control_name(GetDlgCtrlID(info.hwndFocus)).empty();
            return named && !box_of(main) && GetForegroundWindow() == main ? main : nullptr;
        });
        out << "tab="
            << SendMessageW(FindWindowExW(main, nullptr, WC_TABCONTROLW, nullptr), TCM_GETCURSEL, 0,
                            0)
            << " focus=" << tarvenix::win32::control_name(GetDlgCtrlID(info.hwndFocus))
            << " shown=" << (IsWindowVisible(info.hwndFocus) != FALSE) << "\n";
    } else if (command == L"box") {
        HWND box = wait_for([main] { return box_of(main); });
        out << window_text(GetDlgItem(box, 0xFFFF)) << "\n";
    } else if (command == L"button") {
        RECT r{};
        GetWindowRect(
            GetDlgItem(wait_for([main] { return box_of(main); }), argc > 3 ? _wtoi(argv[3]) : IDOK),
            &r);
        out << (r.left + r.right) / 2 << " " << (r.top + r.bottom) / 2 << "\n";
    } else if (command == L"checkbox") {
        out << window_text(main) << " checked=" << SendMessageW(main, BM_GETCHECK, 0, 0) << "\n";
    } else if (command == L"components") {
        // Each item in turn under the mouse pointer, as the description follows it.
        HWND tree = GetDlgItem(main, 1032);
        HWND description = GetDlgItem(main, 1043);
        out << "scroll bar=" << ((GetWindowLongW(tree, GWL_STYLE) & WS_HSCROLL) != 0) << "\n";
        const auto rows = static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0));
        const auto height = static_cast<int>(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            POINT p{30, row * height + height / 2};
            ClientToScreen(tree, &p);
            const std::string before = window_text(description);
            for (int i = 0; i < 20 && window_text(description) == before; ++i) {
                SetCursorPos(p.x, p.y);
                PostMessageW(tree, WM_MOUSEMOVE, 0, 0);
                Sleep(250);
            }
            out << "item " << window_text(description) << " whole=" << text_fits(description)
                << "\n";
        }
    }
    const std::wstring part = std::wstring(argc > 1 ? argv[1] : L"probe.txt") + L".part";
    if (FILE* file = _wfopen(part.c_str(), L"wb")) {
        std::fputs(out.str().c_str(), file);
        std::fclose(file);
    }
    return MoveFileExW(part.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) != FALSE ? 0 : 1;
}
