// The clocks on Linux.

#include <ctime>

#include "common/platform/clock.h"

namespace tarvenix::platform {
namespace {

struct LocalParts {
    std::tm tm{};
    long nsec = 0;
};

LocalParts local_parts() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    LocalParts p;
    ::localtime_r(&ts.tv_sec, &p.tm);
    p.nsec = ts.tv_nsec;
    return p;
}

}  // namespace

double monotonic_seconds() {
    timespec ts{};
    // Counting the time the computer slept, as Windows' counter does: a
    // wait that spans a sleep is as long as it really was.
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

LocalDateTime local_now() {
    const auto p = local_parts();
    return LocalDateTime{p.tm.tm_year + 1900, p.tm.tm_mon + 1, p.tm.tm_mday,
                         p.tm.tm_hour,        p.tm.tm_min,     p.tm.tm_sec};
}

double seconds_since_midnight() {
    const auto p = local_parts();
    return p.tm.tm_hour * 3600.0 + p.tm.tm_min * 60.0 + p.tm.tm_sec +
           static_cast<double>(p.nsec) / 1e9;
}

}  // namespace tarvenix::platform
