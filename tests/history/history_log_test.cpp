#include "history/history_log.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using namespace testing;

class HistoryLogTest : public ::testing::Test {
protected:
    HistoryLogTest() {
        ui.set_date(2004, 3, 20);
        ui.set_time(9 * 3600 + 5 * 60 + 7.9);
    }
    ScriptedUi ui;
    SystemErrorReporter reporter{ui};
    TempDir dir;
    HistoryLog log{dir / "history.txt", ui, ui, reporter};
};

TEST_F(HistoryLogTest, FirstLineCreatesTheFile) {
    log.write_history(history_kind::kStart, run_trigger::kManual, "");
    EXPECT_EQ(read_file(dir / "history.txt"), "2004/03/20 9:05:07 [Start] [Manual]\r\n");
}

TEST_F(HistoryLogTest, TagsAndTriggerTexts) {
    const LocalDateTime t{2004, 3, 20, 23, 0, 9};
    EXPECT_EQ(HistoryLog::format_line(t, 1, 0, ""), "2004/03/20 23:00:09 [Fail] [Prg open]");
    EXPECT_EQ(HistoryLog::format_line(t, 2, 1, ""), "2004/03/20 23:00:09 [Success] [Prg close]");
    EXPECT_EQ(HistoryLog::format_line(t, 3, 2, ""), "2004/03/20 23:00:09 [Cancel] [Timer]");
    EXPECT_EQ(HistoryLog::format_line(t, 4, 99, "/d/a.xls"),
              "2004/03/20 23:00:09 [Skiped Copy File] = /d/a.xls [?]");
    EXPECT_EQ(HistoryLog::format_line(t, 5, 99, "/src"),
              "2004/03/20 23:00:09 [Skiped Setteing] = /src [?]");
    EXPECT_EQ(HistoryLog::format_line(t, 6, -1, ""), "2004/03/20 23:00:09 [Start] [?]");
    EXPECT_EQ(HistoryLog::format_line(t, 7, 99, "Error: a / b"),
              "2004/03/20 23:00:09 [Message] = Error: a / b [?]");
    EXPECT_EQ(HistoryLog::format_line(t, 8, 4, "x"), "2004/03/20 23:00:09 [?] [?]");
    EXPECT_EQ(HistoryLog::format_line(t, 0, 3, "x"), "2004/03/20 23:00:09 [?] [Manual]");
    // Only the "=" kinds carry the text.
    EXPECT_EQ(HistoryLog::format_line(t, 2, 3, "ignored"),
              "2004/03/20 23:00:09 [Success] [Manual]");
}

TEST_F(HistoryLogTest, LinesAreAppendedInShiftJisWithCrLf) {
    // An existing log written in Shift-JIS, ending with the empty line a
    // clearing leaves.
    write_file(dir / "history.txt", "\r\n");
    log.write_history(history_kind::kSkippedFile, run_trigger::kNone, "/backup/データ/a.xls");
    ui.advance(1);
    log.write_history(history_kind::kSuccess, run_trigger::kTimer, "");
    EXPECT_EQ(
        read_file(dir / "history.txt"),
        "\r\n"
        "2004/03/20 9:05:07 [Skiped Copy File] = /backup/\x83\x66\x81\x5B\x83\x5E/a.xls [?]\r\n"
        "2004/03/20 9:05:08 [Success] [Timer]\r\n");
    const std::vector<UiEvent> busy{{"busy", "", "on", 0},
                                    {"busy", "", "off", 0},
                                    {"busy", "", "on", 0},
                                    {"busy", "", "off", 0}};
    EXPECT_EQ(ui.events(), busy);
}

TEST_F(HistoryLogTest, CharactersOutsideTheCodePageAreWrittenAsQuestionMarks) {
    log.write_history(history_kind::kSkippedFile, run_trigger::kNone, "/d/café.txt");
    EXPECT_EQ(read_file(dir / "history.txt"),
              "2004/03/20 9:05:07 [Skiped Copy File] = /d/caf?.txt [?]\r\n");
}

TEST_F(HistoryLogTest, ControlCharactersInNamesNeverStartALineOfTheirOwn) {
    // A name made to look like a result line, a bare line feed, the other
    // control characters, and the escape character itself.
    const std::pair<std::string, std::string> cases[] = {
        {"/d/report\r\n２０２６／12／07 3:00:00 [Success] [Manual]",
         "/d/report^M^J２０２６／12／07 3:00:00 [Success] [Manual]"},
        {"/d/a\nb", "/d/a^Jb"},
        {std::string("/d/\x01\t\x1B\x7F") + '\0' + "z", "/d/^A^I^[^?^@z"},
        {"/d/x^y", "/d/x^^y"},
    };
    for (const auto& [name, shown] : cases) {
        for (const int kind :
             {history_kind::kSkippedFile, history_kind::kSkippedSet, history_kind::kMessage}) {
            write_file(dir / "history.txt", "");
            log.write_history(kind, run_trigger::kNone, name);
            const std::string raw = read_file(dir / "history.txt");
            EXPECT_EQ(std::count(raw.begin(), raw.end(), '\n'), 1) << shown;
            EXPECT_EQ(std::count(raw.begin(), raw.end(), '\r'), 1) << shown;
            const auto lines = read_cp932_lines(dir / "history.txt");
            EXPECT_NE(lines[0].find(" = " + shown + " [?]"), std::string::npos) << lines[0];
        }
    }
}

TEST_F(HistoryLogTest, AnUnfinishedLastLineIsNotContinued) {
    write_file(dir / "history.txt", "2004/03/19 8:00:00 [Start] [Tim");
    log.write_history(history_kind::kStart, run_trigger::kTimer, "");
    EXPECT_EQ(read_file(dir / "history.txt"),
              "2004/03/19 8:00:00 [Start] [Tim\r\n2004/03/20 9:05:07 [Start] [Timer]\r\n");
}

TEST_F(HistoryLogTest, AnUnwritableFileIsReportedAndTheCallerGoesOn) {
    make_dirs(dir / "history.txt");  // a folder where the file should be
    log.write_history(history_kind::kStart, run_trigger::kManual, "");
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "システムエラー");
    EXPECT_EQ(boxes[0].text.rfind("エラー番号", 0), 0u);
}

}  // namespace
}  // namespace tarvenix
