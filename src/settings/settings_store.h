#pragma once

// Loading system.dat into the model and the settings page, and writing the
// model back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/system_error.h"
#include "settings/settings_model.h"
#include "settings/settings_page.h"
#include "settings/settings_record_file.h"

namespace tarvenix {

// The settings side of the program's state: one instance for the whole run.
struct SettingsState {
    SettingsState();
    SettingsState(const SettingsState&) = delete;
    SettingsState& operator=(const SettingsState&) = delete;

    SettingsModel model;
    SettingsPage page;
    // The first part of the main window's caption: "Tarvenix", with a
    // trailing blank while the daily start is on.
    std::string caption_base = "Tarvenix";
    // 1 = a control of the page changed since the last load.
    int settings_changed = 0;
    // 1 = the latest unsaved-change question was answered "yes".
    std::int16_t save_requested = 0;
};

// "True"/"False" (any case) or a number (0 = false); nothing for anything else.
std::optional<bool> parse_settings_boolean(std::string_view text);

class SettingsStore {
public:
    SettingsStore(SettingsState& state, std::string settings_file_path);

    // Replaces the model and everything the page shows by what system.dat
    // holds, then clears the change mark. A failure ends the load where it
    // stood (the change mark left as it was) and is returned for the caller
    // to show. A record the file does not hold (no file yet, or a file cut
    // short) leaves its field empty (false for a shut-down flag) and its
    // control as it was, so a first start shows the page's initial state.
    SystemStatus load_settings();

    // Writes the model into system.dat in one step. After a failure the
    // previous file is left whole.
    SystemStatus write_settings_file();

    const SettingsRecordFile& file() const { return file_; }

private:
    void show_on_page(const SettingsRecordFile::Records& records);

    SettingsState& state_;
    SettingsRecordFile file_;
};

}  // namespace tarvenix
