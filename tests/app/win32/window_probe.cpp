// What the windows of a running Tarvenix or of its installer show, for the
// scripts that drive them under wine (run on the same wine desktop):
//   window_probe OUT state             the settings tab and the control with the focus
//   window_probe OUT point NAME        the screen centre of a control ("tab N": a tab)
//   window_probe OUT box               the text of the message box it shows
//   window_probe OUT components        each item of the installer's components page:
//                                      whether it fits, and its description
//   window_probe OUT click ID          presses a button of the installer's window
//   window_probe OUT checkbox          the installer page's check box: text and state
// The answer goes to the file OUT (UTF-8), made whole at once when the probe
// ends: a program started on wine's desktop runs on after `explorer` returns.
// Waits up to 20 s for the window.

#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "app/win32/control_ids.h"
#include "app/win32/win_util.h"

namespace {

using tarvenix::win32::narrow;
namespace ctl = tarvenix::win32::ctl;

std::string text_of(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return narrow(text);
}

HWND wait_for(const std::function<HWND()>& find) {
    for (int i = 0; i < 200; ++i) {
        if (HWND found = find()) {
            return found;
        }
        Sleep(100);
    }
    return nullptr;
}

HWND child_of(HWND parent, int id) {
    std::pair<int, HWND> wanted{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) {
            auto* w = reinterpret_cast<std::pair<int, HWND>*>(param);
            w->second = GetDlgCtrlID(child) == w->first ? child : w->second;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
}

// A rectangle a control of another process fills in (tab and tree items):
// the message's buffer must be memory of that process.
RECT remote_rect(HWND control, UINT message, WPARAM wparam, RECT in) {
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    void* remote = VirtualAllocEx(process, nullptr, sizeof in, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process, remote, &in, sizeof in, nullptr);
    SendMessageW(control, message, wparam, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &in, sizeof in, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return in;
}

// A visible message box of the thread that owns `window`.
HWND box_of(HWND window) {
    HWND box = nullptr;
    EnumThreadWindows(
        GetWindowThreadProcessId(window, nullptr),
        [](HWND w, LPARAM param) {
            wchar_t name[16] = {};
            GetClassNameW(w, name, 16);
            if (std::wstring_view(name) == L"#32770" && IsWindowVisible(w) != FALSE) {
                *reinterpret_cast<HWND*>(param) = w;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    return box;
}

// The installer's window and its current page.
HWND installer() {
    return FindWindowW(L"#32770", nullptr);
}
HWND page() {
    return FindWindowExW(installer(), nullptr, L"#32770", nullptr);
}

// Whether a label of the installer shows its whole text, wrapped at its
// width, within its height, in the face and size of the installer's Japanese
// pages (its font handle means nothing in this process).
bool text_fits(HWND label) {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0,
                             0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック");
    HGDIOBJ old = SelectObject(dc, font);
    RECT area{};
    GetClientRect(label, &area);
    RECT needed = area;
    wchar_t text[512] = {};
    GetWindowTextW(label, text, 512);
    DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return needed.bottom <= area.bottom && needed.right <= area.right;
}

POINT centre(HWND window, RECT r) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    std::ostringstream out;
    const std::wstring command = argv[2];
    const std::string arg = argc > 3 ? narrow(argv[3]) : "";
    // The program's window once it is on the screen, or the installer's page.
    HWND main = command == L"state" || command == L"point" || command == L"box"
                    ? wait_for([] {
                          HWND w = FindWindowW(L"Tarvenix.Menu", nullptr);
                          return IsWindowVisible(w) != FALSE ? w : nullptr;
                      })
                    : wait_for([] { return page(); });
    if (main == nullptr) {
        out << "<no window>\n";
        main = GetDesktopWindow();
    }
    HWND tabs = GetDlgItem(main, ctl::SSTab1);
    if (command == L"state") {
        // Once the box is gone and the window is in front again.
        wait_for([main] {
            return box_of(main) == nullptr && GetForegroundWindow() == main ? main : nullptr;
        });
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
        out << "tab=" << SendMessageW(tabs, TCM_GETCURSEL, 0, 0)
            << " focus=" << ctl::control_name(GetDlgCtrlID(info.hwndFocus))
            << " shown=" << (IsWindowVisible(info.hwndFocus) != FALSE) << "\n";
    } else if (command == L"point") {
        RECT r{};
        HWND window = tabs;
        if (arg.starts_with("tab ")) {
            r = remote_rect(tabs, TCM_GETITEMRECT, std::stoul(arg.substr(4)), r);
        } else {
            window = child_of(main, *ctl::control_id(arg));
            GetClientRect(window, &r);
        }
        const POINT p = centre(window, r);
        out << p.x << " " << p.y << "\n";
    } else if (command == L"box") {
        HWND box = wait_for([main] { return box_of(main); });
        out << (box != nullptr ? text_of(GetDlgItem(box, 0xFFFF)) : "<no box>") << "\n";
    } else if (command == L"click") {
        PostMessageW(GetDlgItem(installer(), std::stoi(arg)), BM_CLICK, 0, 0);
    } else if (command == L"checkbox") {
        HWND box = wait_for([main] { return FindWindowExW(main, nullptr, L"Button", nullptr); });
        out << text_of(box) << " checked=" << SendMessageW(box, BM_GETCHECK, 0, 0) << "\n";
    } else if (command == L"components") {
        HWND tree = wait_for([main] { return GetDlgItem(main, 1032); });
        HWND description = GetDlgItem(main, 1043);
        RECT client{};
        GetClientRect(tree, &client);
        out << "scroll bar=" << ((GetWindowLongW(tree, GWL_STYLE) & WS_HSCROLL) != 0) << "\n";
        for (auto item =
                 reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
             item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
            RECT r{};
            std::memcpy(&r, &item, sizeof item);  // the item goes in, its rectangle comes out
            r = remote_rect(tree, TVM_GETITEMRECT, TRUE, r);
            // The description follows the mouse pointer.
            const POINT p = centre(tree, r);
            const std::string before = text_of(description);
            for (int i = 0; i < 20 && text_of(description) == before; ++i) {
                SetCursorPos(p.x, p.y);
                PostMessageW(tree, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
                Sleep(250);
            }
            out << "item fits=" << (r.right <= client.right)
                << " description=" << text_of(description) << " whole=" << text_fits(description)
                << "\n";
        }
    }
    const std::wstring part = std::wstring(argv[1]) + L".part";
    if (FILE* file = _wfopen(part.c_str(), L"wb")) {
        std::fputs(out.str().c_str(), file);
        std::fclose(file);
    }
    MoveFileExW(part.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING);
    return 0;
}
