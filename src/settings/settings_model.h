#pragma once

// The eight backup sets and the global options, as the program holds them.
// Values are the texts stored in system.dat ("0"/"1" and so on); only the
// shut-down flags are booleans.

#include <array>
#include <string>

namespace tarvenix {

inline constexpr int kSetCount = 8;
inline constexpr int kStartTimeCount = 3;

struct BackupSet {
    std::string src_folder;
    std::string dst_folder;
    std::string copy_subfolders;  // "0" = files directly in the source only
    std::string skip_set;         // "1" = runs pass the set over
};

struct GlobalOptions {
    std::string copy_mode;        // "0" overwrite everything, "1" only when newer
    std::string start_at_launch;  // "1" = run when the program starts
    std::string backup_at_close;  // "1" = run when the program closes
    std::string start_at_time;    // "1" = run daily at the start times
    std::string skip_open_files;  // "1" = skip files in use, "0" = copy anyway
    std::string record_history;   // "1" = write history lines
    std::array<bool, kStartTimeCount> shutdown_after{};
    std::array<std::string, kStartTimeCount> start_hour;
    std::array<std::string, kStartTimeCount> start_minute;
    std::array<std::string, kStartTimeCount> start_time;  // hour ":" minute, rebuilt by every load
};

struct SettingsModel {
    std::array<BackupSet, kSetCount> sets;
    GlobalOptions options;
};

}  // namespace tarvenix
