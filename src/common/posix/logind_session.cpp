// Ending the session on Linux: systemd-logind.

#include <cstdio>
#include <cstdlib>

#include "common/platform.h"
#include "common/system_ports.h"

namespace tarvenix {

LogindSession::LogindSession(Runner run, SessionLookup own_session)
    : run_(std::move(run))
    , own_session_(std::move(own_session)) {
    if (!run_) {
        run_ = [](const std::vector<std::string>& argv) { platform::spawn_detached(argv); };
    }
    if (!own_session_) {
        own_session_ = [] { return LogindSession::own_session(); };
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

std::string LogindSession::session_from(std::string_view cgroup, std::string_view audit_session,
                                        std::string_view environment) {
    // A line such as "0::/user.slice/user-1000.slice/session-3.scope".
    for (std::size_t at = cgroup.find("/session-"); at != std::string_view::npos;
         at = cgroup.find("/session-", at + 1)) {
        const std::size_t begin = at + 9;
        const std::size_t end = cgroup.find(".scope", begin);
        const std::size_t line_end = cgroup.find('\n', begin);
        if (end != std::string_view::npos && end > begin && end < line_end &&
            cgroup.substr(begin, end - begin).find('/') == std::string_view::npos) {
            return std::string(cgroup.substr(begin, end - begin));
        }
    }
    // The audit session id, unless unset ((uint32_t)-1).
    std::string_view audit = audit_session.substr(0, audit_session.find_first_of(" \n"));
    if (!audit.empty() && audit != "4294967295" &&
        audit.find_first_not_of("0123456789") == std::string_view::npos) {
        return std::string(audit);
    }
    return std::string(environment);
}

std::string LogindSession::own_session() {
    std::string cgroup;
    std::string audit;
    (void)platform::read_file("/proc/self/cgroup", cgroup);
    (void)platform::read_file("/proc/self/sessionid", audit);
    const char* environment = std::getenv("XDG_SESSION_ID");
    return session_from(cgroup, audit, environment != nullptr ? environment : "");
}

}  // namespace tarvenix
