#include "support/engine_harness.h"

#include <algorithm>
#include <cstdio>

namespace tarvenix::testing {

bool RecordingProgress::visible() const {
    const auto last = std::find_if(log.rbegin(), log.rend(),
                                   [](const std::string& e) { return e == "show" || e == "hide"; });
    return last != log.rend() && *last == "show";
}

void RecordingProgress::set_label(ProgressLabel label, std::string_view text) {
    log.push_back(std::string(progress_label_name(label)) + "=" + std::string(text));
}

void RecordingProgress::file_started(std::string_view name, std::uint64_t bytes) {
    log.push_back("cpfname=" + std::string(name));
    log.push_back("filesize=" + format_kbytes(bytes));
    files.emplace_back(name);
}

void RecordingProgress::file_finished() {
    log.insert(log.end(), {"cpfname=", "filesize="});
}

void put_file(const std::string& path, std::string_view bytes) {
    make_dirs(path.substr(0, path.find_last_of("/\\")));
    write_file(path, bytes);
}

EngineHarness::EngineHarness()
    : store(settings, program_folder + "/system.dat")
    , history(program_folder + "/history.txt", ui, ui)
    , engine(EngineServices{settings, store, presenter, ui}) {
    for (const auto& folder : {program_folder, src, dst}) {
        make_dirs(folder);
    }
    reporter.set_progress(&progress);
    // Overwrites everything, copies files in use, records history.
    auto& o = settings.model.options;
    o.start_at_launch = o.backup_at_close = o.start_at_time = false;
    o.record_history = true;
    settings.model.sets.fill(BackupSet{"", "", true, false});
    use("0", "0");
    set(0, src, dst);
}

void EngineHarness::set(int k, const std::string& from, const std::string& to, bool subfolders,
                        bool skip) {
    settings.model.sets.at(static_cast<std::size_t>(k)) = BackupSet{from, to, subfolders, skip};
    save_settings();
}

void EngineHarness::use(const char* copy_mode, const char* skip_open_files) {
    options().copy_mode =
        std::string_view(copy_mode) == "1" ? CopyMode::newer_only : CopyMode::overwrite_all;
    options().skip_open_files =
        std::string_view(skip_open_files) == "1" ? OpenFileRule::skip : OpenFileRule::copy_anyway;
    save_settings();
    std::remove((program_folder + "/history.txt").c_str());
    ui.clear_events();
}

std::vector<std::string> history_entries(const std::string& history_file) {
    std::vector<std::string> out;
    for (const auto& line : read_cp932_lines(history_file)) {
        // "yyyy/MM/dd H:mm:ss rest": drop the first two fields.
        out.push_back(line.substr(line.find(' ', line.find(' ') + 1) + 1));
    }
    return out;
}

}  // namespace tarvenix::testing
