#pragma once

// The eight backup sets and the global options, as the program holds them.
// Values are the texts stored in system.dat ("0"/"1" and so on), kept as they
// are so a save writes back what it loaded; the program reads them through
// the typed accessors below, which say in one place what each text means.
// Only the shut-down flags are booleans.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvenix {

inline constexpr int kSetCount = 8;
inline constexpr int kStartTimeCount = 3;

// A stored "1" or "0"; nothing for any other text (which leaves the control
// that shows it as it was).
std::optional<bool> stored_flag(std::string_view text);
// A number as the option texts hold it (" 1", "1.0"); nothing when it is none.
std::optional<double> stored_number(std::string_view text);

struct BackupSet {
    std::string src_folder;
    std::string dst_folder;
    std::string copy_subfolders;  // "0" = files directly in the source only
    std::string skip_set;         // "1" = runs pass the set over

    // Every text but "0" copies the sub-folders too.
    bool copies_subfolders() const { return copy_subfolders != "0"; }
    bool skipped() const { return skip_set == "1"; }
    // The settings page ticks its box for every text but "0" (a blank record
    // too), though only "1" makes a run pass the set over.
    bool skip_box_ticked() const { return skip_set != "0"; }
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

    bool newer_only() const { return copy_mode == "1"; }
    bool starts_at_launch() const { return start_at_launch == "1"; }
    bool backs_up_at_close() const { return backup_at_close == "1"; }
    bool starts_at_times() const { return start_at_time == "1"; }
    bool records_history() const { return record_history == "1"; }
    // The text is read as a number and compared with 1: skip mode; any other
    // number copies anyway; nothing when the text is no number at all.
    std::optional<bool> skips_open_files() const;
    // Start time k as seconds after midnight; nothing unless it is "hh:mm"
    // with two digits each (a time stored with one digit never matches the
    // two-digit clock).
    std::optional<int> start_second(int k) const;
};

struct SettingsModel {
    std::array<BackupSet, kSetCount> sets;
    GlobalOptions options;
};

}  // namespace tarvenix
