#include "common/system_ports.h"

#include "common/platform/clock.h"

namespace tarvenix {

double SystemClock::seconds_since_midnight() {
    return platform::seconds_since_midnight();
}

LocalDateTime SystemClock::local_now() {
    return platform::local_now();
}

double SystemClock::monotonic_seconds() {
    return platform::monotonic_seconds();
}

}  // namespace tarvenix
