#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/core/file_locations.h"
#include "support/app_harness.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// A program folder that is not there cannot be written; nor can root's, by an
// ordinary user (nobody, when the test runs as root).
TEST(FileLocations, SettingsGoWhereTheUserMayWriteAndTheHelpWhereThePackagePutsIt) {
    struct Case {  // paths below the test's folder; no xdg: unset
        const char *name, *xdg, *help, *data, *help_found;
    };
    const char *beside = "usr/bin/Tarvenix7.chm", *shared = "usr/share/tarvenix/Tarvenix7.chm";
    for (const Case& c : {Case{"writable program folder", "/cfg", beside, "usr/bin", beside},
                          Case{"XDG_CONFIG_HOME", "/cfg", shared, "cfg/tarvenix", shared},
                          Case{"~/.config", "", "", "home/.config/tarvenix", beside}}) {
        TempDir t;
        const bool writable = std::string(c.data) == "usr/bin";
        make_dirs(t / (writable ? "usr/bin" : "usr/share/tarvenix"));
        write_file(t / (*c.help != '\0' ? c.help : "elsewhere.chm"), "ITSF");
        ::setenv("HOME", (t / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (t.path() + c.xdg).c_str(), 1);
        if (*c.xdg == '\0') {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        const FileLocations files = locate_program_files(t / "usr/bin");
        EXPECT_EQ(files.data_folder, t / c.data) << c.name;
        EXPECT_EQ(files.help_file_path, t / c.help_found) << c.name;
        EXPECT_TRUE(writable || mode_of(t / c.data) == 0700u) << c.name;
        EXPECT_EQ(exists(t / "cfg"), std::string(c.data) == "cfg/tarvenix") << c.name;
    }
    TempDir t;
    make_dirs(t / "usr/bin");
    ::chmod(t.path().c_str(), 0777);
    ::chmod((t / "usr/bin").c_str(), 0555);
    ::setenv("XDG_CONFIG_HOME", (t / "cfg").c_str(), 1);
    const auto as_nobody = [&] {
        std::exit((::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) &&
                          locate_program_files(t / "usr/bin").data_folder == t / "cfg/tarvenix"
                      ? 0
                      : 1);
    };
    EXPECT_EXIT(as_nobody(), ::testing::ExitedWithCode(0), "") << "root's program folder";
}

// 履歴表示 opens a UTF-8 copy of the Shift-JIS log, made afresh at each
// click in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache).
TEST(FileLocations, TheHistoryIsShownFromAUtf8CopyInTheCacheFolder) {
    for (const char* xdg : {"xdg", ""}) {
        AppHarness t;
        make_dirs(t.dir / "home");
        ::setenv("HOME", (t.dir / "home").c_str(), 1);
        *xdg != '\0' ? ::setenv("XDG_CACHE_HOME", (t.dir / xdg).c_str(), 1)
                     : ::unsetenv("XDG_CACHE_HOME");
        const std::string copy =
            t.dir / (*xdg != '\0' ? "xdg" : "home/.cache") + "/tarvenix/history.txt";
        std::string log, shown;
        for (const auto& [line, text] :
             {std::pair{"= /d/\x83\x66\x81\x5B\x83\x5E\r\n", "= /d/データ\r\n"},
              {"= /d/\x95\x5C\r\n", "= /d/表\r\n"}}) {
            write_file(t.context.history_file_path, log += line);
            t.controller.recedit_bt();
            EXPECT_EQ(t.ui.events_of("shell").back().text, copy) << xdg;
            EXPECT_EQ(read_file(copy), shown += text) << xdg;
        }
    }
}

}  // namespace
}  // namespace tarvenix
