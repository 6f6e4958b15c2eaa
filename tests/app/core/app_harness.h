#pragma once

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

struct AppHarness {
    AppHarness()
        : context(ui.ports(), progress, dir / "program") {
        make_dirs(dir / "program");
        context.reporter.set_progress(&progress);
    }

    // Writes system.dat from the model.
    void store_settings() { context.store.write_settings_file(); }
    SettingsPage& page() { return context.settings.page; }
    // The history file's lines, without their line ends.
    std::vector<std::string> history() const { return read_cp932_lines(context.history_file_path); }
    // How many history lines contain the text.
    int history_count(std::string_view needle) const {
        int n = 0;
        for (const auto& line : history()) {
            n += line.find(needle) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    TempDir dir;
    ScriptedUi ui;
    RecordingProgress progress;
    ProgramContext context;
    RecordingWindow window;
    AppController controller{context, window};
};

}  // namespace tarvenix::testing
