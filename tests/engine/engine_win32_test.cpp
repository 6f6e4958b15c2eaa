// The program's headers come before any that bring in <windows.h> (gtest
// does): it defines macros named like members of Vostrel.
// clang-format off
#include "support/engine_harness.h"
#include "common/win32/wide_text.h"
#include "support/os_helpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
// clang-format on

namespace tarvenix {
namespace {

using namespace testing;

class EngineWin32Test : public EngineHarness, public ::testing::Test {};

TEST_F(EngineWin32Test, HiddenAndSystemEntriesAreNotCopiedAFileInUseIsRecorded) {
    src = dir / "元";  // the put_file calls below make it
    dst = dir / "先";
    make_dirs(dst);
    set(0, src, dst);
    use("0", "1");
    const struct {
        const char* path;  // below the source
        DWORD attributes;
        bool copied;
    } rows[] = {
        {"表.txt", FILE_ATTRIBUTE_NORMAL, true},
        {"readonly.txt", FILE_ATTRIBUTE_READONLY, true},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN, false},
        {"system.sys", FILE_ATTRIBUTE_SYSTEM, false},
        {"hidden-folder\\c.txt", FILE_ATTRIBUTE_HIDDEN, false},
    };
    for (const auto& row : rows) {
        put_file(src + "\\" + row.path, row.path);
        // The attributes go on the row's file or on the folder it is in.
        const std::string path = std::string(row.path).substr(0, std::string(row.path).find('\\'));
        ASSERT_TRUE(
            ::SetFileAttributesW(platform::widen(src + "\\" + path).c_str(), row.attributes))
            << row.path;
    }
    write_file(src + "\\busy.db", "data");
    {
        FileOpenForWriting writer(src + "\\busy.db");
        ASSERT_TRUE(writer.holding());
        EXPECT_EQ(run(), RunOutcome::kCompleted);
    }
    for (const auto& row : rows) {
        EXPECT_EQ(exists(dst + "\\" + row.path), row.copied) << row.path;
    }
    EXPECT_FALSE(exists(dst + "\\hidden-folder") || exists(dst + "\\busy.db"));
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]",
                                        "[Skiped Copy File] = " + dst + "\\busy.db [?]",
                                        "[Success] [Manual]"}));
}

// A reparse point (wine shows a Linux link to a folder as one) is passed
// over like a system entry: the walk never follows it out of the set.
TEST_F(EngineWin32Test, ReparsePointsInTheSourceAreNotFollowed) {
    if (std::getenv("WINEPREFIX") == nullptr) {
        GTEST_SKIP() << "the reparse point is a Linux link seen through wine's drive Z:";
    }
    std::string fixture = TARVENIX_REPARSE_FIXTURE;
    std::replace(fixture.begin(), fixture.end(), '/', '\\');
    ASSERT_TRUE(exists(fixture + "\\link")) << "the wine build makes the fixture";
    set(0, fixture, dst);
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "\\target\\file.txt"), "x");
    EXPECT_FALSE(exists(dst + "\\link"));
}

}  // namespace
}  // namespace tarvenix
