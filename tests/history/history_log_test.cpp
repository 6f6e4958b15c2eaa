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
    SystemErrorReporter reporter{ui};
    TempDir dir;
    HistoryLog log{dir / "history.txt", ui, ui, reporter};
};

TEST_F(HistoryLogTest, TagsAndTriggerTexts) {
    // Kind, trigger, text, the line after its time; only the "=" kinds carry the text.
    const std::tuple<int, std::int16_t, const char*, const char*> cases[] = {
        {1, 0, "", "[Fail] [Prg open]"},
        {2, 1, "", "[Success] [Prg close]"},
        {3, 2, "", "[Cancel] [Timer]"},
        {8, 2, "2004/03/20 07:05", "[Late Start] = 2004/03/20 07:05 [Timer]"},
        {5, 99, "/src", "[Skiped Setteing] = /src [?]"},
        {4, 99, "/d/a.xls", "[Skiped Copy File] = /d/a.xls [?]"},
        {7, 99, "Error: a / b", "[Message] = Error: a / b [?]"}};
    for (const auto& [kind, trigger, text, line] : cases) {
        EXPECT_EQ(HistoryLog::format_line({2004, 3, 20, 23, 0, 9}, kind, trigger, text),
                  std::string("2004/03/20 23:00:09 ") + line);
    }
}

// Each line is appended in Shift-JIS with CR LF, the busy pointer shown while
// it is written; a last line a crash left unfinished is ended first. Control
// characters in a name (one made to look like a result line, the others, the
// escape character itself) never start a line.
TEST_F(HistoryLogTest, LinesAreAppendedInShiftJisWithCrLf) {
    const struct {
        const char *name, *before, *kept;  // before: nullptr = no file
        std::string text, shown;           // shown: as the file holds it
    } cases[] = {
        {"after a clearing", "\r\n", "\r\n", "/backup/データ", "/backup/\x83\x66\x81\x5B\x83\x5E"},
        {"an unfinished last line", "2004/03/19 8:00:00 [Start] [Tim",
         "2004/03/19 8:00:00 [Start] [Tim\r\n", "/d/a", "/d/a"},
        {"no file yet, a name outside the code page", nullptr, "", "/d/café.txt", "/d/caf?.txt"},
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
        HistoryLog(path, ui, ui, reporter).write_history(history_kind::kSkippedFile, 99, c.text);
        EXPECT_EQ(read_file(path), std::string(c.kept) +
                                       "2004/03/20 9:05:07 [Skiped Copy File] = " + c.shown +
                                       " [?]\r\n");
        EXPECT_EQ(ui.events(),
                  (std::vector<UiEvent>{{"busy", "", "on", 0}, {"busy", "", "off", 0}}));
    }
}

}  // namespace
}  // namespace tarvenix
