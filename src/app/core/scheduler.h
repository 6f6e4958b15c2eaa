#pragma once

// Timer1: the caption clock, the blinking change marker and the daily start
// times; and how the start-time boxes read a number.

#include <optional>
#include <string>

#include "app/core/program_context.h"

namespace tarvenix {

class Scheduler {
public:
    explicit Scheduler(ProgramContext& context);

    // One tick of the one-second timer. A start time that falls due while a
    // run is in progress starts nothing: that day's run at that time is
    // skipped (the running backup is copying the same sets already).
    void tick();

    // The caption for a clock text.
    std::string caption_text(const std::string& clock) const;

    // Text as the start-time boxes take it: blanks and a sign allowed, a
    // fraction rounded half to even; nothing when it is no 16-bit number.
    static std::optional<int> parse_box_number(std::string_view text);

private:
    ProgramContext& c_;
};

}  // namespace tarvenix
