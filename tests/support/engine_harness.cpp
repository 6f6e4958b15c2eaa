#include "support/engine_harness.h"

namespace tarvenix::testing {

void RecordingProgress::show() {
    visible_ = true;
    log.push_back("show");
}

void RecordingProgress::hide() {
    visible_ = false;
    log.push_back("hide");
}

void RecordingProgress::set_label(ProgressLabel label, std::string_view text) {
    static constexpr const char* kNames[] = {"srcfld", "dstfld", "subfld", "cpfname", "filesize"};
    log.push_back(std::string(kNames[static_cast<int>(label)]) + "=" + std::string(text));
    if (label == ProgressLabel::cpfname && !text.empty()) {
        files.emplace_back(text);
    }
}

EngineHarness::EngineHarness()
    : program_folder(dir / "program")
    , store(settings, program_folder + "/system.dat", reporter)
    , history(program_folder + "/history.txt", ui, ui, reporter)
    , vostrel(ui.ports())
    , engine(EngineServices{settings, store, history, vostrel, reporter, progress, ui, ui}) {
    make_dirs(program_folder);
    reporter.set_progress(&progress);
    // A freshly configured program: overwrites everything, copies files in use, records history.
    auto& o = settings.model.options;
    o.start_at_launch = o.backup_at_close = o.start_at_time = "0";
    o.record_history = "1";
    for (auto& set : settings.model.sets) {
        set.copy_subfolders = "1";
        set.skip_set = "0";
    }
    use("0", "0");
}

void EngineHarness::set(int k, const std::string& src, const std::string& dst, bool subfolders,
                        bool skip) {
    auto& s = settings.model.sets[static_cast<std::size_t>(k)];
    s.src_folder = src;
    s.dst_folder = dst;
    s.copy_subfolders = subfolders ? "1" : "0";
    s.skip_set = skip ? "1" : "0";
    save_settings();
}

void EngineHarness::use(const char* copy_mode, const char* skip_open_files) {
    options().copy_mode = copy_mode;
    options().skip_open_files = skip_open_files;
    save_settings();
}

std::vector<std::string> EngineHarness::history_entries() const {
    std::vector<std::string> out;
    for (const auto& line : read_cp932_lines(program_folder + "/history.txt")) {
        // "yyyy/MM/dd H:mm:ss rest": drop the first two fields.
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        out.push_back(line.substr(second + 1));
    }
    return out;
}

}  // namespace tarvenix::testing
