#pragma once

// The system's clocks, which SystemClock (common/system_ports.h) hands to
// the program; posix/clock_posix.cpp and win32/clock_win32.cpp implement it.

#include "common/ports.h"

namespace tarvenix::platform {

// Seconds on a clock that never jumps (not the time of day) and counts the
// time the computer slept.
double monotonic_seconds();
LocalDateTime local_now();
double seconds_since_midnight();

}  // namespace tarvenix::platform
