#include "common/system_ports.h"

#include <cstdio>
#include <cstdlib>

#include "common/platform.h"

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

LogindSession::LogindSession(Runner run, SessionLookup own_session)
    : run_(std::move(run))
    , own_session_(std::move(own_session)) {
    if (!run_) {
        run_ = [](const std::vector<std::string>& argv) { platform::spawn_detached(argv); };
    }
    if (!own_session_) {
        own_session_ = [] { return platform::own_login_session(); };
    }
    report_ = [](std::string_view message) {
        std::fprintf(stderr, "tarvenix: %.*s\n", static_cast<int>(message.size()), message.data());
    };
}

std::vector<std::string> LogindSession::command_for(SessionRequest request,
                                                    const std::string& session_id) {
    switch (request) {
        case SessionRequest::kPowerOff:
            return {"systemctl", "poweroff"};
        case SessionRequest::kReboot:
            return {"systemctl", "reboot"};
        case SessionRequest::kLogOff:
            if (session_id.empty()) {
                return {};
            }
            return {"loginctl", "terminate-session", session_id};
    }
    return {};
}

void LogindSession::request_session_end(SessionRequest request) {
    const auto argv =
        command_for(request, request == SessionRequest::kLogOff ? own_session_() : std::string());
    if (argv.empty()) {
        report_(kNoSessionMessage);
        return;
    }
    // Nothing is reported back: a refused request leaves the program running.
    run_(argv);
}

}  // namespace tarvenix
