#pragma once

// How the program stays within reach: through its icon in the notification
// area, or, while there is none (a desktop without one, a panel that is not
// up yet or went away), through its main window standing in for it (shown,
// the tray menus as its menu bar, minimised rather than hidden). A tray that
// appears later takes the icon and the window is left as it is (the user may
// be working in it); a tray that goes away with the icon leaves the window
// standing in again, shown. Each front end's tray icon only adds, changes and
// removes the icon and tells whether its tray is still there.

#include <string>
#include <string_view>

#include "app/core/app_views.h"
#include "common/ports.h"

namespace tarvenix {

// A click on the tray icon, as each front end tells its toolkit's events
// apart: the main button opens the main menu, the context button the help
// menu. Other mouse events on the icon do nothing and are not handed on.
enum class TrayClick { kPrimary, kContext };

// A front end's icon in the notification area, without any policy.
class TrayIconPort : public TrayHost {
public:
    // False once the notification area that holds the icon went away (a
    // panel closed or restarting). A front end that cannot tell says true.
    virtual bool tray_present() = 0;
};

class TrayPresence final : public TrayHost {
public:
    TrayPresence(TrayIconPort& icon, MainWindowView& window);

    // TrayHost, as the controller adds the icon at start-up and removes it
    // at the end. A failed add leaves the window standing in.
    bool add_tray_icon(std::string_view tool_tip) override;
    bool modify_tray_tip(std::string_view tool_tip) override;
    void remove_tray_icon() override;

    // Looks again (every tick of Timer1, and whenever the desktop says a
    // tray came or went): a tray that appeared takes the icon; one missed
    // kMissesBeforeStandIn times in a row has gone away.
    void check();
    // The shell's taskbar was made anew and lost the icons it held: the icon
    // goes back in (or the window stands in when it cannot).
    void tray_restarted();

    bool standing_in() const { return standing_in_; }

    static constexpr int kMissesBeforeStandIn = 2;

private:
    void stand_in(bool shown);

    TrayIconPort& icon_;
    MainWindowView& window_;
    std::string tip_;
    bool wanted_ = false;  // added and not removed since
    bool standing_in_ = false;
    int misses_ = 0;
};

}  // namespace tarvenix
