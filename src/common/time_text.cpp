#include "common/time_text.h"

#include <cmath>
#include <cstdio>

namespace tarvenix {

std::string time_text(double seconds_since_midnight) {
    const auto t = static_cast<std::int64_t>(std::trunc(seconds_since_midnight));
    const std::int64_t total_minutes = t / 60;
    const std::int64_t seconds = t - 60 * total_minutes;
    const std::int64_t hours = total_minutes / 60;
    const std::int64_t minutes = total_minutes - 60 * hours;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(seconds));
    return buf;
}

std::int64_t round_half_even(double seconds) {
    const double floor = std::floor(seconds);
    const double diff = seconds - floor;
    auto whole = static_cast<std::int64_t>(floor);
    if (diff > 0.5 || (diff == 0.5 && (whole % 2) != 0)) {
        ++whole;
    }
    return whole;
}

std::string history_timestamp(const LocalDateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::int64_t day_number(int year, int month, int day) {
    // Counted from March, so the leap day ends a year (a known civil-days
    // formula): exact for every Gregorian date.
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t year_of_era = y - era * 400;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

std::int64_t local_second_count(ClockPort& clock) {
    const LocalDateTime date = clock.local_now();
    const std::int64_t of_day = round_half_even(clock.seconds_since_midnight());
    std::int64_t day = day_number(date.year, date.month, date.day);
    // The two readings straddle midnight when they are half a day apart.
    const std::int64_t date_of_day = date.hour * 3600 + date.minute * 60 + date.second;
    if (of_day - date_of_day > 43200) {
        --day;
    } else if (date_of_day - of_day > 43200) {
        ++day;
    }
    return day * 86400 + of_day;
}

LocalDateTime local_date_time(std::int64_t local_seconds) {
    const std::int64_t days = (local_seconds >= 0 ? local_seconds : local_seconds - 86399) / 86400;
    const auto of_day = static_cast<int>(local_seconds - days * 86400);
    // The inverse of day_number.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t day_of_era = z - era * 146097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    return LocalDateTime{static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0)),
                         static_cast<int>(month),
                         static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1),
                         of_day / 3600,
                         of_day / 60 % 60,
                         of_day % 60};
}

std::string date_and_minute_text(std::int64_t local_seconds) {
    const LocalDateTime t = local_date_time(local_seconds);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buf;
}

}  // namespace tarvenix
