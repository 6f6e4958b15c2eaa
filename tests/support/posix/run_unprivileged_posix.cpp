#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/engine_harness.h"

namespace tarvenix::testing {

bool EngineHarness::run_unprivileged(const std::vector<std::string>& open,
                                     const std::function<void()>& body) {
    for (const auto& folder : open) {
        ::chmod(folder.c_str(), 0777);
    }
    ::chmod(dir.path().c_str(), 0777);
    ::chmod(program_folder.c_str(), 0777);
    ::chmod((program_folder + "/system.dat").c_str(), 0666);
    if (::geteuid() != 0) {
        body();
        return !::testing::Test::HasFailure();
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(3);
        }
        body();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tarvenix::testing
