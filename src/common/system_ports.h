#pragma once

// Desktop implementations of the ports that need no window toolkit.

#include <string>
#include <vector>

#include "common/ports.h"

namespace tarvenix {

class SystemClock final : public ClockPort {
public:
    double seconds_since_midnight() override;
    LocalDateTime local_now() override;
    double monotonic_seconds() override;
};

// Ends the session through systemd-logind: "systemctl poweroff" and
// "systemctl reboot" (logind asks polkit whether the user may, and honours
// the inhibitors other programs hold, so they can still veto), and
// "loginctl terminate-session" for logging off.
class LogindSession final : public SessionPort {
public:
    void request_session_end(SessionRequest request) override;

    // The command that carries out a request (kept apart for testing).
    static std::vector<std::string> command_for(SessionRequest request,
                                                const std::string& session_id,
                                                const std::string& user);
};

}  // namespace tarvenix
