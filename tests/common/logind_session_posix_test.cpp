#include <gtest/gtest.h>

#include "common/system_ports.h"

namespace tarvenix {
namespace {

// The command run for each request, its words joined by spaces; none when
// the session cannot be found, which is refused and reported.
TEST(LogindSession, EndsOnlyTheProgramsOwnSession) {
    struct Case {
        const char* name;
        SessionRequest request;
        const char *cgroup, *audit, *environment, *command;
    };
    const char* const v2 = "0::/user.slice/user-1000.slice/session-7.scope\n";
    const char* const v1 =
        "12:pids:/user.slice\n1:name=systemd:/user.slice/user-1000.slice/session-c2.scope\n";
    const char* const service = "0::/user.slice/user-1000.slice/user@1000.service/app.slice\n";
    const auto off = SessionRequest::kLogOff;
    const Case cases[] = {
        {"power off", SessionRequest::kPowerOff, "", "", "", "systemctl poweroff"},
        {"reboot", SessionRequest::kReboot, "", "", "", "systemctl reboot"},
        {"cgroup v2 scope", off, v2, "9\n", "4", "loginctl terminate-session 7"},
        {"cgroup v1 scope", off, v1, "", "", "loginctl terminate-session c2"},
        {"audit session", off, service, "9", "4", "loginctl terminate-session 9"},
        {"environment", off, service, "4294967295", "4", "loginctl terminate-session 4"},
        {"no session at all", off, service, "4294967295", "", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> ran, reported;
        LogindSession session(
            [&ran](const std::vector<std::string>& argv) {
                std::string line;
                for (const auto& word : argv) {
                    line += (line.empty() ? "" : " ") + word;
                }
                ran.push_back(line);
            },
            [&c] { return LogindSession::session_from(c.cgroup, c.audit, c.environment); });
        session.set_failure_reporter([&reported](std::string_view m) { reported.emplace_back(m); });
        session.request_session_end(c.request);
        const bool found = *c.command != '\0';
        EXPECT_EQ(ran, found ? std::vector<std::string>{c.command} : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(reported.size(), found ? 0U : 1U) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
