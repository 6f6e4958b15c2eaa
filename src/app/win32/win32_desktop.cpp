#include "app/win32/win32_desktop.h"

#include <commdlg.h>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

std::int32_t Win32Desktop::handle_of(HWND window) {
    if (window == nullptr) {
        return 0;
    }
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] == window) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    windows_.push_back(window);
    return static_cast<std::int32_t>(windows_.size());
}

HWND Win32Desktop::window_of(std::int32_t handle) const {
    if (handle < 1 || static_cast<std::size_t>(handle) > windows_.size()) {
        return nullptr;
    }
    HWND window = windows_[static_cast<std::size_t>(handle - 1)];
    return IsWindow(window) != FALSE ? window : nullptr;
}

namespace {

constexpr std::size_t kFileBuffer = 32768;

// "Text\0*.txt\0" in UTF-8 -> the same pairs in UTF-16, ended by two NULs.
std::wstring filter_text(std::string_view filter) {
    std::wstring out = widen(filter);
    out.append(2, L'\0');
    return out;
}

std::string run_file_dialog(bool save, HWND owner, std::string_view title, std::string_view filter,
                            std::string_view initial_folder, std::string_view proposed_name) {
    const std::wstring caption = widen(title);
    const std::wstring filters = filter_text(filter);
    const std::wstring folder = widen(initial_folder);
    std::wstring file = widen(proposed_name);
    file.resize(kFileBuffer, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
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

}  // namespace

std::string Win32Desktop::open_file_dialog(std::int32_t owner, std::string_view title,
                                           std::string_view filter,
                                           std::string_view initial_folder) {
    return run_file_dialog(false, window_of(owner), title, filter, initial_folder, {});
}

std::string Win32Desktop::save_file_dialog(std::int32_t owner, std::string_view title,
                                           std::string_view filter, std::string_view initial_folder,
                                           std::string_view proposed_name) {
    return run_file_dialog(true, window_of(owner), title, filter, initial_folder, proposed_name);
}

std::int32_t Win32Desktop::find_window(std::string_view title) {
    return handle_of(FindWindowW(nullptr, widen(title).c_str()));
}

void Win32Desktop::bring_to_front(std::int32_t window) {
    if (HWND w = window_of(window)) {
        SetForegroundWindow(w);
    }
}

void Win32Desktop::set_top_most(std::int32_t window, bool top_most) {
    if (HWND w = window_of(window)) {
        SetWindowPos(w, top_most ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    }
}

void Win32Desktop::request_close(std::int32_t window) {
    if (HWND w = window_of(window)) {
        SendMessageW(w, WM_CLOSE, 0, 0);
    }
}

}  // namespace tarvenix::win32
