#pragma once

// What the user is told of a run: the engine's events (engine/run_report.h)
// as history lines, boxes and the progress dialog's labels.

#include <string_view>

#include "common/ports.h"
#include "common/system_error.h"
#include "common/toolbox_ports.h"
#include "engine/progress_view.h"
#include "engine/run_report.h"
#include "history/history_log.h"
#include "settings/settings_store.h"

namespace tarvenix {

// What a run and the save say of a set whose source folder is its
// destination folder or lies below it.
inline constexpr std::string_view kSourceInDestination =
    "コピー元フォルダがコピー先フォルダと同じか、その中にあります！";

class RunPresenter final : public RunReport {
public:
    // boxes: where a run's boxes go (the program's, through its no-click
    // layer); all of it outlives the presenter.
    RunPresenter(const SettingsState& settings, HistoryLog& history, Boxes boxes,
                 SystemErrorReporter& reporter, ProgressView& progress, SoundPort& sound);

    void run_started(std::int16_t trigger) override;
    void set_skipped(const std::string& src_folder) override;
    void set_started(const std::string& src_folder, const std::string& dst_folder) override;
    void set_refused(SetRefusal why, const std::string& folder) override;
    void folder_entered(const std::string& relative) override;
    void file_started(std::string_view name, std::uint64_t bytes) override;
    void file_finished() override;
    void file_skipped(const std::string& dst_path, SkipReason why, int error) override;
    void copy_failed(const std::string& src_path, const std::string& dst_path, SkipReason why,
                     int error) override;
    void path_too_long(bool folder, const std::string& path) override;
    void open_files_option_unreadable(std::string_view value) override;
    void system_error(const SystemError& error) override;
    void run_ended(RunOutcome outcome, std::int16_t trigger) override;

private:
    // The run's own lines (set skipped, its result) only when the user keeps
    // a history; the start and the files passed over always.
    bool history_on() const { return settings_.model.options.records_history(); }
    void error_box(const std::string& message);
    // Appends a history line; one that cannot be written is shown as a
    // system error and the run goes on.
    void write_history(int kind, std::int16_t trigger, std::string_view text);

    const SettingsState& settings_;
    HistoryLog& history_;
    Boxes boxes_;
    SystemErrorReporter& reporter_;
    ProgressView& progress_;
    SoundPort& sound_;
};

}  // namespace tarvenix
