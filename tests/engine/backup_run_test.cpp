#include <gtest/gtest.h>

#include "support/engine_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class BackupRunTest : public EngineHarness, public ::testing::Test {
protected:
    // Makes source and destination folders for set k holding one file.
    void make_set(int k) {
        const std::string src = dir / ("src" + std::to_string(k));
        const std::string dst = dir / ("dst" + std::to_string(k));
        make_dirs(src);
        make_dirs(dst);
        write_file(src + "/file" + std::to_string(k) + ".txt", "set " + std::to_string(k));
        set(k, src, dst);
    }
    bool copied(int k) {
        return exists(dir / ("dst" + std::to_string(k)) + "/file" + std::to_string(k) + ".txt");
    }
};

TEST_F(BackupRunTest, CopiesEverySetAndEndsWithSuccess) {
    for (int k = 0; k < kSetCount - 1; ++k) {
        make_set(k);
    }
    set(kSetCount - 1, dir / "anything", "");  // half configured: passed over silently
    settings.model.sets[0].src_folder = "/changed/in/memory/only";  // a run loads what is stored
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    for (int k = 0; k < kSetCount - 1; ++k) {
        EXPECT_TRUE(copied(k)) << k;
    }
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
    EXPECT_EQ(progress.log.front(), "show");
    EXPECT_EQ(progress.log.back(), "hide");
    EXPECT_EQ(ui.events_of("beep").size(), 1u);
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_FALSE(engine.running());
}

TEST_F(BackupRunTest, AllSetsSkippedAreRecordedOnlyWithHistoryOn) {
    for (int k = 0; k < kSetCount; ++k) {
        set(k, "/src/" + std::to_string(k), "/dst", true, true);
    }
    EXPECT_EQ(engine.run_backup(run_trigger::kProgramStart), RunOutcome::kCompleted);
    std::vector<std::string> expected{"[Start] [Prg open]"};
    for (int k = 0; k < kSetCount; ++k) {
        expected.push_back("[Skiped Setteing] = /src/" + std::to_string(k) + " [?]");
    }
    expected.push_back("[Success] [Prg open]");
    EXPECT_EQ(history_entries(), expected);
    EXPECT_EQ(progress.log, (std::vector<std::string>{"show", "hide"}));
    EXPECT_EQ(ui.events_of("beep").size(), 1u);

    ::unlink((program_folder + "/history.txt").c_str());
    options().record_history = "0";
    save_settings();
    EXPECT_EQ(engine.run_backup(run_trigger::kTimer), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries(), (std::vector<std::string>{"[Start] [Timer]"}));
}

TEST_F(BackupRunTest, AMissingFolderOfSetThreeStopsAfterSetsZeroToTwo) {
    for (int k = 0; k < kSetCount; ++k) {
        make_set(k);
    }
    const std::string missing = dir / "gone";
    set(3, missing, dir / "dst3");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kMissingFolder);
    EXPECT_TRUE(copied(0) && copied(1) && copied(2));
    for (int k = 4; k < kSetCount; ++k) {
        EXPECT_FALSE(copied(k)) << k;
    }
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"コピー元フォルダが見つかりません！\r" +
                                                       missing + "\rバックアップを中止します！"});
    EXPECT_EQ(history_entries(), (std::vector<std::string>{"[Start] [Manual]", "[Fail] [Manual]"}));
    EXPECT_EQ(progress.log.back(), "hide");
    EXPECT_TRUE(ui.events_of("beep").size() == 1u);  // the box's own beep, no end-of-run beep
    EXPECT_EQ(ui.events_of("beep")[0].style, 48);

    ui.clear_events();
    set(3, dir / "src3", missing);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kMissingFolder);
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"コピー先フォルダが見つかりません！\r" +
                                                       missing + "\rバックアップを中止します！"});
}

TEST_F(BackupRunTest, CancelDuringSetZeroStopsTheRunAndTheNextRunStartsNormally) {
    make_set(0);
    make_set(1);
    write_file(dir / "src0/second.txt", "2");
    // Pump 1: after showing the folders; 2: the source folder shown; 3: the
    // first file shown. The click is seen there, the file is still copied.
    ui.at_pump(3, [&] { engine.request_abort(); });
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    EXPECT_EQ(progress.files.size(), 1u);
    EXPECT_FALSE(copied(1));
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"バックアップが中止されました！"});
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Cancel] [Manual]"}));
    EXPECT_EQ(progress.log.back(), "hide");

    ui.clear_events();
    engine.request_abort();  // a click that comes just as the run has ended
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_TRUE(copied(1));
    EXPECT_TRUE(ui.box_texts().empty());
}

TEST_F(BackupRunTest, ACompletedTimedRunShutsDownWhenAskedTo) {
    make_set(0);
    options().shutdown_after = {false, true, false};
    save_settings();
    engine.timer_slot = 2;
    EXPECT_EQ(engine.run_backup(run_trigger::kTimer), RunOutcome::kCompleted);
    EXPECT_EQ(ui.session_requests(), std::vector<SessionRequest>{SessionRequest::kPowerOff});
    EXPECT_EQ(engine.timer_slot, 0);
    // The request comes after the beep and the hidden dialog.
    EXPECT_EQ(ui.events().back().kind, "session");
    EXPECT_EQ(progress.log.back(), "hide");

    // Start time 1 has no shut-down: nothing requested.
    engine.timer_slot = 1;
    engine.run_backup(run_trigger::kTimer);
    EXPECT_EQ(ui.session_requests().size(), 1u);
}

TEST_F(BackupRunTest, AStoppedTimedRunAndAManualRunNeverShutDown) {
    make_set(0);
    options().shutdown_after = {true, true, true};
    save_settings();
    engine.timer_slot = 1;
    ui.at_pump(1, [&] { engine.request_abort(); });
    EXPECT_EQ(engine.run_backup(run_trigger::kTimer), RunOutcome::kStopped);
    EXPECT_EQ(engine.timer_slot, 0);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_TRUE(ui.session_requests().empty());
}

TEST_F(BackupRunTest, ATriggerDuringARunIsRefused) {
    make_set(0);
    make_set(1);
    std::vector<RunOutcome> inner;
    ui.at_pump(3, [&] {
        // The scheduler, the manual button or the close request firing while
        // the run serves events.
        inner.push_back(engine.run_backup(run_trigger::kTimer));
        inner.push_back(engine.run_backup(run_trigger::kManual));
    });
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(inner, (std::vector<RunOutcome>{RunOutcome::kRefused, RunOutcome::kRefused}));
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
    EXPECT_EQ(std::count(progress.log.begin(), progress.log.end(), "show"), 1);
}

TEST_F(BackupRunTest, ARelativeFolderEndsTheRunWithASystemError) {
    make_set(0);
    set(1, "relative-folder", dir / "dst1");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kSystemError);
    EXPECT_TRUE(copied(0));
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "システムエラー");
    EXPECT_EQ(history_entries(), (std::vector<std::string>{"[Start] [Manual]"}));
    EXPECT_FALSE(progress.visible());
    EXPECT_TRUE(ui.events_of("beep").empty());
}

TEST_F(BackupRunTest, SettingsThatFailToLoadEndTheRunBeforeAnyCopy) {
    make_set(0);
    std::string bytes = read_file(program_folder + "/system.dat");
    bytes.replace(6 * 160, 4, "oops");  // record 7 is no boolean
    write_file(program_folder + "/system.dat", bytes);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kSystemError);
    EXPECT_FALSE(copied(0));
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(ui.events_of("box").size(), 1u);
}

TEST(FormatKbytes, RoundsToThousandsWithGroupSeparators) {
    EXPECT_EQ(format_kbytes(0), "");
    EXPECT_EQ(format_kbytes(499), "");
    EXPECT_EQ(format_kbytes(500), "1");
    EXPECT_EQ(format_kbytes(1'234'567), "1,235");
    EXPECT_EQ(format_kbytes(999'999'499), "999,999");
    EXPECT_EQ(format_kbytes(1'234'567'890'123), "1,234,567,890");
}

}  // namespace
}  // namespace tarvenix
