#pragma once

// history.txt: one line per run start, result, passed-over set and skipped
// file, in code page 932 with CR LF line ends.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ports.h"
#include "common/system_error.h"

namespace tarvenix {

namespace history_kind {
inline constexpr int kFail = 1;
inline constexpr int kSuccess = 2;
inline constexpr int kCancel = 3;
inline constexpr int kSkippedFile = 4;
inline constexpr int kSkippedSet = 5;
inline constexpr int kStart = 6;
// A message that nobody was there to click away (the program was ending).
inline constexpr int kMessage = 7;
// A daily start time missed while the computer slept or the program was held
// up, run late: "[Late Start] = yyyy/MM/dd hh:mm" (when it was due).
inline constexpr int kLateStart = 8;
}  // namespace history_kind

namespace run_trigger {
inline constexpr std::int16_t kProgramStart = 0;
inline constexpr std::int16_t kProgramClose = 1;
inline constexpr std::int16_t kTimer = 2;
inline constexpr std::int16_t kManual = 3;
inline constexpr std::int16_t kNone = 99;
}  // namespace run_trigger

class HistoryLog {
public:
    HistoryLog(std::string history_file_path, ClockPort& clock, BusyPointerPort& busy);

    // Appends one line. When the file cannot be written the line is lost and
    // the error returned; the callers show it and carry on.
    SystemStatus write_history(int kind, std::int16_t trigger, std::string_view text);

    // The line (UTF-8, without its line end) for a kind, trigger and text at t.
    static std::string format_line(const LocalDateTime& t, int kind, std::int16_t trigger,
                                   std::string_view text);
    static std::string tag_for(int kind, std::string_view text);
    // The text with every control character written visibly, so a line of
    // the log is always one event: "^" and a letter for C0 controls (CR is
    // "^M", LF "^J", ESC "^["), "^?" for DEL, and "^^" for a "^" itself.
    // A character code page 932 cannot hold is written by its code point,
    // "^{U+00E9}", and a byte that is not UTF-8 by its value, "^{0xFF}", so
    // the user can tell which file a line names ("^{" starts nothing else).
    static std::string escape_controls(std::string_view text);
    static std::string_view trigger_text(std::int16_t trigger);

    const std::string& path() const { return path_; }

private:
    std::string path_;
    ClockPort& clock_;
    BusyPointerPort& busy_;
};

}  // namespace tarvenix
