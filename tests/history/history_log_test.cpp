#include "history/history_log.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

// The scripted clock stands at 2004/03/20 9:05:07.
class HistoryLogTest : public ::testing::Test {
protected:
    ScriptedUi ui;
    TempDir dir;
    HistoryLog log{dir / "history.txt", ui, ui};
};

// Each line is appended in Shift-JIS with CR LF, the busy pointer shown while
// it is written; a last line a crash left unfinished is ended first. Control
// characters in a name (one made to look like a result line, the others, the
// escape itself) never start a line; what the code page lacks is told apart.
TEST_F(HistoryLogTest, LinesAreAppendedInShiftJisWithCrLf) {
    const struct {
        const char *name, *before, *kept;  // before: nullptr = no file
        std::string text, shown;           // shown: as the file holds it
    } cases[] = {
        {"after a clearing", "\r\n", "\r\n", "/backup/データ", "/backup/\x83\x66\x81\x5B\x83\x5E"},
        {"an unfinished last line", "2004/03/19 8:00:00 [Start] [Tim",
         "2004/03/19 8:00:00 [Start] [Tim\r\n", "/d/a", "/d/a"},
        {"no file yet, outside the code page", nullptr, "", "/d/é\xF0\x9F\x98\x80表\xFF\xE3\x81^",
         "/d/^{U+00E9}^{U+1F600}\x95\x5C^{0xFF}^{0xE3}^{0x81}^^"},
        {"a result line", nullptr, "", "/d/report\r\n2026/12/07 3:00:00 [Success] [Manual]",
         "/d/report^M^J2026/12/07 3:00:00 [Success] [Manual]"},
        {"other controls", nullptr, "", std::string("/d/\x01\t\x1B\x7F") + '\0' + "z",
         "/d/^A^I^[^?^@z"},
        {"the escape", nullptr, "", "/d/x^y", "/d/x^^y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        if (c.before != nullptr) {
            write_file(path, c.before);
        }
        ui.clear_events();
        EXPECT_TRUE(HistoryLog(path, ui, ui).write_history(history_kind::kSkippedFile, 99, c.text));
        EXPECT_EQ(read_file(path), std::string(c.kept) +
                                       "2004/03/20 9:05:07 [Skiped Copy File] = " + c.shown +
                                       " [?]\r\n");
        EXPECT_EQ(ui.events(),
                  (std::vector<UiEvent>{{"busy", "", "on", 0}, {"busy", "", "off", 0}}));
    }
}

}  // namespace
}  // namespace tarvenix
