#pragma once

// Timer1: the caption clock, the blinking change marker and the daily start
// times; and how the start-time boxes read a number.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/no_click_boxes.h"
#include "common/ports.h"
#include "engine/backup_engine.h"
#include "history/history_log.h"
#include "settings/settings_store.h"

namespace tarvenix {

// What the scheduler works with; all of it outlives the scheduler.
struct SchedulerServices {
    SettingsState& settings;
    ClockPort& clock;
    SessionPort& session;  // the shut-down after a run on time
    HistoryLog& history;
    SystemErrorReporter& reporter;  // a history line that cannot be written
    BackupEngine& engine;
    const NoClickBoxes& boxes;  // no run starts once the program is ending
};

class Scheduler {
public:
    explicit Scheduler(const SchedulerServices& services);

    // One tick of the one-second timer. A start time is due when its ":00"
    // second lies after the previous tick's clock reading and at or before
    // this one's, so a tick that comes late still starts it, once. A start
    // time that falls due while a run is in progress starts nothing: the
    // running backup is copying the same sets already. After a long gap
    // between ticks (the computer slept, the program was stopped), measured
    // on the clock that never jumps, the start times missed in it give one
    // late run, which never shuts the computer down. A time of day that
    // jumps forward (a daylight-saving change, the clock set) is no gap: the
    // start times it passes are due at once. A start time runs at most once
    // a day, so a clock set back does not run it again.
    void tick();

    // The caption for a clock text.
    std::string caption_text(const std::string& clock) const;

    // Text as the start-time boxes take it: blanks and a sign allowed, a
    // fraction rounded half to even; nothing when it is no 16-bit number.
    static std::optional<int> parse_box_number(std::string_view text);

    // Ticks further apart than this (in seconds that really passed) are a gap: the
    // start times in it were missed, not merely reached a little late.
    static constexpr std::int64_t kLongGapSeconds = 60;

private:
    struct Due {
        int slot;
        std::int64_t at;  // local second count of the ":00" second
    };
    // The start times due in (previous, now], each at its latest occurrence.
    std::vector<Due> due_between(std::int64_t previous, std::int64_t now) const;
    // Remembers that this occurrence has had its turn (run or passed over).
    void consume(const Due& due);
    bool ran_that_day(const Due& due) const;
    void run_late(const std::vector<Due>& missed);
    // Runs the backup of start time k on time: a run that completes shuts
    // the computer down when that start time's box is ticked.
    void run_on_time(int k);

    SchedulerServices s_;
    // The phase of the "変更有り" blink.
    std::int16_t blink_on_ = 0;
    // The clock reading of the previous tick (local second count).
    std::optional<std::int64_t> previous_reading_;
    // The never-jumping clock's reading at the previous tick, in seconds.
    std::optional<double> previous_elapsed_reading_;
    // Per start time: the day and the time text of its last turn.
    std::array<std::optional<std::pair<std::int64_t, std::string>>, kStartTimeCount> last_turn_;
};

}  // namespace tarvenix
