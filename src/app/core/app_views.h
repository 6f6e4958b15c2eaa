#pragma once

// What the application logic needs from the desktop windows. Each front end
// implements it; tests drive the logic with a recording fake.

#include <cstdint>
#include <string_view>

namespace tarvenix {

enum class PopupMenu { mnumain, help };

class TrayIconPort;

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // The main window `Menu`: shown or hidden (on a desktop without a
    // notification area "hidden" means minimised, so the user can get back).
    virtual void set_window_visible(bool visible) = 0;
    virtual bool window_visible() const = 0;
    // The main window's handle, as the desktop port names windows.
    virtual std::int32_t window_handle() const = 0;
    // Pops the menu up at the mouse pointer; returns when it was dismissed.
    virtual void popup_menu(PopupMenu menu) = 0;
    // While the desktop has no notification area the main window stands in
    // for the tray icon: the menus as its menu bar, minimised when "hidden".
    virtual void stand_in_for_tray(bool standing_in) = 0;
    // The window's icon in the notification area.
    virtual TrayIconPort& tray_icon() = 0;

    virtual void show_splash(std::string_view product_text) = 0;
    virtual void close_splash() = 0;
    // Shows the About window (bringing an open one forward).
    virtual void show_about(std::string_view version_text) = 0;
    virtual void close_about() = 0;
    virtual void close_progress() = 0;

    // The shut-down sequence is over: close the main window; the program
    // ends when no window is left.
    virtual void close_main_window() = 0;
    // Ends the program at once, without the shut-down sequence.
    virtual void quit_immediately() = 0;
};

}  // namespace tarvenix
