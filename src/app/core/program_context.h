#pragma once

// The program's parts below its windows, built once at start-up from the
// front end's ports in the order they depend on each other: the boxes, the
// settings, the history, what a run tells the user, the engine.
//
// Each front end's main builds its ports, then this, then its windows, then
// the AppController over controller_parts(); no part receives this object
// whole. Two bindings follow: the windows hand their events to the
// controller, which drives them (set_controller closes that cycle), and the
// boxes and the folder picker, made before any window (a box at start may
// have none), learn the windows they belong to.

#include <string>

#include "app/core/app_controller.h"
#include "app/core/file_locations.h"
#include "app/core/no_click_boxes.h"
#include "app/core/run_presenter.h"
#include "common/ports.h"
#include "common/system_error.h"
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

    // What the main window's controller works with.
    ControllerParts controller_parts();

    // Every box of the program passes through here (see NoClickBoxes).
    NoClickBoxes boxes;
    Ports ports;  // the front end's, with `boxes` for its boxes
    ProgressView& progress;
    const std::string settings_file_path;
    const std::string history_file_path;
    const std::string help_file_path;
    const std::string version_text;

    SystemErrorReporter reporter;
    SettingsState settings;
    SettingsStore store;
    HistoryLog history;
    // What a run tells the user: history lines, boxes, the progress dialog.
    RunPresenter run_presenter;
    BackupEngine engine;
};

}  // namespace tarvenix
