#pragma once

// What the application logic needs from the desktop windows. The Qt front end
// implements it; tests drive the logic with a recording fake.

#include <string_view>

namespace tarvenix {

enum class PopupMenu { mnumain, help };

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // The main window `Menu`: shown or hidden (on a desktop without a
    // notification area "hidden" means minimised, so the user can get back).
    virtual void set_window_visible(bool visible) = 0;
    virtual bool window_visible() const = 0;
    // Brings the main window to the foreground.
    virtual void bring_to_front() = 0;
    // Pops the menu up at the mouse pointer; returns when it was dismissed.
    virtual void popup_menu(PopupMenu menu) = 0;

    // The notification-area icon; false when the desktop has no tray.
    virtual bool add_tray_icon(std::string_view tool_tip) = 0;
    virtual void remove_tray_icon() = 0;

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
