#pragma once

// The program's icon in the notification area: added, modified and removed
// with Shell_NotifyIconW. Its mouse messages reach the owner window as
// kCallbackMessage with the mouse message (WM_LBUTTONDOWN, ...) in lParam.

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <functional>
#include <string>

#include "app/win32/win32_desktop.h"

namespace tarvenix::win32 {

class TrayIcon final : public TrayHost {
public:
    static constexpr UINT kCallbackMessage = WM_APP + 1;

    // owner: the window that gets the icon's mouse messages.
    explicit TrayIcon(HWND owner = nullptr);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    void set_owner(HWND owner) { owner_ = owner; }
    bool shown() const { return shown_; }

    // TrayHost: false when the shell has no notification area (yet).
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;

    // Puts the icon back when it was asked for and is not shown: after the
    // shell's taskbar was (re)created, or when an earlier add found no
    // notification area. Returns true when the icon is shown afterwards.
    bool restore();
    // The message the shell broadcasts when its taskbar is created.
    static UINT taskbar_created_message();

    // While there is no notification area: tries to put the icon in every 5
    // seconds (a timer of the owner window, whose WM_TIMER goes to
    // on_timer) and runs `on_shown` once it is there.
    void keep_trying(std::function<void()> on_shown);
    void stop_trying();
    // The owner's WM_TIMER: true when it was the retry's.
    bool on_timer(UINT_PTR timer);
    // Puts the icon back (the retry's timer, or a new taskbar that took the
    // old one's icons) and, once it is in, ends a retry still waiting.
    void put_back();

private:
    NOTIFYICONDATAW record(std::string_view tool_tip) const;

    HWND owner_;
    std::function<void()> on_shown_;
    std::string tip_;
    bool wanted_ = false;
    bool shown_ = false;
};

}  // namespace tarvenix::win32
