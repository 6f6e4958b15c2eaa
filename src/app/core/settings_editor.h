#pragma once

// The settings page's commands: the update button with its checks, the
// unsaved-change question, clearing a set and browsing for a folder.

#include "app/core/program_context.h"

namespace tarvenix {

class SettingsEditor {
public:
    explicit SettingsEditor(ProgramContext& context);

    // `ok_bt`: checks the page, offers to create missing destination folders,
    // writes system.dat and reloads it. Returns true when it saved.
    bool save_settings();
    // Asks whether to save edits made since the last load; the answer is left
    // in save_requested.
    void confirm_unsaved_changes();
    // confirm_unsaved_changes, then save_settings on "yes".
    void confirm_and_save();
    // `set_clr_bt(k)`: empties set k on the page.
    void clear_set(int k);
    // `refsrc_bt(i)`: folder picker for set i / 2, source when i is even.
    void browse(int i);
    // `hour_txt(k)` / `min_txt(k)` lost the focus: a value out of range is
    // reported and the focus put back, one in range is written with two
    // digits. False when the value was refused.
    bool check_hour(int k) { return check_time_box(Control::hour_txt, k); }
    bool check_minute(int k) { return check_time_box(Control::min_txt, k); }

private:
    ProgramContext& c_;
    SettingsPage& page() { return c_.settings.page; }
    bool fail(std::string_view message, int tab, ControlId focus);
    bool check_time_box(Control box, int k);
    // A range message is on screen: a check that runs inside it (a leave
    // check queued before the save's own) does not show a second one.
    bool range_message_open_ = false;
};

}  // namespace tarvenix
