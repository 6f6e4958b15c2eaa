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

// Local time as whole seconds counted from 1970/01/01 00:00:00 local time,
// so times of different days compare and subtract like numbers. The clock's
// time of day is rounded to the nearest second as the caption shows it, so
// 23:59:59.6 counts as 00:00:00 of the next day.
std::int64_t local_second_count(ClockPort& clock);
// Days since 1970/01/01 of a calendar date (a day past the month's end
// counts on into the next month).
std::int64_t day_number(int year, int month, int day);
// The calendar date and time of a local second count.
LocalDateTime local_date_time(std::int64_t local_seconds);
// "yyyy/MM/dd hh:mm" of a local second count.
std::string date_and_minute_text(std::int64_t local_seconds);

}  // namespace tarvenix
