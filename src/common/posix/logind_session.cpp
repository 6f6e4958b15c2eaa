// Ending the session on Linux: systemd-logind.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/platform/files.h"
#include "common/system_ports.h"

extern char** environ;

namespace tarvenix {
namespace {

// Starts a program (argv[0] looked up in PATH) without waiting for it: the
// session commands end the session, or fail on their own.
void spawn_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    // Fork twice so the program is not our child: nobody has to reap it.
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        pid_t pid = 0;
        const int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
        ::_exit(rc == 0 ? 0 : 127);
    }
    while (child > 0 && ::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

LogindSession::LogindSession(Runner run, SessionLookup own_session)
    : run_(std::move(run))
    , own_session_(std::move(own_session)) {
    if (!run_) {
        run_ = [](const std::vector<std::string>& argv) { spawn_detached(argv); };
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
    // A file that cannot be read tells no session.
    const std::string cgroup = platform::read_file("/proc/self/cgroup").value_or("");
    const std::string audit = platform::read_file("/proc/self/sessionid").value_or("");
    const char* environment = std::getenv("XDG_SESSION_ID");
    return session_from(cgroup, audit, environment != nullptr ? environment : "");
}

}  // namespace tarvenix
