#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/app_controller.h"
#include "support/engine_harness.h"

namespace tarvenix::testing {

// Records what the logic asked of the windows.
class RecordingWindow final : public MainWindowView {
public:
    void set_window_visible(bool visible) override {
        visible_ = visible;
        log.push_back(visible ? "show" : "hide");
    }
    bool window_visible() const override { return visible_; }
    std::int32_t window_handle() const override { return kHandle; }
    void popup_menu(PopupMenu menu) override {
        log.push_back(menu == PopupMenu::mnumain ? "popup mnumain" : "popup help");
    }
    void stand_in_for_tray() override { log.push_back("stand-in"); }
    void show_splash(std::string_view text) override {
        log.push_back("splash " + std::string(text));
    }
    void close_splash() override { log.push_back("splash closed"); }
    void show_about(std::string_view version) override {
        log.push_back("about " + std::string(version));
    }
    void close_about() override { log.push_back("about closed"); }
    void close_progress() override { log.push_back("progress closed"); }
    void close_main_window() override { log.push_back("main closed"); }
    void quit_immediately() override { log.push_back("quit"); }

    static constexpr std::int32_t kHandle = 7;
    std::vector<std::string> log;

private:
    bool visible_ = false;
};

inline std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const auto& part : parts) {
        out += (out.empty() ? "" : separator) + part;
    }
    return out;
}

struct AppHarness {
    AppHarness()
        : context(ui.ports(), progress, dir / "program") {
        make_dirs(dir / "program");
        context.reporter.set_progress(&progress);
    }

    // Stores and loads one set that copies src/file.txt into dst, with the
    // history on and every file copied; the daily start is on when start
    // hours are given, each at the same minute.
    void configure_set(bool backup_at_close = false, bool start_at_launch = false,
                       std::array<std::string, 3> hours = {}, const char* minute = "") {
        make_dirs(dir / "src");
        make_dirs(dir / "dst");
        write_file(dir / "src/file.txt", "x");
        auto& m = context.settings.model;
        m.sets.fill(BackupSet{"", "", "1", "0"});
        m.sets[0] = BackupSet{dir / "src", dir / "dst", "1", "0"};
        m.options = GlobalOptions{.copy_mode = "0",
                                  .start_at_launch = start_at_launch ? "1" : "0",
                                  .backup_at_close = backup_at_close ? "1" : "0",
                                  .start_at_time = hours == decltype(hours){} ? "0" : "1",
                                  .skip_open_files = "0",
                                  .record_history = "1",
                                  .start_hour = hours,
                                  .start_minute = {},
                                  .start_time = {}};
        for (std::size_t k = 0; k < hours.size(); ++k) {
            m.options.start_minute[k] = hours[k].empty() ? "" : minute;
        }
        store_settings();
        context.store.load_settings();
    }
    // Writes system.dat from the model.
    void store_settings() { context.store.write_settings_file(); }
    // The settings as system.dat holds them.
    SettingsModel stored() {
        SettingsState file;
        SettingsStore(file, context.settings_file_path, context.reporter).load_settings();
        return file.model;
    }
    SettingsPage& page() { return context.settings.page; }
    // Edits set k on the page.
    void fill(int k, const std::string& src, const std::string& dst) {
        page().set_text({Control::srcfld_txt, k}, src);
        page().set_text({Control::dstfld_txt, k}, dst);
    }
    // The history lines without their date and time.
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (const auto& line : read_cp932_lines(context.history_file_path)) {
            out.push_back(line.substr(line.find(' ', line.find(' ') + 1) + 1));
        }
        return out;
    }
    int entry_count(const std::string& entry) const {
        const auto all = entries();
        return static_cast<int>(std::count(all.begin(), all.end(), entry));
    }
    bool logged(const std::string& call) const {
        return std::find(window.log.begin(), window.log.end(), call) != window.log.end();
    }

    TempDir dir;
    ScriptedUi ui;
    RecordingProgress progress;
    ProgramContext context;
    RecordingWindow window;
    AppController controller{context, window};
};

}  // namespace tarvenix::testing
