// The POSIX platform layer against the real file system and processes.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>

#include "common/platform/storage.h"
#include "common/platform/termination.h"
#include "common/system_ports.h"
#include "support/os_helpers.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// Each termination signal, in a child process, leaves the program running and
// makes the watched handle readable once; the request is taken only once.
TEST(TerminationSignals, AreTurnedIntoARequestTheEventLoopCanWatch) {
    const auto requested_once = [](int signal_number) {
        const int fd = platform::watch_termination_signals();
        pollfd watched{fd, POLLIN, 0};
        const bool quiet_before = fd >= 0 && ::poll(&watched, 1, 0) == 0;
        ::raise(signal_number);
        const bool readable = ::poll(&watched, 1, 1000) == 1;
        return quiet_before && readable && platform::termination_requested() &&
               !platform::termination_requested();
    };
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        EXPECT_EXIT(::_exit(requested_once(signal_number) ? 0 : 1), ::testing::ExitedWithCode(0),
                    "")
            << strsignal(signal_number);
    }
}

// The command run for each request; none when the session cannot be found,
// which is refused and reported.
TEST(LogindSession, EndsOnlyTheProgramsOwnSession) {
    struct Case {
        const char* name;
        SessionRequest request;
        const char *cgroup, *audit, *environment, *command;
    };
    const char* const v2 = "0::/user.slice/user-1000.slice/session-7.scope\n";
    const char* const service = "0::/user.slice/user-1000.slice/user@1000.service/app.slice\n";
    const auto off = SessionRequest::kLogOff;
    for (const Case& c : {
             Case{"power off", SessionRequest::kPowerOff, "", "", "", "systemctl poweroff"},
             Case{"reboot", SessionRequest::kReboot, "", "", "", "systemctl reboot"},
             Case{"cgroup v2 scope", off, v2, "9\n", "4", "loginctl terminate-session 7"},
             Case{"audit session", off, service, "9", "4", "loginctl terminate-session 9"},
             Case{"environment", off, service, "4294967295", "4", "loginctl terminate-session 4"},
             Case{"no session at all", off, service, "4294967295", "", ""},
         }) {
        std::string ran;
        int reported = 0;
        LogindSession session(
            [&ran](const std::vector<std::string>& argv) {
                for (const auto& word : argv) {
                    ran += (ran.empty() ? "" : " ") + word;
                }
            },
            [&c] { return LogindSession::session_from(c.cgroup, c.audit, c.environment); });
        session.set_failure_reporter([&reported](std::string_view) { ++reported; });
        session.request_session_end(c.request);
        EXPECT_EQ(ran, c.command) << c.name;
        EXPECT_EQ(reported, *c.command == '\0' ? 1 : 0) << c.name;
    }
}

// What a destination folder is stored on, told from real mounts: the kernel's
// file system, and for FUSE the mount's driver and source.
TEST(StorageKind, LocalFoldersSticksAndSharesAreToldApart) {
    using platform::StorageKind;
    struct Row {
        const char* name;
        std::optional<Medium> medium;  // none: a temporary folder
        StorageKind kind;
    };
    for (const Row& row : {Row{"temporary folder", std::nullopt, StorageKind::kLocal},
                           Row{"ext4 on a loop device", Medium::kExt4, StorageKind::kLocal},
                           Row{"FAT32 (fusefat)", Medium::kFat32, StorageKind::kRemovable},
                           Row{"exFAT (exfat-fuse)", Medium::kExfat, StorageKind::kRemovable},
                           Row{"sshfs", Medium::kSshfs, StorageKind::kNetwork}}) {
        TempDir dir;
        std::optional<ScopedMedium> fs;
        if (row.medium) {
            fs.emplace(dir.path(), *row.medium);
            if (!fs->mounted()) {
                GTEST_SKIP() << row.name << ": " << fs->reason();
            }
        }
        const auto folder = platform::Directory::open(fs ? fs->path() : dir.path());
        ASSERT_TRUE(folder) << row.name;
        EXPECT_EQ(platform::storage_kind(*folder), row.kind) << row.name;
    }
}

}  // namespace
}  // namespace tarvenix
