#pragma once

// The program-wide state, created once at start-up: the settings, the main
// window's toolbox, the history log, the engine and the values fixed at start.

#include <memory>
#include <string>

#include "app/core/file_locations.h"
#include "app/core/no_click_boxes.h"
#include "app/core/run_presenter.h"
#include "common/ports.h"
#include "common/system_error.h"
#include "common/vostrel.h"
#include "engine/backup_engine.h"
#include "history/history_log.h"
#include "settings/settings_store.h"

namespace tarvenix {

class ProgramContext {
public:
    // files: where the settings, the history and the help are (see
    // locate_program_files); a folder alone holds all three.
    ProgramContext(const Ports& ports_in, ProgressView& progress_in, const FileLocations& files);
    ProgramContext(const Ports& ports_in, ProgressView& progress_in, const std::string& folder)
        : ProgramContext(ports_in, progress_in, FileLocations::beside(folder)) {}
    ProgramContext(const ProgramContext&) = delete;
    ProgramContext& operator=(const ProgramContext&) = delete;

    static std::string make_version_text(int major, int minor, int revision);

    // The system asks the program to end (a termination signal, the session
    // ending): from now on no box waits for a click and no new run starts.
    void begin_termination();
    bool terminating() const { return boxes.no_click(); }

    // Every box of the program passes through here (see NoClickBoxes).
    NoClickBoxes boxes;
    Ports ports;
    ProgressView& progress;
    const std::string settings_file_path;
    const std::string history_file_path;
    const std::string help_file_path;
    std::string version_text;

    SystemErrorReporter reporter;
    Vostrel main_vostrel;  // the main window's own
    SettingsState settings;
    SettingsStore store;
    HistoryLog history;
    // What a run tells the user: history lines, boxes, the progress dialog.
    RunPresenter run_presenter;
    BackupEngine engine;

    // Which tab the main window opens on, as tab number + 1 (1 = "フォルダ１").
    int page_selector = 1;
};

}  // namespace tarvenix
