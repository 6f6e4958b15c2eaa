#pragma once

// The program's icon in the notification area: added, modified and removed
// with Shell_NotifyIconW, nothing more (when to try again, and what stands in
// while there is no notification area, is the core's TrayPresence). Its mouse
// messages reach the owner window as kCallbackMessage with the mouse message
// (WM_LBUTTONDOWN, ...) in lParam.

#include <windows.h>

#include "app/core/tray_presence.h"

namespace tarvenix::win32 {

class TrayIcon final : public TrayIconPort {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;

    ~TrayIcon() override { remove_tray_icon(); }

    // owner: the window that gets the icon's mouse messages.
    void set_owner(HWND owner) { owner_ = owner; }

    // False when the shell has no notification area (yet).
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;
    // Windows does not say when a notification area goes away; a new one
    // says it came (taskbar_created_message).
    bool tray_present() override { return true; }

    // The message the shell broadcasts when its taskbar is created.
    static UINT taskbar_created_message();

private:
    bool notify(DWORD what, std::string_view tool_tip);

    HWND owner_ = nullptr;
};

}  // namespace tarvenix::win32
