// What the windows of a running Tarvenix or of its installer show, for the
// scripts that drive them on wine's desktop (the probe runs there too):
//   window_probe OUT state [text=T]  the settings tab, the focused control, its text
//   window_probe OUT box         the text of the settings window's message box
//   window_probe OUT button ID   where on the screen that box's button ID is, "x y"
//   window_probe OUT menu        "shown" once a popup menu (the tray's) is on the screen
//   window_probe OUT control ID  the text of control ID once the installer (its page) holds it
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

// A visible message box that belongs to `window`, which keeps it in front.
HWND box_of(HWND window) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr &&
           (IsWindowVisible(box) == FALSE || GetWindow(box, GW_OWNER) != window)) {
    }
    return box;
}

// A window's text; an edit box of another process answers WM_GETTEXT only.
std::string text_of(HWND window) {
    wchar_t text[MAX_PATH] = {};
    SendMessageW(window, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));
    return tarvenix::win32::narrow(text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 2 ? argv[2] : L"";
    std::ostringstream out;
    // The program's window once on the screen, a visible popup menu, or the installer's page
    // (on the last page, its check box once that is up).
    HWND main = wait_for([&] {
        HWND w = FindWindowW(L"Tarvenix.Menu", nullptr);
        if (command == L"state" || command == L"box" || command == L"button") {
            return IsWindowVisible(w) != FALSE ? w : nullptr;
        }
        if (command == L"menu") {  // wine keeps hidden menu windows around
            HWND menu = nullptr;
            while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr &&
                   IsWindowVisible(menu) == FALSE) {
            }
            return menu;
        }
        HWND installer = FindWindowW(L"#32770", nullptr);
        HWND page = FindWindowExW(installer, nullptr, L"#32770", nullptr);
        if (command == L"checkbox") {
            HWND b = FindWindowExW(page, nullptr, L"Button", nullptr);
            return (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX ? b : nullptr;
        }
        const int id = argc > 3 ? _wtoi(argv[3]) : 0;
        return GetDlgItem(page, id) != nullptr ? GetDlgItem(page, id) : GetDlgItem(installer, id);
    });
    if (main == nullptr) {
        out << "<no window>\n";
    } else if (command == L"state") {
        // Once the box is gone, the window is in front and the focus back in a
        // named control; given "text=T", once that control holds T (keys reach
        // the program through the input method, later than clicks sent after them).
        const std::string want = argc > 3 ? " " + tarvenix::win32::narrow(argv[3]) : "";
        std::string state;
        wait_for([&]() -> HWND {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
            const std::string focus = tarvenix::win32::control_name(GetDlgCtrlID(info.hwndFocus));
            HWND tabs = FindWindowExW(main, nullptr, WC_TABCONTROLW, nullptr);
            state = "tab=" + std::to_string(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)) +
                    " focus=" + focus +
                    " shown=" + std::to_string(IsWindowVisible(info.hwndFocus)) +
                    " text=" + text_of(info.hwndFocus);
            const bool settled = !focus.empty() && !box_of(main) && GetForegroundWindow() == main;
            return settled && state.ends_with(want) ? main : nullptr;
        });
        out << state << "\n";
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
    } else if (command == L"menu") {
        out << "shown\n";
    } else if (command == L"control") {
        out << text_of(main) << "\n";
    }
    const std::wstring part = std::wstring(argc > 1 ? argv[1] : L"probe.txt") + L".part";
    if (FILE* file = _wfopen(part.c_str(), L"wb")) {
        std::fputs(out.str().c_str(), file);
        std::fclose(file);
    }
    return MoveFileExW(part.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) != FALSE ? 0 : 1;
}
