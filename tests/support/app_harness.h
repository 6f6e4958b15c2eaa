#pragma once

// The program in a temporary folder with its windows recorded and the user
// and the session scripted, for the tests of the application logic.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/core/app_controller.h"
#include "app/core/program_context.h"
#include "common/platform/files.h"
#include "support/engine_harness.h"

namespace tarvenix::testing {

// Records what the logic asks of the windows (menus and About: not recorded),
// beside a notification area that is there or not, as the test says.
struct RecordingWindow final : MainWindowView, TrayIconPort {
    void set_window_visible(bool shown) override {
        visible = shown;
        log.emplace_back(shown ? "show" : "hide");
    }
    bool window_visible() const override { return visible; }
    std::int32_t window_handle() const override { return 7; }
    void popup_menu(PopupMenu) override {}
    void stand_in_for_tray(bool on) override { log.emplace_back(on ? "stand-in" : "stand-in off"); }
    TrayIconPort& tray_icon() override { return *this; }
    void show_splash(std::string_view text) override { log.emplace_back(text); }
    void close_splash() override { log.emplace_back("splash closed"); }
    void show_about(std::string_view) override { log.emplace_back("about"); }
    void close_about() override {}
    void close_progress() override { log.emplace_back("progress closed"); }
    void close_main_window() override { log.emplace_back("main closed"); }
    void quit_immediately() override { log.emplace_back("quit"); }

    bool add_tray_icon(std::string_view) override {
        ++icon_adds;
        icon_shown = tray_available;
        return icon_shown;
    }
    bool modify_tray_tip(std::string_view) override { return icon_shown; }
    void remove_tray_icon() override { icon_shown = false; }
    bool tray_present() override { return tray_available; }

    std::vector<std::string> log;
    bool visible = false;
    bool tray_available = true;
    bool icon_shown = false;
    int icon_adds = 0;
};

inline std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const auto& part : parts) {
        out += (out.empty() ? "" : separator) + part;
    }
    return out;
}

// The program in a temporary folder, with the user and the session scripted.
struct AppHarness {
    AppHarness()
        : context(ui.ports(), progress, dir / "program") {
        make_dirs(dir / "program");
    }

    // Stores and loads one set copying src/file.txt into dst, history on; the
    // daily start is on when start hours are given, each at minute 05.
    void configure_set(bool backup_at_close = false, bool start_at_launch = false,
                       std::array<std::string, 3> hours = {}) {
        make_dirs(dir / "src");
        make_dirs(dir / "dst");
        write_file(dir / "src/file.txt", "x");
        auto& m = context.settings.model;
        m.sets.fill(BackupSet{"", "", true, false});
        m.sets[0] = BackupSet{dir / "src", dir / "dst", true, false};
        auto& o = m.options;
        o.copy_mode = CopyMode::overwrite_all;
        o.skip_open_files = OpenFileRule::copy_anyway;
        o.record_history = true;
        o.start_at_launch = start_at_launch;
        o.backup_at_close = backup_at_close;
        o.start_at_time = hours != decltype(hours){};
        for (std::size_t k = 0; k < hours.size(); ++k) {
            o.start_times[k] = StartTime(hours[k], hours[k].empty() ? "" : "05");
        }
        EXPECT_TRUE(context.store.write_settings_file());
        context.reporter.report_if_failed(context.store.load_settings());
    }
    // The settings as system.dat holds them.
    SettingsModel stored() {
        SettingsState file;
        context.reporter.report_if_failed(
            SettingsStore(file, context.settings_file_path).load_settings());
        return file.model;
    }
    SettingsPage& page() { return context.settings.page; }
    // Edits set k on the page.
    void fill(int k, const std::string& src, const std::string& dst) {
        page().set_text({Control::srcfld_txt, k}, src);
        page().set_text({Control::dstfld_txt, k}, dst);
    }
    // The history lines without their date and time.
    std::vector<std::string> entries() const { return history_entries(context.history_file_path); }
    // `text` with the test's folder shown as "~" and paths written with "/",
    // on every system.
    std::string tilde(std::string text) const {
        for (auto at = text.find(dir.path()); at != std::string::npos; at = text.find(dir.path())) {
            text.replace(at, dir.path().size(), "~");
        }
        std::ranges::replace(text, platform::kPathSeparator, '/');
        return text;
    }
    // The history lines joined by ", ", as tilde() shows them.
    std::string history() const { return tilde(joined(entries(), ", ")); }

    TempDir dir;
    ScriptedUi ui;
    RecordingProgress progress;
    ProgramContext context;
    RecordingWindow window;
    AppController controller{context.controller_parts(), window};
};

}  // namespace tarvenix::testing
