#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "settings/settings_store.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// Anything but a regular file where system.dat should be is refused with the
// load's system error, without waiting or reading without end: each load runs
// in a child with an alarm and a memory limit.
TEST(SettingsStoreOddFiles, AnythingButARegularFileIsRefused) {
    const auto refused = [](const std::string& path) {
        ::alarm(20);
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit memory{rlim_t{1} << 30, rlim_t{1} << 30};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        ScriptedUi ui;
        SystemErrorReporter reporter(ui);
        SettingsState state;
        reporter.report_if_failed(SettingsStore(state, path).load_settings());
        const auto boxes = ui.events_of("box");
        return boxes.size() == 1 && boxes[0].caption == "システムエラー" &&
               boxes[0].text.find("通常のファイルではありません") != std::string::npos;
    };
    using Make = void (*)(const std::string& path);
    for (const auto& [name, make] :
         {std::pair<const char*, Make>{
              "a link to /dev/zero",
              [](const std::string& p) { ::symlink("/dev/zero", p.c_str()); }},
          {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }}}) {
        TempDir dir;
        make(dir / "system.dat");
        EXPECT_EXIT(::_exit(refused(dir / "system.dat") ? 0 : 1), ::testing::ExitedWithCode(0), "")
            << name;
    }
}

}  // namespace
}  // namespace tarvenix
