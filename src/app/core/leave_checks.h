#pragma once

// The start-time boxes check their value when the focus leaves them for
// another control of the main window; not when another program, a menu or
// the check's own message box takes the keyboard, which would raise the box
// again and again. The check runs once the focus has settled on its new
// control (it may show a box and put the focus back), and a focus that came
// back to the box before then (a save that refused the value put it there)
// means nothing was left.

#include <optional>

#include "settings/settings_page.h"

namespace tarvenix {

class AppController;

class LeaveChecks {
public:
    // True for the boxes that check their value when left.
    static bool checked_on_leave(ControlId id);

    // The focus left `box`; to_window_control: for another control of the
    // same window.
    void focus_left(ControlId box, bool to_window_control);
    // The focus came to `box`.
    void focus_entered(ControlId box);
    // The focus has settled: runs the check waiting, if any. True when one ran.
    bool settle(AppController& controller);
    bool pending() const { return pending_.has_value(); }

private:
    std::optional<ControlId> pending_;
};

}  // namespace tarvenix
