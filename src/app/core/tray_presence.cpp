#include "app/core/tray_presence.h"

namespace tarvenix {

TrayPresence::TrayPresence(TrayIconPort& icon, MainWindowView& window)
    : icon_(icon)
    , window_(window) {}

bool TrayPresence::add_tray_icon(std::string_view tool_tip) {
    if (wanted_ && !standing_in_) {
        return false;  // one icon per program: a second add is refused
    }
    tip_ = tool_tip;
    wanted_ = true;
    misses_ = 0;
    if (icon_.add_tray_icon(tip_)) {
        standing_in_ = false;
        return true;
    }
    stand_in(false);
    return false;
}

bool TrayPresence::modify_tray_tip(std::string_view tool_tip) {
    tip_ = tool_tip;
    return wanted_ && !standing_in_ && icon_.modify_tray_tip(tip_);
}

void TrayPresence::remove_tray_icon() {
    // The program is closing: no more checks, no more stand-in.
    if (wanted_ && !standing_in_) {
        icon_.remove_tray_icon();
    }
    wanted_ = false;
}

void TrayPresence::stand_in(bool shown) {
    standing_in_ = true;
    misses_ = 0;
    window_.stand_in_for_tray(true);
    if (shown) {
        window_.set_window_visible(true);
    }
}

void TrayPresence::check() {
    if (!wanted_) {
        return;
    }
    if (standing_in_) {
        if (icon_.add_tray_icon(tip_)) {
            // The window is left as it is: "閉じる" hides it from now on.
            standing_in_ = false;
            window_.stand_in_for_tray(false);
        }
        return;
    }
    if (icon_.tray_present()) {
        misses_ = 0;
    } else if (++misses_ >= kMissesBeforeStandIn) {
        icon_.remove_tray_icon();
        stand_in(true);
    }
}

void TrayPresence::tray_restarted() {
    if (!wanted_) {
        return;
    }
    if (!standing_in_) {
        icon_.remove_tray_icon();
        if (!icon_.add_tray_icon(tip_)) {
            stand_in(true);
        }
        return;
    }
    check();
}

}  // namespace tarvenix
