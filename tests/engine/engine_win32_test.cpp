// Backup runs on Windows: what the walk passes over (hidden and system
// entries, reparse points), a file in use in skip mode, backslash paths.

// The program's headers come before any that bring in <windows.h> (gtest
// does): it defines macros named like members of Vostrel (ExitWindows,
// WM_MOUSEMOVE, ...).
// clang-format off
#include "support/engine_harness.h"
#include "support/os_helpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
// clang-format on

namespace tarvenix {
namespace {

using namespace testing;

class EngineWin32Test : public EngineHarness, public ::testing::Test {
protected:
    void SetUp() override {
        make_dirs(src);
        make_dirs(dst);
        set(0, src, dst);
    }
    static void set_attributes(const std::string& path, DWORD attributes) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                            nullptr, 0);
        std::wstring w(static_cast<std::size_t>(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), w.data(), n);
        ASSERT_TRUE(::SetFileAttributesW(w.c_str(), attributes)) << path;
    }
    const std::string src = dir / "元";
    const std::string dst = dir / "先";
};

TEST_F(EngineWin32Test, HiddenAndSystemEntriesAreNotCopied) {
    struct Row {
        const char* path;  // below the source
        DWORD attributes;  // of the file, or of its folder when in one
        bool copied;
    };
    const Row rows[] = {
        {"表.txt", FILE_ATTRIBUTE_NORMAL, true},
        {"readonly.txt", FILE_ATTRIBUTE_READONLY, true},
        {"archive.txt", FILE_ATTRIBUTE_ARCHIVE, true},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, false},
        {"system.sys", FILE_ATTRIBUTE_SYSTEM, false},
        {"サブ\\b.txt", FILE_ATTRIBUTE_NORMAL, true},
        {"hidden-folder\\c.txt", FILE_ATTRIBUTE_HIDDEN, false},
        {"system-folder\\d.txt", FILE_ATTRIBUTE_SYSTEM, false},
    };
    for (const Row& row : rows) {
        const std::string path = src + "\\" + row.path;
        const auto sep = std::string(row.path).find('\\');
        if (sep != std::string::npos) {
            make_dirs(src + "\\" + std::string(row.path).substr(0, sep));
        }
        write_file(path, row.path);
        set_attributes(
            sep == std::string::npos ? path : src + "\\" + std::string(row.path).substr(0, sep),
            row.attributes);
    }
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    for (const Row& row : rows) {
        EXPECT_EQ(exists(dst + "\\" + row.path), row.copied) << row.path;
    }
    EXPECT_FALSE(exists(dst + "\\hidden-folder"));
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
}

TEST_F(EngineWin32Test, SkipModeRecordsAFileInUseWithItsWindowsPath) {
    settings.model.options.skip_open_files = "1";
    save_settings();
    write_file(src + "\\busy.db", "data");
    write_file(src + "\\free.txt", "free");
    {
        FileOpenForWriting writer(src + "\\busy.db");
        ASSERT_TRUE(writer.holding());
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    }
    EXPECT_FALSE(exists(dst + "\\busy.db"));
    EXPECT_EQ(read_file(dst + "\\free.txt"), "free");
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]",
                                        "[Skiped Copy File] = " + dst + "\\busy.db [?]",
                                        "[Success] [Manual]"}));
}

TEST_F(EngineWin32Test, ReparsePointsInTheSourceAreNotFollowed) {
    std::string fixture = TARVENIX_REPARSE_FIXTURE;
    std::replace(fixture.begin(), fixture.end(), '/', '\\');
    if (!exists(fixture + "\\link")) {
        GTEST_SKIP() << "no reparse point to walk: the fixture is made by the wine build";
    }
    set(0, fixture, dst);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "\\target\\file.txt"), "x");
    EXPECT_FALSE(exists(dst + "\\link"));
}

}  // namespace
}  // namespace tarvenix
