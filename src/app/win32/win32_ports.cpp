#include "app/win32/win32_ports.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

// --- message boxes ---------------------------------------------------------

std::wstring Win32MessageBoxes::box_text(std::string_view text) {
    std::wstring in = widen(text);
    std::wstring out;
    out.reserve(in.size() + 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'\r') {
            out += L"\r\n";
            if (i + 1 < in.size() && in[i + 1] == L'\n') {
                ++i;
            }
        } else {
            out += in[i];
        }
    }
    return out;
}

std::int16_t Win32MessageBoxes::show_box(std::string_view caption, std::string_view text,
                                         std::int32_t style, const HelpReference* /*help*/) {
    // Modal to the whole program (every window of the thread is disabled),
    // and in front: the program mostly lives in the tray, with no window of
    // its own on screen to hold the box.
    UINT flags = static_cast<UINT>(style) | MB_SETFOREGROUND;
    if ((flags & MB_SYSTEMMODAL) == 0) {
        flags |= MB_TASKMODAL;
    }
    const int answer = MessageBoxW(nullptr, box_text(text).c_str(), widen(caption).c_str(), flags);
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

// --- sound -----------------------------------------------------------------

void Win32Sound::message_beep(std::int32_t sound) {
    // -1: the speaker's plain beep; 0 (MB_OK) and the icon codes: the
    // system's sounds of those names.
    MessageBeep(sound < 0 ? 0xFFFFFFFFu : static_cast<UINT>(sound));
}

void Win32Sound::play_sound_file(std::string_view path) {
    PlaySoundW(widen(path).c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

// --- busy pointer ----------------------------------------------------------

void Win32BusyPointer::set_busy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        previous_ = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
    } else {
        SetCursor(previous_ != nullptr ? previous_ : LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    }
}

// --- event pump ------------------------------------------------------------

void Win32EventPump::dispatch(MSG& msg) {
    HWND top = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top != nullptr && Window::is_program_window(top) &&
        (GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 &&
        IsDialogMessageW(top, &msg) != FALSE) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Win32EventPump::run() {
    MSG msg{};
    while (true) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
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

namespace {
bool has_extension(const std::wstring& path, std::wstring_view extension) {
    if (path.size() < extension.size()) {
        return false;
    }
    return CompareStringOrdinal(path.c_str() + (path.size() - extension.size()),
                                static_cast<int>(extension.size()), extension.data(),
                                static_cast<int>(extension.size()), TRUE) == CSTR_EQUAL;
}
}  // namespace

Win32Shell::~Win32Shell() {
    if (hhctrl_ != nullptr) {
        FreeLibrary(hhctrl_);
    }
}

bool Win32Shell::open_help(const std::wstring& path) {
    if (hhctrl_ == nullptr) {
        hhctrl_ = LoadLibraryW(L"hhctrl.ocx");
    }
    if (hhctrl_ == nullptr) {
        return false;
    }
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    auto html_help =
        reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(hhctrl_, "HtmlHelpW")));
    if (html_help == nullptr) {
        return false;
    }
    constexpr UINT kDisplayToc = 1;  // HH_DISPLAY_TOC: the file at its table of contents
    return html_help(nullptr, path.c_str(), kDisplayToc, 0) != nullptr;
}

bool Win32Shell::open_document(std::string_view path) {
    const std::wstring file = widen(path);
    if (file.empty()) {
        return false;
    }
    if (has_extension(file, L".chm")) {
        return open_help(file);
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
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

}  // namespace tarvenix::win32
