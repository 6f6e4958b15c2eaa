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

private:
    ProgramContext& c_;
    SettingsPage& page() { return c_.settings.page; }
    bool fail(std::string_view message, int tab, std::string focus);
};

}  // namespace tarvenix
