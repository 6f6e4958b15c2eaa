#include "app/core/leave_checks.h"

#include "app/core/app_controller.h"

namespace tarvenix {

bool LeaveChecks::checked_on_leave(ControlId id) {
    return id.control == Control::hour_txt || id.control == Control::min_txt;
}

void LeaveChecks::focus_left(ControlId box, bool to_window_control) {
    if (checked_on_leave(box) && to_window_control) {
        pending_ = box;
    }
}

void LeaveChecks::focus_entered(ControlId box) {
    if (pending_ == box) {
        pending_.reset();
    }
}

bool LeaveChecks::settle(AppController& controller) {
    if (!pending_) {
        return false;
    }
    const ControlId box = *pending_;
    pending_.reset();
    if (box.control == Control::hour_txt) {
        controller.hour_lost_focus(box.index);
    } else {
        controller.min_lost_focus(box.index);
    }
    controller.after_event();
    return true;
}

}  // namespace tarvenix
