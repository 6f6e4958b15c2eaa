#pragma once

// The eight backup sets and the global options, as the program holds them:
// typed values, read once from the texts of system.dat when it is loaded.
// Each value keeps the text it was read from, so a field the save does not
// set is written back byte for byte, whatever a hand-edited file or another
// version put there.

#include <array>
#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarvenix {

inline constexpr int kSetCount = 8;
inline constexpr int kStartTimeCount = 3;

// A stored "1" or "0"; nothing for any other text (which leaves the control
// that shows it as it was).
std::optional<bool> stored_flag(std::string_view text);
// A number as the option texts hold it (" 1", "1.0"); nothing when it is none.
std::optional<double> stored_number(std::string_view text);

enum class CopyMode { overwrite_all, newer_only };
// What a run does with a file it cannot open (one in use). A stored text
// that is no number at all is kept as `unreadable`: the run refuses to copy
// on it, naming the text.
enum class OpenFileRule { skip, copy_anyway, unreadable };

// The text a value is stored as when the program sets it.
std::string stored_text(bool value);
std::string stored_text(CopyMode value);
std::string stored_text(OpenFileRule value);

// A value and the stored text it was read from. Setting a value (the save
// taking it from the page) stores the value's own text; a field nothing sets
// is written back as it was read.
template <typename T>
class Stored {
public:
    Stored() = default;
    Stored(T value, std::string text)
        : value_(value)
        , text_(std::move(text)) {}
    // Set like the value itself; only a T, so a text ("1") cannot slip in
    // as a flag without the load's reading.
    template <std::same_as<T> U>
    Stored(U value)
        : value_(value)
        , text_(stored_text(value)) {}
    Stored& operator=(T value) {
        value_ = value;
        text_ = stored_text(value);
        return *this;
    }
    const T& operator*() const { return value_; }
    const std::string& text() const { return text_; }
    bool operator==(const Stored&) const = default;

private:
    T value_{};
    std::string text_;
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    bool operator==(const TimeOfDay&) const = default;
    int second_of_day() const { return hour * 3600 + minute * 60; }
};

// A daily start time: its hour and minute texts as stored (and as the page
// shows them), and the time they make. Only two digits each, in range, make
// a time: one stored with one digit never matched the two-digit clock.
struct StartTime {
    StartTime() = default;
    StartTime(std::string hour, std::string minute);
    std::string hour_text;
    std::string minute_text;
    std::optional<TimeOfDay> time;
    bool operator==(const StartTime&) const = default;
};

struct BackupSet {
    std::string src_folder;
    std::string dst_folder;
    Stored<bool> copy_subfolders{true, ""};  // false: files directly in the source only
    Stored<bool> skip_set;                   // true: runs pass the set over

    bool copies_subfolders() const { return *copy_subfolders; }
    bool skipped() const { return *skip_set; }
    bool operator==(const BackupSet&) const = default;
};

struct GlobalOptions {
    Stored<CopyMode> copy_mode;
    Stored<bool> start_at_launch;  // run when the program starts
    Stored<bool> backup_at_close;  // run when the program closes
    Stored<bool> start_at_time;    // run daily at the start times
    Stored<OpenFileRule> skip_open_files{OpenFileRule::unreadable, ""};
    Stored<bool> record_history;  // write history lines
    std::array<bool, kStartTimeCount> shutdown_after{};
    std::array<StartTime, kStartTimeCount> start_times;

    bool newer_only() const { return *copy_mode == CopyMode::newer_only; }
    bool starts_at_launch() const { return *start_at_launch; }
    bool backs_up_at_close() const { return *backup_at_close; }
    bool starts_at_times() const { return *start_at_time; }
    bool records_history() const { return *record_history; }
    // Start time k as seconds after midnight; nothing when it is no time.
    std::optional<int> start_second(int k) const;
    // Start time k as "hh:mm"; "" when it is no time.
    std::string start_time_text(int k) const;
    bool operator==(const GlobalOptions&) const = default;
};

// A model nothing has been loaded into reads as a file without records.
struct SettingsModel {
    std::array<BackupSet, kSetCount> sets;
    GlobalOptions options;
    bool operator==(const SettingsModel&) const = default;
};

}  // namespace tarvenix
