#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/settings_store.h"
#include "support/os_helpers.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// Loads (and saves, when asked) within 20 seconds and 1 GiB; returns the faults
// seen: 1 the box, 2 the values, 4 the save, 8 the memory used.
int load_and_save(const std::string& path, bool refused, bool save) {
    ::alarm(20);
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit memory{rlim_t{1} << 30, rlim_t{1} << 30};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    ScriptedUi ui;
    SystemErrorReporter reporter(ui);
    SettingsState state;
    SettingsStore store(state, path, reporter);
    store.load_settings();
    const auto boxes = ui.events_of("box");
    const bool box = boxes.size() == 1 && boxes[0].caption == "システムエラー" &&
                     boxes[0].text.find("通常のファイルではありません") != std::string::npos;
    int faults = box != refused ? 1 : 0;
    faults |= (state.model.options.copy_mode == "1") == refused ? 2 : 0;
    if (save) {
        state.model.sets[0].src_folder = "/saved";
        try {
            store.write_settings_file();
            faults |= refused ? 4 : 0;
        } catch (const SystemError&) {
            faults |= refused ? 0 : 4;
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return faults | (usage.ru_maxrss > 100 * 1024 ? 8 : 0);  // KiB
}

// Whatever stands where system.dat should be, a load reads no more than the 47
// records and never hangs: anything but a regular file is refused with the
// load's system error, and a save neither reads a huge file whole nor writes
// through it. Each case runs in a child with an alarm and a memory limit.
TEST(SettingsStoreOddFiles, OnlyTheRecordsOfARegularFileAreRead) {
    static constexpr off_t kHuge = off_t{160} << 20;
    const struct {
        const char* name;
        void (*make)(const std::string& path);
        bool refused;
        bool save;  // never saved over a link to a device: a fault would replace it
    } cases[] = {
        {"a link to /dev/zero", [](const std::string& p) { ::symlink("/dev/zero", p.c_str()); },
         true, false},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, true, true},
        {"a folder", [](const std::string& p) { make_dirs(p); }, true, true},
        {"160 MB past the records",
         [](const std::string& p) {
             std::string r(9 * 160, ' ');  // copy_mode "1" and the three shut-down flags
             r.replace(0, 1, "1").replace(6 * 160, 5, "False").replace(7 * 160, 5, "False");
             write_file(p, r.replace(8 * 160, 5, "False"));
             ASSERT_EQ(::truncate(p.c_str(), kHuge), 0);
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "system.dat";
        c.make(path);
        EXPECT_EXIT(::_exit(load_and_save(path, c.refused, c.save)), ::testing::ExitedWithCode(0),
                    "");
        struct stat st {};
        if (c.refused) {
            ::lstat(path.c_str(), &st);
            EXPECT_FALSE(S_ISREG(st.st_mode)) << "replaced";
        } else {
            ::stat(path.c_str(), &st);
            EXPECT_EQ(st.st_size, kHuge) << "the bytes past the records are kept";
            EXPECT_EQ(SettingsRecordFile(path).read_record(16).substr(0, 6), "/saved");
        }
    }
}

}  // namespace
}  // namespace tarvenix
