#include "history/history_log.h"

#include "common/platform/file_writes.h"
#include "common/text_codec.h"
#include "common/time_text.h"

namespace tarvenix {

HistoryLog::HistoryLog(std::string history_file_path, ClockPort& clock, BusyPointerPort& busy)
    : path_(std::move(history_file_path))
    , clock_(clock)
    , busy_(busy) {}

namespace {

// The length of the UTF-8 sequence at the start of s and its code point, or
// 0 when s does not start with one (a stray, overlong or cut-short sequence).
std::size_t utf8_at(std::string_view s, std::uint32_t& c) {
    const auto lead = static_cast<unsigned char>(s[0]);
    const std::size_t len = lead >= 0xF0 && lead < 0xF5 ? 4
                            : lead >= 0xE0              ? 3
                            : lead >= 0xC2              ? 2
                                                        : 0;
    if (len == 0 || len > s.size()) {
        return 0;
    }
    c = lead & (0x7FU >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto next = static_cast<unsigned char>(s[k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (next & 0x3FU);
    }
    const bool shortest = len < 3 || c >= (len == 3 ? 0x800U : 0x10000U);
    return shortest && c <= 0x10FFFF ? len : 0;
}

std::string braced(const char* prefix, std::uint32_t value, int digits) {
    std::string hex;
    for (; value != 0 || digits > 0; value >>= 4, --digits) {
        hex.insert(hex.begin(), "0123456789ABCDEF"[value & 0xFU]);
    }
    return "^{" + std::string(prefix) + hex + "}";
}

}  // namespace

std::string HistoryLog::escape_controls(std::string_view text) {
    // Most names are all in the code page: then only the controls are looked at.
    const bool all_held = text::to_cp932(text).has_value();
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        const auto byte = static_cast<unsigned char>(ch);
        std::uint32_t c = 0;
        const std::size_t len = all_held || byte < 0x80 ? 1 : utf8_at(text.substr(i), c);
        if (byte < 0x20 || byte == 0x7F || ch == '^') {
            out += '^';
            out += ch == '^' ? '^' : static_cast<char>(byte ^ 0x40);
        } else if (len == 0) {
            out += braced("0x", byte, 2);
        } else if (len > 1 && !text::to_cp932(text.substr(i, len))) {
            out += braced("U+", c, 4);
        } else {
            out.append(text, i, len);
        }
        i += len == 0 ? 1 : len;
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

SystemStatus HistoryLog::write_history(int kind, std::int16_t trigger, std::string_view text) {
    // The time is read as the caption and the start times read it, rounded
    // to the nearest second: a run started for 21:13 is never stamped 21:12:59.
    const LocalDateTime now = local_date_time(local_second_count(clock_));
    // The text's characters code page 932 cannot hold are escaped by now;
    // the rest of the line is the program's own ASCII.
    const std::string line = text::to_cp932_lossy(format_line(now, kind, trigger, text)) + "\r\n";
    busy_.set_busy(true);
    // Appending costs the same whatever the size of the log, and a crash
    // midway can at worst leave one unfinished last line, which the next
    // append does not continue.
    const int err = platform::append_to_file(path_, line, true).error();
    busy_.set_busy(false);
    if (err != 0) {
        return error_from_errno(err, FileOperation::kWrite, path_);
    }
    return {};
}

}  // namespace tarvenix
