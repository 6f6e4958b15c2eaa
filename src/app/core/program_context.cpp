#include "app/core/program_context.h"

#include "common/platform/files.h"
#include "common/vostrel.h"

namespace tarvenix {

std::string ProgramContext::make_version_text(int major, int minor, int revision) {
    return "Ver" + std::to_string(major) + "." + std::to_string(minor) + std::to_string(revision);
}

namespace {
Ports with_boxes(const Ports& p, MessageBoxPort& boxes) {
    return Ports{boxes, p.sound, p.busy, p.pump, p.clock, p.session, p.shell, p.folders, p.desktop};
}
}  // namespace

ProgramContext::ProgramContext(const Ports& ports_in, ProgressView& progress_in,
                               const FileLocations& files)
    : boxes(ports_in.boxes)
    , ports(with_boxes(ports_in, boxes))
    , progress(progress_in)
    , settings_file_path(files.data_folder + platform::kPathSeparator + "system.dat")
    , history_file_path(files.data_folder + platform::kPathSeparator + "history.txt")
    , help_file_path(files.help_file_path)
    , version_text(make_version_text(kVersionMajor, kVersionMinor, kVersionRevision))
    , reporter(ports.boxes)
    , store(settings, settings_file_path)
    , history(history_file_path, ports.clock, ports.busy)
    , run_presenter(settings, history, Boxes(ports.boxes, ports.sound), reporter, progress,
                    ports.sound)
    , engine(EngineServices{settings, store, run_presenter, ports.pump}) {
    reporter.set_progress(&progress);
    // The one cycle among the parts: a box shown while the program is ending
    // goes to the history, which reports its own write failures in a box.
    boxes.set_history(&history, &reporter);
}

ControllerParts ProgramContext::controller_parts() {
    return ControllerParts{
        ports,    boxes,    settings,          store,          history,     engine,
        reporter, progress, history_file_path, help_file_path, version_text};
}

}  // namespace tarvenix
