#pragma once

// A whole backup engine over real temporary folders, with the scripted user
// interface and a progress dialog that records what it showed.

#include <functional>
#include <string>
#include <vector>

#include "engine/backup_engine.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix::testing {

class RecordingProgress final : public ProgressView {
public:
    void show() override;
    void hide() override;
    bool visible() const override { return visible_; }
    void set_label(ProgressLabel label, std::string_view text) override;

    // "show", "hide", and "label=text" entries, in order.
    std::vector<std::string> log;
    // The files whose names cpfname showed, in order.
    std::vector<std::string> files;

private:
    bool visible_ = false;
};

class EngineHarness {
public:
    EngineHarness();

    // Writes system.dat from the model as it is now.
    void save_settings() { store.write_settings_file(); }
    // Configures set k and saves.
    void set(int k, const std::string& src, const std::string& dst, bool subfolders = true,
             bool skip = false);
    // Sets the copy mode and the skip-open-files option and saves.
    void use(const char* copy_mode, const char* skip_open_files);
    // The history lines' tags and triggers, without the time stamps.
    std::vector<std::string> history_entries() const;

    // Lets the user nobody reach the test's folders and settings; `open`
    // folders get mode 0777 (run_unprivileged then works in them).
    void share_with_nobody(const std::vector<std::string>& open);

    TempDir dir;
    std::string program_folder;
    ScriptedUi ui;
    SystemErrorReporter reporter{ui};
    SettingsState settings;
    SettingsStore store;
    HistoryLog history;
    Vostrel vostrel;
    RecordingProgress progress;
    BackupEngine engine;
    GlobalOptions& options() { return settings.model.options; }
};

// Set 0 copies the folder S into the folder D of the test's folder.
struct OneSetHarness : EngineHarness {
    OneSetHarness() {
        make_dirs(src);
        make_dirs(dst);
        set(0, src, dst);
    }
    std::string src = dir / "S";
    std::string dst = dir / "D";
};

// Runs `body` as an unprivileged user (nobody) in a child process when the
// tests run as root, so permission checks apply; in-process otherwise.
// Returns false when the body failed an assertion.
bool run_unprivileged(const std::function<void()>& body);

}  // namespace tarvenix::testing
