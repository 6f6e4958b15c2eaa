#include "app/win32/tray_icon.h"

#include <shellapi.h>

#include "app/win32/win_util.h"

namespace tarvenix::win32 {

UINT TrayIcon::taskbar_created_message() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

bool TrayIcon::notify(DWORD what, std::string_view tool_tip) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = program_icon(true);
    // The tip field holds 127 characters and its NUL; a longer tip is cut.
    lstrcpynW(data.szTip, widen(tool_tip).c_str(), static_cast<int>(std::size(data.szTip)));
    return Shell_NotifyIconW(what, &data) != FALSE;
}

bool TrayIcon::add_tray_icon(std::string_view tool_tip) {
    return notify(NIM_ADD, tool_tip);
}

bool TrayIcon::modify_tray_tip(std::string_view tool_tip) {
    return notify(NIM_MODIFY, tool_tip);
}

void TrayIcon::remove_tray_icon() {
    notify(NIM_DELETE, {});
}

}  // namespace tarvenix::win32
