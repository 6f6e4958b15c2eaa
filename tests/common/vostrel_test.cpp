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

TEST_F(VostrelTest, ConstructionFillsTheConstants) {
    EXPECT_EQ(v.AppVersion, "7.00");
    EXPECT_EQ(Vostrel::make_version_text(7, 1, 12), "7.112");
    EXPECT_EQ(v.KindErr, "err");
    EXPECT_EQ(v.KindChk, "chk");
    EXPECT_EQ(v.KindInfo, "info");
    EXPECT_EQ(v.KindOkc, "okc");
    EXPECT_EQ(v.KindYn, "yn");
    EXPECT_EQ(v.KindYnc, "ync");
    EXPECT_EQ(v.KindRc, "rc");
    EXPECT_EQ(v.WaitStartTime, "");
    EXPECT_EQ(v.WaitFinishTime, "");
    EXPECT_EQ(v.MB_Syserr, 16);
    EXPECT_EQ(v.MB_Question, 32);
    EXPECT_EQ(v.MB_Warning, 48);
    EXPECT_EQ(v.MB_Info, 64);
    EXPECT_EQ(v.ExwLogOff, 0);
    EXPECT_EQ(v.ExwShutdown, 1);
    EXPECT_EQ(v.ExwReboot, 2);
    EXPECT_EQ(v.OpenFileLen, 0);
    EXPECT_EQ(v.WM_MOUSEMOVE, 0x200);
    EXPECT_EQ(v.WM_LBUTTONDOWN, 0x201);
    EXPECT_EQ(v.WM_LBUTTONUP, 0x202);
    EXPECT_EQ(v.WM_LBUTTONDBLCLK, 0x203);
    EXPECT_EQ(v.WM_RBUTTONDOWN, 0x204);
    EXPECT_EQ(v.WM_RBUTTONUP, 0x205);
    EXPECT_EQ(v.WM_RBUTTONDBLCLK, 0x206);
    EXPECT_FLOAT_EQ(v.HH_DISPLAY_TREE, 1.0F);
    EXPECT_FLOAT_EQ(v.HH_DISPLAY_CONTEXT, 15.0F);
    EXPECT_FLOAT_EQ(v.HH_DISPLAY_INDEX, 2.0F);
    // On Linux: the privileged multi-user family, named by the kernel version.
    EXPECT_EQ(v.OSPlatformID, "2");
    EXPECT_EQ(v.OSPlatformName, "NT");
    EXPECT_NE(v.OSVerID.find('.'), std::string::npos);
}

TEST_F(VostrelTest, EachKindBeepsThenShowsItsBox) {
    struct Row {
        const char* kind;
        std::int32_t beep;
        const char* caption;
        std::int32_t style;
    };
    const Row rows[] = {{"err", 48, "Error", 16}, {"chk", 32, "確認", 32}, {"info", 64, "情報", 64},
                        {"okc", 32, "確認", 33},  {"yn", 32, "確認", 36},  {"ync", 32, "確認", 35},
                        {"rc", 32, "再試行", 37}};
    for (const Row& row : rows) {
        ui.clear_events();
        ui.answer_next(button::kCancel);
        EXPECT_EQ(v.Msg_Box(row.kind, "本文"), button::kCancel) << row.kind;
        const std::vector<UiEvent> expected{{"beep", "", "", row.beep},
                                            {"box", row.caption, "本文", row.style}};
        EXPECT_EQ(ui.events(), expected) << row.kind;
    }
}

TEST_F(VostrelTest, UnknownOrMiscasedKindShowsNothing) {
    EXPECT_EQ(v.Msg_Box("ERR", "x"), 0);
    EXPECT_EQ(v.Msg_Box("", "x"), 0);
    EXPECT_EQ(v.Msg_Box("error", "x"), 0);
    EXPECT_TRUE(ui.events().empty());
}

TEST_F(VostrelTest, AnEmptyPromptStillBeepsAndShows) {
    ui.answer_next(button::kRetry);
    EXPECT_EQ(v.Msg_Box(v.KindRc, ""), button::kRetry);
    ASSERT_EQ(ui.events().size(), 2u);
    EXPECT_EQ(ui.events()[1].text, "");
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
    ui.set_time(base + 3.2);
    EXPECT_EQ(v.GetTime(), "09:05:03");
    ui.set_time(base + 3.5);
    EXPECT_EQ(v.GetTime(), "09:05:04");
    ui.set_time(base + 4.5);  // a half goes to the even second
    EXPECT_EQ(v.GetTime(), "09:05:04");
    ui.set_time(23 * 3600 + 59 * 60 + 59.6);
    EXPECT_EQ(v.GetTime(), "24:00:00");
    ui.set_time(0.2);
    EXPECT_EQ(v.GetTime(), "00:00:00");
}

TEST_F(VostrelTest, WaitEndsAtTheRoundedStartPlusTheDuration) {
    ui.set_time(10 * 3600 + 10.4);
    const double mono_before = ui.monotonic_seconds();
    v.Wait(2.0F);
    // From hh:mm:10.4 the wait ends when the clock reaches hh:mm:12.0.
    EXPECT_NEAR(ui.monotonic_seconds() - mono_before, 1.6, 0.011);
    EXPECT_EQ(v.WaitStartTime, "10:00:10");
    EXPECT_EQ(v.WaitFinishTime, "10:00:12");
    EXPECT_GT(ui.pump_count(), 0);  // the user interface was served meanwhile
}

TEST_F(VostrelTest, WaitAcrossMidnightStillEnds) {
    ui.set_time(86399.0);
    const double mono_before = ui.monotonic_seconds();
    v.Wait(2.0F);
    EXPECT_NEAR(ui.monotonic_seconds() - mono_before, 2.0, 0.011);
    EXPECT_EQ(v.WaitStartTime, "23:59:59");
    EXPECT_EQ(v.WaitFinishTime, "00:00:01");
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
    EXPECT_EQ(v.IniRead("Main", "Other", ini), "x");
    EXPECT_EQ(v.IniRead("Second", "Key", ini), "y");
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
    v.ExitWindows(v.ExwLogOff);
    v.ExitWindows(v.ExwShutdown);
    v.ExitWindows(v.ExwReboot);
    v.ExitWindows(3);
    v.ExitWindows(-1);
    const std::vector<SessionRequest> expected{SessionRequest::kLogOff, SessionRequest::kPowerOff,
                                               SessionRequest::kReboot};
    EXPECT_EQ(ui.session_requests(), expected);
}

TEST(VostrelOsFields, FollowTheVersionTable) {
    auto f = Vostrel::os_fields_for(4, 90, 1);
    EXPECT_EQ(f.ver_id, "4.90");
    EXPECT_EQ(f.ver_name, "Me");
    EXPECT_EQ(f.platform_name, "95");
    f = Vostrel::os_fields_for(4, 10, 1);
    EXPECT_EQ(f.ver_name, "98");
    EXPECT_EQ(Vostrel::os_fields_for(4, 0, 1).ver_name, "95");
    EXPECT_EQ(Vostrel::os_fields_for(4, 50, 1).ver_name, "");
    EXPECT_EQ(Vostrel::os_fields_for(5, 1, 2).ver_name, "2000");
    EXPECT_EQ(Vostrel::os_fields_for(4, 0, 2).ver_name, "NT");
    EXPECT_EQ(Vostrel::os_fields_for(6, 1, 2).ver_name, "");
    f = Vostrel::os_fields_for(0, 0, 0);
    EXPECT_EQ(f.ver_id, "0.0");
    EXPECT_EQ(f.platform_id, "0");
    EXPECT_EQ(f.ver_name, "32s");
    EXPECT_EQ(f.platform_name, "32s");
    EXPECT_EQ(Vostrel::os_fields_for(1, 0, 7).platform_name, "");
}

TEST_F(VostrelTest, ShellFailureNamesTheFile) {
    ui.set_shell_result(false);
    EXPECT_FALSE(v.Shell_Excute(0, "/x/history.txt"));
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(
        boxes[0].text,
        "/x/history.txtが見つからないか、拡張子に\r関連付けられたアプリケーションが有りません！");
}

TEST_F(VostrelTest, HelpThatCannotBeOpenedIsReportedWithItsPath) {
    TempDir dir;
    EXPECT_FALSE(v.HtmlHelp_open(0, dir / "Tarvenix7.chm", v.HH_DISPLAY_TREE, 0));
    ASSERT_EQ(ui.box_texts().size(), 1u);
    EXPECT_EQ(ui.box_texts()[0],
              "Help File = " + (dir / "Tarvenix7.chm") + " を開けませんでした！");
    EXPECT_TRUE(ui.events_of("shell").empty());  // a missing file is not handed to the desktop
    testing::write_file(dir / "Tarvenix7.chm", "ITSF");
    EXPECT_TRUE(v.HtmlHelp_open(0, dir / "Tarvenix7.chm", v.HH_DISPLAY_TREE, 0));
}

TEST_F(VostrelTest, FolderDialogAsksWithItsTitle) {
    ui.pick_next_folder("/home/user/docs");
    EXPECT_EQ(v.FolderDialog(0), "/home/user/docs");
    EXPECT_EQ(v.FolderDialog(0), "");
    ASSERT_EQ(ui.events_of("folder").size(), 2u);
    EXPECT_EQ(ui.events_of("folder")[0].caption, "フォルダの選択");
}

}  // namespace
}  // namespace tarvenix

namespace tarvenix {
namespace {

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
    EXPECT_EQ(Vostrel::tray_tip_field("0123456789"), "0123456789");
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

TEST_F(VostrelTest, FileDialogsGiveThePathAndTheNameLength) {
    const std::string folder = std::string("home") + platform::kPathSeparator + "user";
    const std::string file =
        folder + platform::kPathSeparator + "docs.d" + platform::kPathSeparator + "a.txt";
    ui.pick_next_file(file);
    EXPECT_EQ(v.OpenDialog(0, std::string("Text\0*.txt\0", 11), folder), file);
    EXPECT_EQ(v.OpenFileLen, 5);
    EXPECT_EQ(v.OpenDialog(0, "", ""), "");
    EXPECT_EQ(v.OpenFileLen, 0);
    EXPECT_EQ(ui.events_of("file")[0].caption, "ファイルを開く");
    ui.pick_next_file("/tmp/out.csv");
    EXPECT_EQ(v.SaveDialog(0, "", "/tmp", "out.csv"), "/tmp/out.csv");
    EXPECT_EQ(ui.events_of("file")[2].caption, "ファイルを保存する");
}

}  // namespace
}  // namespace tarvenix
