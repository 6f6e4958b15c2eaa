#pragma once

// The settings page's commands: the update button with its checks, the
// unsaved-change question, clearing a set and browsing for a folder.

#include <functional>
#include <string>
#include <string_view>

#include "app/core/folder_asker.h"
#include "common/ports.h"
#include "common/system_error.h"
#include "common/toolbox_ports.h"
#include "engine/backup_engine.h"
#include "settings/settings_store.h"

namespace tarvenix {

// What the settings page's commands work with; all of it outlives the editor.
struct EditorServices {
    SettingsState& settings;
    SettingsStore& store;
    Boxes boxes;
    ClockPort& clock;  // with pump: the pause before the saved file is read back
    EventPumpPort& pump;
    FolderPickerPort& folders;
    SystemErrorReporter& reporter;
    const ProgressView& progress;  // shown while a run is in progress
    const BackupEngine& engine;
    int& page_selector;
};

class SettingsEditor {
public:
    explicit SettingsEditor(const EditorServices& services);

    // How long a folder may take to answer before the save counts it as not
    // found: longer than a network disk takes to wake from its sleep.
    static constexpr double kFolderAnswerSeconds = 20.0;

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
    EditorServices s_;
    SettingsPage& page() { return s_.settings.page; }
    bool fail(std::string_view message, int tab, ControlId focus);
    // The steps of save_settings; each check that fails has told the user.
    bool check_sets_filled();
    bool check_start_times();
    void take_folders();
    // Fails the save at the first folder text `refused` refuses, with the
    // set's name, `why` and the text.
    bool refuse_folder_texts(const std::function<bool(const std::string&)>& refused,
                             std::string_view why);
    // Each set's folders are there, and its source is not in its destination;
    // the error of a folder that could not be made or looked into. Asked on
    // a thread of its own while the window is served.
    SystemResult<bool> check_folders_exist();
    void take_options();
    bool check_time_box(Control box, int k);
    // A range message is on screen: a check that runs inside it (a leave
    // check queued before the save's own) does not show a second one.
    bool range_message_open_ = false;
    // A save is under way: it serves the window while it waits for folders.
    bool saving_ = false;
    FolderAsker asker_;
};

}  // namespace tarvenix
