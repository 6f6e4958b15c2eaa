// Runs one real backup run of one set, SRC into DST, for the benchmarks:
//   tarvenix_bench_driver SRC DST MODE
// MODE 0 overwrites every file, 1 copies only files newer than their copy.
// Exit status 0 when the run completed.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/system_ports.h"
#include "engine/backup_engine.h"

namespace {

using namespace tarvenix;

// The user is not there: boxes are printed and answered with their first
// button, the event pump has nothing to serve.
class UnattendedUi final : public MessageBoxPort,
                           public SoundPort,
                           public BusyPointerPort,
                           public EventPumpPort,
                           public SessionPort,
                           public ShellPort,
                           public FolderPickerPort {
public:
    std::int16_t show_box(std::string_view caption, std::string_view text, std::int32_t,
                          const HelpReference*) override {
        std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return button::kOk;
    }
    void message_beep(std::int32_t) override {}
    void play_sound_file(std::string_view) override {}
    void set_busy(bool) override {}
    void process_events() override {}
    void wait_for_events(double) override {}
    void request_session_end(SessionRequest) override {}
    bool open_document(std::string_view) override { return false; }
    std::string pick_folder(std::string_view) override { return ""; }
};

class NoProgress final : public ProgressView {
public:
    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    bool visible() const override { return visible_; }
    void set_label(ProgressLabel, std::string_view) override {}

private:
    bool visible_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::string(argv[3]) != "0" && std::string(argv[3]) != "1")) {
        std::fprintf(stderr, "usage: %s SRC DST MODE(0|1)\n", argv[0]);
        return 2;
    }
    std::string folder = (std::filesystem::temp_directory_path() / "tarvenix-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    UnattendedUi ui;
    SystemClock clock;
    const Ports ports{ui, ui, ui, ui, clock, ui, ui, ui};
    SystemErrorReporter reporter(ui);
    NoProgress progress;
    reporter.set_progress(&progress);
    SettingsState settings;
    SettingsStore store(settings, folder + "/system.dat", reporter);
    HistoryLog history(folder + "/history.txt", clock, ui, reporter);
    Vostrel vostrel(ports);
    BackupEngine engine(EngineServices{settings, store, history, vostrel, reporter, progress, ui, ui});

    auto& o = settings.model.options;
    o.copy_mode = argv[3];
    o.skip_open_files = "0";
    o.record_history = "1";
    for (auto& set : settings.model.sets) {
        set.skip_set = "0";
        set.copy_subfolders = "1";
    }
    settings.model.sets[0].src_folder = argv[1];
    settings.model.sets[0].dst_folder = argv[2];
    int status = 0;
    try {
        store.write_settings_file();
        status = engine.run_backup(run_trigger::kManual) == RunOutcome::kCompleted ? 0 : 1;
    } catch (const SystemError& e) {
        std::fprintf(stderr, "%s\n", e.text().c_str());
        status = 2;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return status;
}
