#include "app/win32/win32_ports.h"

#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

// --- message boxes ---------------------------------------------------------

namespace {

// Lines separated by "\r" or "\r\n" as the box shows them ("\r\n").
std::wstring box_text(std::string_view text) {
    const std::wstring in = widen(text);
    std::wstring out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        out += in[i];
        if (in[i] == L'\r' && (i + 1 == in.size() || in[i + 1] != L'\n')) {
            out += L'\n';
        }
    }
    return out;
}

}  // namespace

std::int16_t Win32MessageBoxes::show_box(std::string_view caption, std::string_view text,
                                         std::int32_t style, const HelpReference* /*help*/) {
    // A box owned by the window on the screen stays in front of it: a click
    // on that (disabled) window cannot bring it over the box.
    HWND owner = nullptr;
    switch (face::box_owner(
        IsWindowVisible(progress_dialog_) != FALSE,
        IsWindowVisible(main_window_) != FALSE && IsIconic(main_window_) == FALSE)) {
        case face::BoxOwner::kProgressDialog:
            owner = progress_dialog_;
            break;
        case face::BoxOwner::kMainWindow:
            owner = main_window_;
            break;
        case face::BoxOwner::kNone:
            break;
    }
    // Modal to the whole program, and in front: with no owner the box
    // disables every window of the thread itself (MB_TASKMODAL); with one it
    // disables only the owner, so the others are disabled here while it is up.
    std::vector<HWND> disabled{owner};
    if (owner != nullptr) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM list) -> BOOL {
                auto& windows = *reinterpret_cast<std::vector<HWND>*>(list);
                if (window != windows.front() && IsWindowVisible(window) != FALSE &&
                    EnableWindow(window, FALSE) == FALSE) {
                    windows.push_back(window);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&disabled));
    }
    const UINT modal = (style & MB_SYSTEMMODAL) != 0 || owner != nullptr ? 0 : MB_TASKMODAL;
    const int answer = MessageBoxW(owner, box_text(text).c_str(), widen(caption).c_str(),
                                   static_cast<UINT>(style) | MB_SETFOREGROUND | modal);
    for (std::size_t i = 1; i < disabled.size(); ++i) {
        EnableWindow(disabled[i], TRUE);
    }
    return static_cast<std::int16_t>(answer);
}

void Win32MessageBoxes::close_open_boxes() {
    // A message box is a dialog of the system's dialog class ("#32770") owned
    // by the thread that called MessageBoxW; EndDialog ends its modal loop,
    // which this thread runs (the request to close comes from inside it).
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t name[16] = {};
            if (GetClassNameW(window, name, 16) > 0 && std::wstring_view(name) == L"#32770" &&
                IsWindowVisible(window) != FALSE) {
                EndDialog(window, IDCANCEL);
            }
            return TRUE;
        },
        0);
}

void Win32Sound::message_beep(std::int32_t sound) {
    // -1: the speaker's plain beep; 0 (MB_OK) and the icon codes: the
    // system's sounds of those names.
    MessageBeep(sound < 0 ? 0xFFFFFFFFu : static_cast<UINT>(sound));
}

void Win32Sound::play_sound_file(std::string_view path) {
    PlaySoundW(widen(path).c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

// --- event pump ------------------------------------------------------------

void Win32EventPump::dispatch(MSG& msg) {
    HWND top = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top == nullptr || !Window::is_program_window(top)) {
        top = nullptr;
    } else if (msg.message == WM_KEYDOWN &&
               SendMessageW(top, kPreviewKeyMessage, 0, reinterpret_cast<LPARAM>(&msg)) != 0) {
        return;
    }
    if (top != nullptr && (GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 &&
        IsDialogMessageW(top, &msg) != FALSE) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Win32EventPump::run() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

void Win32EventPump::serve() {
    const double started = clock_.monotonic_seconds();
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatch(msg);
    }
    gate_.served(started, clock_.monotonic_seconds());
}

void Win32EventPump::process_events() {
    if (gate_.should_serve(clock_.monotonic_seconds())) {
        serve();
    }
}

void Win32EventPump::wait_for_events(double max_seconds) {
    const double ms = std::clamp(max_seconds * 1000.0, 0.0, 60'000.0);
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::lround(ms)), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    serve();
}

// --- shell -----------------------------------------------------------------

Win32Shell::~Win32Shell() {
    if (hhctrl_ != nullptr) {
        FreeLibrary(hhctrl_);
    }
}

bool Win32Shell::open_help(const std::wstring& path) {
    if (hhctrl_ == nullptr) {
        hhctrl_ = LoadLibraryW(L"hhctrl.ocx");
    }
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    const auto html_help = hhctrl_ == nullptr
                               ? nullptr
                               : reinterpret_cast<HtmlHelpFn>(
                                     reinterpret_cast<void*>(GetProcAddress(hhctrl_, "HtmlHelpW")));
    constexpr UINT kDisplayToc = 1;  // HH_DISPLAY_TOC: the file at its table of contents
    return html_help != nullptr && html_help(nullptr, path.c_str(), kDisplayToc, 0) != nullptr;
}

bool Win32Shell::open_document(std::string_view path) {
    const std::wstring file = widen(path);
    constexpr std::wstring_view kHelp = L".chm";
    if (file.size() > kHelp.size() &&
        CompareStringOrdinal(file.c_str() + file.size() - kHelp.size(), kHelp.size(), kHelp.data(),
                             kHelp.size(), TRUE) == CSTR_EQUAL) {
        return open_help(file);
    }
    return !file.empty() &&
           reinterpret_cast<INT_PTR>(
               ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// --- folder picker -----------------------------------------------------------

std::string Win32FolderPicker::pick_folder(std::string_view title) {
    const std::wstring caption = widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) {
        return {};
    }
    std::wstring path(MAX_PATH * 4, L'\0');
    std::string result;
    if (SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()),
                              GPFIDL_DEFAULT) != FALSE) {
        result = narrow(path.c_str());
    }
    CoTaskMemFree(chosen);
    return result;
}

// --- desktop ---------------------------------------------------------------

HWND window_of(std::int32_t handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
    return handle != 0 && IsWindow(window) != FALSE ? window : nullptr;
}

std::string Win32Desktop::file_dialog(bool save, std::int32_t owner, std::string_view title,
                                      std::string_view filter, std::string_view initial_folder,
                                      std::string_view proposed_name) {
    const std::wstring caption = widen(title);
    // "Text\0*.txt\0" pairs, ended by two NULs.
    const std::wstring filters = widen(filter) + std::wstring(2, L'\0');
    const std::wstring folder = widen(initial_folder);
    std::wstring file = widen(proposed_name);
    file.resize(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = window_of(owner);
    ofn.lpstrFilter = filter.empty() ? nullptr : filters.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = caption.c_str();
    ofn.Flags = save ? (OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT)
                     : (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    return ok != FALSE ? narrow(file.c_str()) : std::string();
}

std::int32_t Win32Desktop::find_window(std::string_view title) {
    return handle_of(FindWindowW(nullptr, widen(title).c_str()));
}

void Win32Desktop::set_top_most(std::int32_t window, bool top_most) {
    SetWindowPos(window_of(window), top_most ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace tarvenix::win32
