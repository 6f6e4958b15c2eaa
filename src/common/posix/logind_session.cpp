// Ending the session on Linux: systemd-logind.

#include <unistd.h>

#include <cstdlib>

#include "common/platform.h"
#include "common/system_ports.h"

namespace tarvenix {

std::vector<std::string> LogindSession::command_for(SessionRequest request,
                                                    const std::string& session_id,
                                                    const std::string& user) {
    switch (request) {
        case SessionRequest::kPowerOff:
            return {"systemctl", "poweroff"};
        case SessionRequest::kReboot:
            return {"systemctl", "reboot"};
        case SessionRequest::kLogOff:
            if (!session_id.empty()) {
                return {"loginctl", "terminate-session", session_id};
            }
            return {"loginctl", "terminate-user", user};
    }
    return {};
}

void LogindSession::request_session_end(SessionRequest request) {
    const char* session = std::getenv("XDG_SESSION_ID");
    const char* user = std::getenv("USER");
    const auto argv = command_for(request, session != nullptr ? session : "",
                                  user != nullptr ? user : std::to_string(::getuid()));
    // Nothing is reported back: a refused request leaves the program running.
    platform::spawn_detached(argv);
}

}  // namespace tarvenix
