#include <gtest/gtest.h>

#include "common/system_ports.h"

namespace tarvenix {
namespace {

TEST(LogindSession, AsksLogindForEachRequest) {
    using V = std::vector<std::string>;
    EXPECT_EQ(LogindSession::command_for(SessionRequest::kPowerOff, "3", "u"),
              (V{"systemctl", "poweroff"}));
    EXPECT_EQ(LogindSession::command_for(SessionRequest::kReboot, "3", "u"),
              (V{"systemctl", "reboot"}));
    EXPECT_EQ(LogindSession::command_for(SessionRequest::kLogOff, "3", "u"),
              (V{"loginctl", "terminate-session", "3"}));
    // Outside a logind session: end every session of the user.
    EXPECT_EQ(LogindSession::command_for(SessionRequest::kLogOff, "", "taro"),
              (V{"loginctl", "terminate-user", "taro"}));
}

}  // namespace
}  // namespace tarvenix
