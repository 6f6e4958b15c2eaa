#include <gtest/gtest.h>

#include "common/system_ports.h"

namespace tarvenix {
namespace {

TEST(LogindSession, EndsOnlyTheProgramsOwnSession) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        SessionRequest request;
        const char* cgroup;
        const char* audit;
        const char* environment;
        V command;  // empty: refused and reported
    };
    const char* const v2 = "0::/user.slice/user-1000.slice/session-7.scope\n";
    const char* const v1 =
        "12:pids:/user.slice\n1:name=systemd:/user.slice/user-1000.slice/"
        "session-c2.scope\n";
    const char* const service = "0::/user.slice/user-1000.slice/user@1000.service/app.slice\n";
    const Case cases[] = {
        {"power off", SessionRequest::kPowerOff, "", "", "", {"systemctl", "poweroff"}},
        {"reboot", SessionRequest::kReboot, "", "", "", {"systemctl", "reboot"}},
        {"cgroup v2 scope",
         SessionRequest::kLogOff,
         v2,
         "9\n",
         "4",
         {"loginctl", "terminate-session", "7"}},
        {"cgroup v1 scope",
         SessionRequest::kLogOff,
         v1,
         "",
         "",
         {"loginctl", "terminate-session", "c2"}},
        {"audit session",
         SessionRequest::kLogOff,
         service,
         "9",
         "4",
         {"loginctl", "terminate-session", "9"}},
        {"environment",
         SessionRequest::kLogOff,
         service,
         "4294967295",
         "4",
         {"loginctl", "terminate-session", "4"}},
        {"no session at all", SessionRequest::kLogOff, service, "4294967295", "", {}},
    };
    for (const Case& c : cases) {
        std::vector<V> ran;
        std::vector<std::string> reported;
        LogindSession session(
            [&ran](const V& argv) { ran.push_back(argv); },
            [&c] { return LogindSession::session_from(c.cgroup, c.audit, c.environment); });
        session.set_failure_reporter([&reported](std::string_view m) { reported.emplace_back(m); });
        session.request_session_end(c.request);
        EXPECT_EQ(ran, c.command.empty() ? std::vector<V>{} : std::vector<V>{c.command}) << c.name;
        EXPECT_EQ(reported.size(), c.command.empty() ? 1U : 0U) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
