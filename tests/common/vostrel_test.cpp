#include "common/vostrel.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace tarvenix {
namespace {

using testing::ScriptedUi;
using testing::TempDir;
using testing::UiEvent;

class VostrelTest : public ::testing::Test {
protected:
    ScriptedUi ui;
    Vostrel v{ui.ports()};
};

TEST_F(VostrelTest, EachKindBeepsThenShowsItsBox) {
    struct Row {
        const char* kind;
        const char* prompt;
        std::int32_t beep;  // 0: nothing is shown
        const char* caption;
        std::int32_t style;
    };
    const Row rows[] = {{"err", "本文", 48, "Error", 16},
                        {"chk", "本文", 32, "確認", 32},
                        {"info", "本文", 64, "情報", 64},
                        {"okc", "本文", 32, "確認", 33},
                        {"yn", "本文", 32, "確認", 36},
                        {"ync", "本文", 32, "確認", 35},
                        {"rc", "", 32, "再試行", 37},
                        {"ERR", "x", 0, "", 0},
                        {"", "x", 0, "", 0},
                        {"error", "x", 0, "", 0}};
    for (const Row& row : rows) {
        ui.clear_events();
        ui.answer_next(button::kCancel);
        EXPECT_EQ(v.Msg_Box(row.kind, row.prompt), row.beep ? button::kCancel : 0) << row.kind;
        std::vector<UiEvent> expected;
        if (row.beep != 0) {
            expected = {{"beep", "", "", row.beep}, {"box", row.caption, row.prompt, row.style}};
        }
        EXPECT_EQ(ui.events(), expected) << row.kind;
    }
}

TEST_F(VostrelTest, ErrMsgReportsAndClearsThePendingError) {
    std::optional<SystemError> pending = SystemError(53, "ファイルが見つかりません。");
    EXPECT_EQ(v.Err_Msg(pending, "Tarvenix", "run_backup"), 53);
    EXPECT_FALSE(pending.has_value());
    const std::vector<UiEvent> expected{
        {"beep", "", "", 16},
        {"box", "予期せぬエラー",
         "エラー番号53 ファイルが見つかりません。\r\n\r\nプロジェクト名 = [Tarvenix]\r\n"
         "プロシージャ名 = [run_backup]",
         4112}};
    EXPECT_EQ(ui.events(), expected);
    EXPECT_EQ(v.Err_Msg(pending, "p", "q"), 0);
}

TEST_F(VostrelTest, GetTimeRoundsToTheNearestSecond) {
    const double base = 9 * 3600 + 5 * 60;
    // A half goes to the even second.
    for (const auto& [seconds, text] : {std::pair{base + 3.2, "09:05:03"},
                                        {base + 3.5, "09:05:04"},
                                        {base + 4.5, "09:05:04"},
                                        {86399.6, "24:00:00"},
                                        {0.2, "00:00:00"}}) {
        ui.set_time(seconds);
        EXPECT_EQ(v.GetTime(), text) << seconds;
    }
}

// From hh:mm:10.4 a wait of 2 s ends when the clock reaches hh:mm:12.0; one
// across midnight still ends.
TEST_F(VostrelTest, WaitAcrossMidnightStillEnds) {
    struct Row {
        double start, waited;
        const char *from, *to;
    };
    for (const Row& row :
         {Row{36010.4, 1.6, "10:00:10", "10:00:12"}, Row{86399.0, 2.0, "23:59:59", "00:00:01"}}) {
        ui.set_time(row.start);
        const double mono_before = ui.monotonic_seconds();
        const int pumps_before = ui.pump_count();
        v.Wait(2.0F);
        EXPECT_NEAR(ui.monotonic_seconds() - mono_before, row.waited, 0.011) << row.from;
        EXPECT_EQ(v.WaitStartTime, row.from);
        EXPECT_EQ(v.WaitFinishTime, row.to);
        EXPECT_GT(ui.pump_count(), pumps_before) << row.from;  // the user was served meanwhile
    }
}

TEST_F(VostrelTest, LenByteCountsCodePageBytes) {
    EXPECT_EQ(v.LenByte("abc"), 3);
    EXPECT_EQ(v.LenByte("フォルダ"), 8);
    EXPECT_EQ(v.LenByte("ﾌｫﾙﾀﾞ"), 5);
}

TEST_F(VostrelTest, SearchPathFindsFilesAndFolders) {
    TempDir dir;
    testing::make_dirs(dir / "a.b.c");
    testing::write_file(dir / "file.tar.gz", "x");
    EXPECT_TRUE(v.Search_path(dir.path()));
    EXPECT_TRUE(v.Search_path(dir / "a.b.c"));
    EXPECT_TRUE(v.Search_path(dir / "file.tar.gz"));
    EXPECT_FALSE(v.Search_path(dir / "missing"));
    EXPECT_FALSE(v.Search_path(dir.path() + platform::kPathSeparator));  // empty name part
    EXPECT_THROW(v.Search_path("relative-name"), SystemError);
    EXPECT_THROW(v.Search_path(""), SystemError);
}

TEST_F(VostrelTest, IniFilesReadAndWriteLikeProfileFiles) {
    TempDir dir;
    const std::string ini = dir / "app.ini";
    EXPECT_EQ(v.IniRead("Main", "Key", ini), "error");  // no file
    EXPECT_TRUE(v.IniWrite("Main", "Key", "値 1", ini));
    EXPECT_TRUE(v.IniWrite("Main", "Other", "x", ini));
    EXPECT_TRUE(v.IniWrite("Second", "Key", "y", ini));
    EXPECT_TRUE(v.IniWrite("MAIN", "key", "changed", ini));
    EXPECT_EQ(v.IniRead("main", "KEY", ini), "changed");
    EXPECT_EQ(v.IniRead("Second", "Missing", ini), "error");
    EXPECT_EQ(testing::read_file(ini), "[Main]\r\nKey=changed\r\nOther=x\r\n[Second]\r\nKey=y\r\n");
    EXPECT_TRUE(v.IniWrite("Main", "Empty", "", ini));
    EXPECT_EQ(v.IniRead("Main", "Empty", ini), "error");
    // Japanese values are stored in code page 932.
    EXPECT_TRUE(v.IniWrite("Main", "Name", "表", ini));
    EXPECT_NE(testing::read_file(ini).find("Name=\x95\x5C"), std::string::npos);
    EXPECT_EQ(v.IniRead("Main", "Name", ini), "表");
    EXPECT_FALSE(v.IniWrite("Main", "Emoji", "\xF0\x9F\x98\x80", ini));
    EXPECT_FALSE(v.IniWrite("Main", "Key", "x", dir / "no/such/folder.ini"));
}

TEST_F(VostrelTest, ExitWindowsMapsTheThreeModesAndIgnoresOthers) {
    for (const int mode : {v.ExwLogOff, v.ExwShutdown, v.ExwReboot, 3, -1}) {
        v.ExitWindows(mode);
    }
    const std::vector<SessionRequest> expected{SessionRequest::kLogOff, SessionRequest::kPowerOff,
                                               SessionRequest::kReboot};
    EXPECT_EQ(ui.session_requests(), expected);
}

TEST(VostrelOsFields, FollowTheVersionTable) {
    struct Row {
        int major, minor, platform;
        const char *ver_id, *ver_name, *platform_name;
    };
    for (const Row& row : {Row{4, 90, 1, "4.90", "Me", "95"}, Row{4, 10, 1, "4.10", "98", "95"},
                           Row{4, 0, 1, "4.0", "95", "95"}, Row{4, 50, 1, "4.50", "", "95"},
                           Row{5, 1, 2, "5.1", "2000", "NT"}, Row{4, 0, 2, "4.0", "NT", "NT"},
                           Row{6, 1, 2, "6.1", "", "NT"}, Row{0, 0, 0, "0.0", "32s", "32s"},
                           Row{1, 0, 7, "1.0", "", ""}}) {
        const auto f = Vostrel::os_fields_for(row.major, row.minor, row.platform);
        EXPECT_EQ(f.ver_id, row.ver_id) << row.ver_id;
        EXPECT_EQ(f.platform_id, std::to_string(row.platform)) << row.ver_id;
        EXPECT_EQ(f.ver_name, row.ver_name) << row.ver_id;
        EXPECT_EQ(f.platform_name, row.platform_name) << row.ver_id;
    }
}

TEST_F(VostrelTest, ShellAndHelpFailuresNameTheFile) {
    TempDir dir;
    ui.set_shell_result(false);
    EXPECT_FALSE(v.Shell_Excute(0, "/x/history.txt"));
    EXPECT_FALSE(v.HtmlHelp_open(0, dir / "Tarvenix7.chm", v.HH_DISPLAY_TREE, 0));
    const std::vector<std::string> expected{
        "/x/history.txtが見つからないか、拡張子に\r関連付けられたアプリケーションが有りません！",
        "Help File = " + (dir / "Tarvenix7.chm") + " を開けませんでした！"};
    EXPECT_EQ(ui.box_texts(), expected);
    EXPECT_EQ(ui.events_of("box")[0].caption, "Error");
    EXPECT_EQ(ui.events_of("shell").size(), 1u);  // a missing help file is not handed over
    ui.set_shell_result(true);
    testing::write_file(dir / "Tarvenix7.chm", "ITSF");
    EXPECT_TRUE(v.HtmlHelp_open(0, dir / "Tarvenix7.chm", v.HH_DISPLAY_TREE, 0));
}

TEST_F(VostrelTest, TheTrayRecordIsAddedOnceThenModifiedAndRemoved) {
    EXPECT_FALSE(v.TrayModifyIcon(1, "x"));  // nothing added yet: the record is empty
    EXPECT_FALSE(v.TrayDelIcon());
    EXPECT_TRUE(ui.events().empty());
    EXPECT_TRUE(v.TrayAddIcon(5, 1, "左-Menu:右-Help"));
    EXPECT_FALSE(v.TrayAddIcon(5, 1, "again"));  // the same id is taken
    EXPECT_TRUE(v.TrayModifyIcon(2, std::string(70, 't')));
    EXPECT_TRUE(v.TrayDelIcon());
    EXPECT_FALSE(v.TrayDelIcon());
    const auto added = ui.events_of("tray+");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].text, "左-Menu:右-Help");
    EXPECT_EQ(added[0].style, 5);
    EXPECT_EQ(ui.events_of("tray~")[0].text, std::string(63, 't'));  // cut to the field
}

TEST_F(VostrelTest, WindowsAreFoundByTitleAndClosed) {
    const auto about = ui.add_window("TARVENIXのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(v.Find_Window("TARVENIXのﾊﾞｰｼﾞｮﾝ情報"), about);
    EXPECT_EQ(v.Find_Window("nothing"), 0);
    EXPECT_FALSE(v.AppClose("nothing"));
    EXPECT_TRUE(ui.events_of("close").empty());  // nothing sent
    EXPECT_TRUE(v.AppClose("TARVENIXのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(ui.events_of("close")[0].style, about);
    v.WindowTopMost(about);
    v.WindowTopMostRst(about);
    EXPECT_EQ(ui.events_of("topmost")[0].text, "on");
    EXPECT_EQ(ui.events_of("topmost")[1].text, "off");
}

TEST_F(VostrelTest, DialogsGiveThePathAndTheNameLength) {
    ui.pick_next_folder("/home/user/docs");
    EXPECT_EQ(v.FolderDialog(0), "/home/user/docs");
    EXPECT_EQ(v.FolderDialog(0), "");
    const std::string sep(1, platform::kPathSeparator);
    const std::string folder = "home" + sep + "user";
    const std::string file = folder + sep + "docs.d" + sep + "a.txt";
    ui.pick_next_file(file);
    EXPECT_EQ(v.OpenDialog(0, std::string("Text\0*.txt\0", 11), folder), file);
    EXPECT_EQ(v.OpenFileLen, 5);
    EXPECT_EQ(v.OpenDialog(0, "", ""), "");
    EXPECT_EQ(v.OpenFileLen, 0);
    ui.pick_next_file("/tmp/out.csv");
    EXPECT_EQ(v.SaveDialog(0, "", "/tmp", "out.csv"), "/tmp/out.csv");
    std::vector<std::string> captions;
    for (const auto& e : ui.events()) {
        captions.push_back(e.caption);
    }
    const std::vector<std::string> expected{"フォルダの選択", "フォルダの選択", "ファイルを開く",
                                            "ファイルを開く", "ファイルを保存する"};
    EXPECT_EQ(captions, expected);
}

}  // namespace
}  // namespace tarvenix
