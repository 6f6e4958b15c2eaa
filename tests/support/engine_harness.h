#pragma once

// A whole backup engine over real temporary folders, with the scripted user
// interface and a progress dialog that records what it showed.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/core/run_presenter.h"
#include "engine/backup_engine.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix::testing {

// The lines of a history file without their date and time stamps.
std::vector<std::string> history_entries(const std::string& history_file);

class RecordingProgress final : public ProgressView {
public:
    void show() override { log.push_back("show"); }
    void hide() override { log.push_back("hide"); }
    bool visible() const override;
    void set_label(ProgressLabel label, std::string_view text) override;
    void file_started(std::string_view name, std::uint64_t bytes) override;
    void file_finished() override;

    // "show", "hide", and "label=text" entries, in order.
    std::vector<std::string> log;
    // The files whose names cpfname showed, in order.
    std::vector<std::string> files;
};

// Writes a file, making its folders first.
void put_file(const std::string& path, std::string_view bytes);

// A freshly configured program whose set 0 copies the folder S into the
// folder D of the test's folder.
class EngineHarness {
public:
    EngineHarness();

    void save_settings() { EXPECT_TRUE(store.write_settings_file()); }
    void set(int k, const std::string& from, const std::string& to, bool subfolders = true,
             bool skip = false);
    // Sets the copy mode and the skip-open-files option and saves; the next
    // run starts a new history file and a new record of events.
    void use(const char* copy_mode, const char* skip_open_files);
    RunOutcome run(std::int16_t trigger = run_trigger::kManual) {
        return engine.run_backup(trigger);
    }
    // The history lines' tags and triggers, without the time stamps.
    std::vector<std::string> history_entries() const {
        return testing::history_entries(program_folder + "/history.txt");
    }
    // Runs `body` as the user nobody in a child process when the tests run
    // as root, so permission checks apply (in-process otherwise), after
    // letting nobody reach the settings and giving `open` folders mode 0777.
    // Returns false when the body failed an assertion.
    bool run_unprivileged(const std::vector<std::string>& open, const std::function<void()>& body);

    TempDir dir;
    std::string program_folder = dir / "program";
    std::string src = dir / "S";
    std::string dst = dir / "D";
    ScriptedUi ui;
    SystemErrorReporter reporter{ui};
    SettingsState settings;
    SettingsStore store;
    HistoryLog history;
    RecordingProgress progress;
    RunPresenter presenter{settings, history, Boxes(ui, ui), reporter, progress, ui};
    BackupEngine engine;
    GlobalOptions& options() { return settings.model.options; }
};

}  // namespace tarvenix::testing
