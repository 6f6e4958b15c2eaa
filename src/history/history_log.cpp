#include "history/history_log.h"

#include "common/platform/file_writes.h"
#include "common/text_codec.h"
#include "common/time_text.h"

namespace tarvenix {

HistoryLog::HistoryLog(std::string history_file_path, ClockPort& clock, BusyPointerPort& busy,
                       SystemErrorReporter& reporter)
    : path_(std::move(history_file_path))
    , clock_(clock)
    , busy_(busy)
    , reporter_(reporter) {}

std::string HistoryLog::escape_controls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || ch == '^') {
            out += '^';
            out += ch == '^' ? '^' : static_cast<char>(byte ^ 0x40);
        } else {
            out += ch;
        }
    }
    return out;
}

std::string HistoryLog::tag_for(int kind, std::string_view raw) {
    // Names come from the file system and the settings file: whatever they
    // hold, they must not start a line of their own.
    const std::string text = escape_controls(raw);
    switch (kind) {
        case history_kind::kFail:
            return "[Fail]";
        case history_kind::kSuccess:
            return "[Success]";
        case history_kind::kCancel:
            return "[Cancel]";
        case history_kind::kSkippedFile:
            return "[Skiped Copy File] = " + text;
        case history_kind::kSkippedSet:
            return "[Skiped Setteing] = " + text;
        case history_kind::kStart:
            return "[Start]";
        case history_kind::kMessage:
            return "[Message] = " + text;
        case history_kind::kLateStart:
            return "[Late Start] = " + text;
        default:
            return "[?]";
    }
}

std::string_view HistoryLog::trigger_text(std::int16_t trigger) {
    switch (trigger) {
        case run_trigger::kProgramStart:
            return "[Prg open]";
        case run_trigger::kProgramClose:
            return "[Prg close]";
        case run_trigger::kTimer:
            return "[Timer]";
        case run_trigger::kManual:
            return "[Manual]";
        default:
            return "[?]";
    }
}

std::string HistoryLog::format_line(const LocalDateTime& t, int kind, std::int16_t trigger,
                                    std::string_view text) {
    return history_timestamp(t) + " " + tag_for(kind, text) + " " +
           std::string(trigger_text(trigger));
}

void HistoryLog::write_history(int kind, std::int16_t trigger, std::string_view text) {
    // The time is read as the caption and the start times read it, rounded
    // to the nearest second: a run started for 21:13 is never stamped 21:12:59.
    const LocalDateTime now = local_date_time(local_second_count(clock_));
    // The log is for people to read: a character code page 932 cannot hold
    // is written as "?" rather than losing the whole line.
    const std::string line = text::to_cp932_lossy(format_line(now, kind, trigger, text)) + "\r\n";
    busy_.set_busy(true);
    // Appending costs the same whatever the size of the log, and a crash
    // midway can at worst leave one unfinished last line, which the next
    // append does not continue.
    const int err = platform::append_to_file(path_, line, true).error();
    busy_.set_busy(false);
    if (err != 0) {
        reporter_.report_system_error(error_from_errno(err, FileOperation::kWrite, path_));
    }
}

}  // namespace tarvenix
