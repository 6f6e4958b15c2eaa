#pragma once

// What a run tells the world, as events: the engine reports what happened and
// never how it is shown. The program's presenter (app/core/run_presenter.h)
// turns the events into history lines, boxes and the progress dialog; a test
// or a notifier of unattended runs may listen instead.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/system_error.h"

namespace tarvenix {

enum class RunOutcome {
    kCompleted,      // every set done: "[Success]"
    kStopped,        // cancel, copy failure or too-long path: "[Cancel]"
    kMissingFolder,  // a set's source or destination folder is missing: "[Fail]"
    kSystemError,    // an unexpected error ended the run: no result line
    kRefused,        // a run was already in progress: nothing happened
};

// Why a set could not be copied; the run ends there.
enum class SetRefusal { kSourceMissing, kDestinationMissing, kSourceInDestination };

// Why a file (or a folder) was passed over or could not be copied.
enum class SkipReason {
    kUnreadable,     // a folder that cannot be listed, an entry that cannot be examined
    kCopyFailed,     // the copy or its rename failed: the system error says why (in use, ...)
    kCaseCollision,  // another source name of the run has its destination entry
};

class RunReport {
public:
    virtual ~RunReport() = default;

    // The run begins (run_trigger::k...), before the settings are read.
    virtual void run_started(std::int16_t trigger) = 0;
    // A set the user marked to be skipped.
    virtual void set_skipped(const std::string& src_folder) = 0;
    virtual void set_started(const std::string& src_folder, const std::string& dst_folder) = 0;
    // The set cannot be copied; run_ended(kMissingFolder) follows.
    virtual void set_refused(SetRefusal why, const std::string& folder) = 0;
    // A folder of the walk (relative to the set's source; "" is the source).
    virtual void folder_entered(const std::string& relative) = 0;
    virtual void file_started(std::string_view name, std::uint64_t bytes) = 0;
    // The file's turn is over: copied, found up to date, skipped or failed.
    virtual void file_finished() = 0;
    // Passed over, and the run goes on (error: the system error, 0 if none).
    virtual void file_skipped(const std::string& dst_path, SkipReason why, int error) = 0;
    // The first copy that failed where files are copied whatever holds them:
    // the run stops once this returns.
    virtual void copy_failed(const std::string& src_path, const std::string& dst_path,
                             SkipReason why, int error) = 0;
    // A path longer than the run takes (a folder's, or a file's); the run
    // stops once this returns.
    virtual void path_too_long(bool folder, const std::string& path) = 0;
    // The stored open-files option is no number; the run stops.
    virtual void open_files_option_unreadable(std::string_view value) = 0;
    virtual void system_error(const SystemError& error) = 0;
    // Every run that started ends here, once.
    virtual void run_ended(RunOutcome outcome, std::int16_t trigger) = 0;
};

}  // namespace tarvenix
