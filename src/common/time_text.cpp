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

}  // namespace tarvenix
