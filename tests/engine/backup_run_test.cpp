#include <gtest/gtest.h>

#include "support/engine_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

class BackupRunTest : public EngineHarness, public ::testing::Test {
protected:
    void make_set(int k) {
        const std::string k_text = std::to_string(k);
        make_dirs(dir / ("dst" + k_text));
        put_file(dir / ("src" + k_text + "/file.txt"), "set " + k_text);
        set(k, dir / ("src" + k_text), dir / ("dst" + k_text));
    }
    bool copied(int k) { return exists(dir / ("dst" + std::to_string(k) + "/file.txt")); }
};

TEST_F(BackupRunTest, CopiesEverySetOrStopsAtAMissingFolderOfSetThree) {
    for (int k = 0; k < kSetCount - 1; ++k) {
        make_set(k);
    }
    set(kSetCount - 1, dir / "anything", "");  // half configured: passed over silently
    settings.model.sets[0].src_folder = "/changed/in/memory/only";  // a run loads what is stored
    std::vector<RunOutcome> inner;
    ui.at_pump(3, [&] {
        // The scheduler or the manual button firing while the run serves events.
        inner.push_back(run(run_trigger::kTimer));
        inner.push_back(run(run_trigger::kManual));
    });
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(inner, (std::vector<RunOutcome>{RunOutcome::kRefused, RunOutcome::kRefused}));
    for (int k = 0; k < kSetCount - 1; ++k) {
        EXPECT_TRUE(copied(k)) << k;
        ::unlink((dir / ("dst" + std::to_string(k) + "/file.txt")).c_str());
    }
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
    EXPECT_EQ(progress.log.back(), "hide");
    EXPECT_EQ(ui.events_of("beep").size(), 1u);
    EXPECT_TRUE(ui.box_texts().empty());

    const std::string missing = dir / "gone";
    for (const bool source : {true, false}) {
        use("0", "0");
        source ? set(3, missing, dir / "dst3") : set(3, dir / "src3", missing);
        EXPECT_EQ(run(), RunOutcome::kMissingFolder) << source;
        for (int k = 0; k < kSetCount; ++k) {
            EXPECT_EQ(copied(k), k < 3) << k;
        }
        EXPECT_EQ(ui.box_texts(),
                  std::vector<std::string>{(source ? "コピー元" : "コピー先") +
                                           std::string("フォルダが見つかりません！\r") + missing +
                                           "\rバックアップを中止します！"})
            << source;
        EXPECT_EQ(history_entries(),
                  (std::vector<std::string>{"[Start] [Manual]", "[Fail] [Manual]"}))
            << source;
        EXPECT_EQ(progress.log.back(), "hide") << source;
        EXPECT_EQ(ui.events_of("beep").size(), 1u);  // the box's own beep, no end-of-run beep
    }
}

TEST_F(BackupRunTest, AllSetsSkippedAreRecordedOnlyWithHistoryOn) {
    std::vector<std::string> expected{"[Start] [Prg open]"};
    for (int k = 0; k < kSetCount; ++k) {
        set(k, "/src/" + std::to_string(k), "/dst", true, true);
        expected.push_back("[Skiped Setteing] = /src/" + std::to_string(k) + " [?]");
    }
    expected.push_back("[Success] [Prg open]");
    EXPECT_EQ(run(run_trigger::kProgramStart), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries(), expected);
    EXPECT_EQ(progress.log, (std::vector<std::string>{"show", "hide"}));

    options().record_history = "0";
    use("0", "0");
    EXPECT_EQ(run(run_trigger::kTimer), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries(), (std::vector<std::string>{"[Start] [Timer]"}));
}

// A stop ends the run before the next set; a click that comes just as a run
// has ended does not reach the next run. The engine never shuts down itself:
// its caller decides from the outcome (the scheduler's tests).
TEST_F(BackupRunTest, CancelStopsTheRunAndTheNextRunStartsNormally) {
    make_set(0);
    make_set(1);
    write_file(dir / "src0/second.txt", "2");
    options().shutdown_after = {true, true, true};
    save_settings();
    // Pump 1: after showing the folders; 2: the source folder shown; 3: the
    // first file shown. The click is seen there, the file is still copied.
    ui.at_pump(3, [&] { engine.request_abort(); });
    EXPECT_EQ(run(run_trigger::kTimer), RunOutcome::kStopped);
    EXPECT_EQ(progress.files.size(), 1u);
    EXPECT_FALSE(copied(1));
    EXPECT_EQ(ui.box_texts(), std::vector<std::string>{"バックアップが中止されました！"});
    EXPECT_EQ(history_entries(), (std::vector<std::string>{"[Start] [Timer]", "[Cancel] [Timer]"}));
    EXPECT_EQ(progress.log.back(), "hide");

    ui.clear_events();
    engine.request_abort();  // a click that comes just as the run has ended
    EXPECT_EQ(run(run_trigger::kTimer), RunOutcome::kCompleted);
    EXPECT_TRUE(copied(1));
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_TRUE(ui.session_requests().empty());
}

TEST_F(BackupRunTest, ASettingsFileThatNoLongerLoadsEndsTheRunBeforeAnyCopy) {
    write_file(src + "/a", "a");
    std::string bytes = read_file(program_folder + "/system.dat");
    write_file(program_folder + "/system.dat", bytes.replace(6 * 160, 4, "oops"));  // record 7
    EXPECT_EQ(run(), RunOutcome::kSystemError);
    EXPECT_FALSE(exists(dst + "/a"));
    EXPECT_FALSE(progress.visible());
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "システムエラー");
}

}  // namespace
}  // namespace tarvenix
