// Runs one real backup run of one set, SRC into DST, for the benchmarks:
//   tarvenix_bench_driver SRC DST MODE [--qt-pump]
// MODE 0 overwrites every file, 1 copies only files newer than their copy.
// With --qt-pump the run serves a real Qt event loop and shows the real
// progress dialog (on the offscreen platform unless a display is chosen), as
// the desktop program does. Exit status 0 when the run completed.

#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/run_presenter.h"
#include "app/qt/progress_dialog.h"
#include "app/qt/qt_ports.h"
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
                           public FolderPickerPort,
                           public DesktopPort {
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
    std::string open_file_dialog(std::int32_t, std::string_view, std::string_view,
                                 std::string_view) override {
        return "";
    }
    std::string save_file_dialog(std::int32_t, std::string_view, std::string_view, std::string_view,
                                 std::string_view) override {
        return "";
    }
    std::int32_t find_window(std::string_view) override { return 0; }
    void bring_to_front(std::int32_t) override {}
    void set_top_most(std::int32_t, bool) override {}
    void request_close(std::int32_t) override {}
};

class NoProgress final : public ProgressView {
public:
    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    bool visible() const override { return visible_; }
    void set_label(ProgressLabel, std::string_view) override {}
    void file_started(std::string_view, std::uint64_t) override {}
    void file_finished() override {}

private:
    bool visible_ = false;
};

// One backup run of SRC into DST through the engine, with the given event
// pump and progress dialog. Returns the outcome and the seconds it took.
std::pair<int, double> run_once(const char* src, const char* dst, const char* mode,
                                EventPumpPort& pump, ProgressView& progress) {
    // The driver's own settings file (written with a flush to the disk) is
    // no part of a backup run: keep it in memory when /dev/shm is there.
    std::error_code shm_error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", shm_error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string folder = (base / "tarvenix-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return {2, 0.0};
    }
    UnattendedUi ui;
    SystemClock clock;
    SystemErrorReporter reporter(ui);
    reporter.set_progress(&progress);
    SettingsState settings;
    SettingsStore store(settings, folder + "/system.dat");
    HistoryLog history(folder + "/history.txt", clock, ui);
    RunPresenter presenter(settings, history, Boxes(ui, ui), reporter, progress, ui);
    BackupEngine engine(EngineServices{settings, store, presenter, pump});

    auto& o = settings.model.options;
    o.copy_mode = std::string_view(mode) == "1" ? CopyMode::newer_only : CopyMode::overwrite_all;
    o.skip_open_files = OpenFileRule::copy_anyway;
    o.record_history = true;
    for (auto& set : settings.model.sets) {
        set.skip_set = false;
        set.copy_subfolders = true;
    }
    settings.model.sets[0].src_folder = src;
    settings.model.sets[0].dst_folder = dst;
    int status = 0;
    double seconds = 0.0;
    if (const auto written = store.write_settings_file(); !written) {
        std::fprintf(stderr, "%s\n", written.error().text().c_str());
        status = 2;
    } else {
        const double start = clock.monotonic_seconds();
        status = engine.run_backup(run_trigger::kManual) == RunOutcome::kCompleted ? 0 : 1;
        seconds = clock.monotonic_seconds() - start;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return {status, seconds};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The engine with the scripted (idle) pump and with the real Qt pump and
// progress dialog, alternating, in one process: what serving the user
// interface costs a run.
int compare_pumps(int argc, char** argv) {
    const std::string src = argv[2];
    const std::string base = argv[3];
    const int rounds = std::max(1, std::atoi(argv[4]));
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    tarvenix::SystemClock clock;
    tarvenix::qt::QtEventPump qt_pump(clock);
    tarvenix::qt::ProgressDialog qt_dialog(clock, qt_pump);
    ProgressView& qt_progress = qt_dialog.presenter();
    UnattendedUi idle_pump;
    NoProgress no_progress;
    std::vector<double> scripted;
    std::vector<double> with_qt;
    for (int r = 0; r <= rounds; ++r) {  // round 0 warms up
        for (int variant = 0; variant < 2; ++variant) {
            const bool qt = (variant + r) % 2 == 1;  // alternate who goes first
            const std::string dst = base + (qt ? "/qt" : "/scripted");
            std::error_code ec;
            std::filesystem::remove_all(dst, ec);
            std::filesystem::create_directories(dst);
            const auto [status, seconds] =
                qt ? run_once(src.c_str(), dst.c_str(), "0", qt_pump, qt_progress)
                   : run_once(src.c_str(), dst.c_str(), "0", idle_pump, no_progress);
            if (status != 0) {
                return status;
            }
            if (r > 0) {
                (qt ? with_qt : scripted).push_back(seconds);
            }
        }
    }
    const double a = median(scripted);
    const double b = median(with_qt);
    std::printf(
        "scripted pump  median %.3f s\nQt pump        median %.3f s\nratio Qt/scripted %.3f\n", a,
        b, b / a);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--compare-pumps") {
        return compare_pumps(argc, argv);
    }
    const bool qt_pump = argc == 5 && std::string(argv[4]) == "--qt-pump";
    if ((argc != 4 && !qt_pump) || (std::string(argv[3]) != "0" && std::string(argv[3]) != "1")) {
        std::fprintf(stderr,
                     "usage: %s SRC DST MODE(0|1) [--qt-pump]\n"
                     "       %s --compare-pumps SRC DST_BASE ROUNDS\n",
                     argv[0], argv[0]);
        return 2;
    }
    std::unique_ptr<QApplication> app;
    std::unique_ptr<tarvenix::qt::QtEventPump> real_pump;
    std::unique_ptr<tarvenix::qt::ProgressDialog> real_progress;
    tarvenix::SystemClock clock;
    if (qt_pump) {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        int qt_argc = 1;
        app = std::make_unique<QApplication>(qt_argc, argv);
        real_pump = std::make_unique<tarvenix::qt::QtEventPump>(clock);
        real_progress = std::make_unique<tarvenix::qt::ProgressDialog>(clock, *real_pump);
    }
    UnattendedUi idle_pump;
    NoProgress no_progress;
    EventPumpPort& pump = real_pump ? static_cast<EventPumpPort&>(*real_pump)
                                    : static_cast<EventPumpPort&>(idle_pump);
    ProgressView& progress = real_progress ? static_cast<ProgressView&>(real_progress->presenter())
                                           : static_cast<ProgressView&>(no_progress);
    return run_once(argv[1], argv[2], argv[3], pump, progress).first;
}
