#include "app/core/program_context.h"

namespace tarvenix {

std::string ProgramContext::make_version_text(int major, int minor, int revision) {
    return "Ver" + std::to_string(major) + "." + std::to_string(minor) + std::to_string(revision);
}

ProgramContext::ProgramContext(const Ports& ports_in, ProgressView& progress_in,
                               std::string folder)
    : ports(ports_in)
    , progress(progress_in)
    , program_folder(std::move(folder))
    , settings_file_path(program_folder + platform::kPathSeparator + "system.dat")
    , history_file_path(program_folder + platform::kPathSeparator + "history.txt")
    , help_file_path(program_folder + platform::kPathSeparator + "Tarvenix7.chm")
    , version_text(make_version_text(kVersionMajor, kVersionMinor, kVersionRevision))
    , reporter(ports.boxes)
    , shared_vostrel(ports)
    , main_vostrel(ports)
    , store(settings, settings_file_path, reporter)
    , history(history_file_path, ports.clock, ports.busy, reporter)
    , engine(EngineServices{settings, store, history, shared_vostrel, reporter, progress,
                            ports.pump, ports.sound}) {
    reporter.set_progress(&progress);
}

}  // namespace tarvenix
