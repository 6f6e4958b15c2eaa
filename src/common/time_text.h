#pragma once

#include <cstdint>
#include <string>

#include "common/ports.h"

namespace tarvenix {

// Seconds since midnight as "hh:mm:ss", each part at least two digits. The
// fraction is cut; a whole day (86400) gives "24:00:00".
std::string time_text(double seconds_since_midnight);

// Rounds to the nearest whole second, a half to the even neighbour.
std::int64_t round_half_even(double seconds);

// "yyyy/MM/dd H:mm:ss", the short date and time of a Japanese desktop.
std::string history_timestamp(const LocalDateTime& t);

}  // namespace tarvenix
