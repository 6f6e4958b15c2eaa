#include "common/system_error.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace tarvenix {
namespace {

struct FakeProgress final : ProgressVisibility {
    int hides = 0;
    void hide() override { ++hides; }
};

TEST(SystemErrorReporter, ShowsCodeAndTextThenHidesTheProgressDialog) {
    testing::ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    FakeProgress progress;
    reporter.set_progress(&progress);
    reporter.report_system_error(SystemError(53, "ファイルが見つかりません。"));
    const std::vector<testing::UiEvent> expected{
        {"box", "システムエラー", "エラー番号53 ファイルが見つかりません。", 0}};
    EXPECT_EQ(ui.events(), expected);
    EXPECT_EQ(progress.hides, 1);
}

TEST(SystemErrorReporter, WorksBeforeAnyProgressDialogExists) {
    testing::ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    reporter.report_system_error(SystemError(70, "x"));
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"エラー番号70 x"});
}

TEST(ErrorFromErrno, MapsSystemErrorsToMeaningfulCodes) {
    const SystemError full = error_from_errno(ENOSPC, "write", "/d/a.txt");
    EXPECT_EQ(full.code(), error_code::kDiskFull);
    EXPECT_NE(full.text().find("ディスクの空き容量が不足しています。"), std::string::npos);
    EXPECT_NE(full.text().find("/d/a.txt"), std::string::npos);
    EXPECT_EQ(error_from_errno(EACCES, "open", "p").code(), error_code::kPermissionDenied);
    EXPECT_EQ(error_from_errno(EROFS, "open", "p").code(), error_code::kPermissionDenied);
    EXPECT_EQ(error_from_errno(ENOENT, "open", "p").code(), error_code::kFileNotFound);
    EXPECT_EQ(error_from_errno(EIO, "read", "p").code(), error_code::kDeviceIo);
    EXPECT_EQ(error_from_errno(ELOOP, "open", "p").code(), error_code::kPathFileAccess);
}

}  // namespace
}  // namespace tarvenix

#include "common/platform.h"
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
            [&c] { return platform::login_session_from(c.cgroup, c.audit, c.environment); });
        session.set_failure_reporter([&reported](std::string_view m) { reported.emplace_back(m); });
        session.request_session_end(c.request);
        EXPECT_EQ(ran, c.command.empty() ? std::vector<V>{} : std::vector<V>{c.command}) << c.name;
        EXPECT_EQ(reported.size(), c.command.empty() ? 1U : 0U) << c.name;
    }
}

}  // namespace
}  // namespace tarvenix
