#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/platform.h"
#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

class CopyRulesTest : public EngineHarness, public ::testing::Test {
protected:
    CopyRulesTest() {
        make_dirs(src);
        make_dirs(dst);
        set(0, src, dst);
    }
    void use(const char* copy_mode, const char* skip_open_files) {
        options().copy_mode = copy_mode;
        options().skip_open_files = skip_open_files;
        save_settings();
    }
    std::string src = dir / "S";
    std::string dst = dir / "D";
};

TEST_F(CopyRulesTest, NewerOnlyComparesModificationTimesToTheSecond) {
    use("1", "0");
    const long long t = 1'100'000'000;
    for (const char* name : {"equal", "older", "newer", "missing"}) {
        write_file(src + "/" + name, std::string("new ") + name);
        set_mtime(src + "/" + name, t);
    }
    write_file(dst + "/equal", "old");
    set_mtime(dst + "/equal", t);
    write_file(dst + "/older", "old");  // the destination is older: copy
    set_mtime(dst + "/older", t - 1);
    write_file(dst + "/newer", "old");  // the destination is newer: keep
    set_mtime(dst + "/newer", t + 60);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/equal"), "old");
    EXPECT_EQ(read_file(dst + "/older"), "new older");
    EXPECT_EQ(read_file(dst + "/newer"), "old");
    EXPECT_EQ(read_file(dst + "/missing"), "new missing");
    EXPECT_EQ(history_entries().size(), 2u);  // nothing recorded for passed-over files
}

TEST_F(CopyRulesTest, ASecondNewerOnlyRunCopiesNothing) {
    use("1", "0");
    make_dirs(src + "/sub");
    write_file(src + "/a", "a");
    write_file(src + "/sub/b", "b");
    ASSERT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    struct stat before {};
    ::stat((dst + "/sub/b").c_str(), &before);
    ASSERT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    struct stat after {};
    ::stat((dst + "/sub/b").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);  // not replaced
}

TEST_F(CopyRulesTest, OverwriteAllCopiesEvenIdenticalFiles) {
    use("0", "0");
    write_file(src + "/same", "x");
    set_mtime(src + "/same", 1'000'000'000);
    write_file(dst + "/same", "x");
    set_mtime(dst + "/same", 1'000'000'100);
    struct stat before {};
    ::stat((dst + "/same").c_str(), &before);
    ASSERT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(mtime_of(dst + "/same"), 1'000'000'000);
}

TEST_F(CopyRulesTest, SkipModeRecordsALockedFileAndTheRunSucceeds) {
    use("0", "1");
    options().record_history = "0";  // the skipped-file line is written regardless
    save_settings();
    write_file(src + "/locked.db", "data");
    write_file(src + "/free.txt", "free");
    for (LockKind kind : {LockKind::kFlock, LockKind::kPosixRecord, LockKind::kOfdRecord}) {
        ::unlink((dst + "/locked.db").c_str());
        ::unlink((program_folder + "/history.txt").c_str());
        LockHolder holder(src + "/locked.db", kind);
        ASSERT_TRUE(holder.holding());
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        EXPECT_FALSE(exists(dst + "/locked.db"));
        EXPECT_EQ(read_file(dst + "/free.txt"), "free");
        EXPECT_EQ(history_entries(),
                  (std::vector<std::string>{"[Start] [Manual]",
                                            "[Skiped Copy File] = " + dst + "/locked.db [?]"}))
            << static_cast<int>(kind);
        EXPECT_TRUE(ui.box_texts().empty());
    }
}

TEST_F(CopyRulesTest, CopyAnywayModeCopiesALockedFile) {
    use("0", "0");
    write_file(src + "/locked.db", "data");
    LockHolder holder(src + "/locked.db", LockKind::kPosixRecord);
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/locked.db"), "data");
}

TEST_F(CopyRulesTest, ADestinationTheUserMayNotWriteStopsACopyAnywayRun) {
    use("0", "0");
    write_file(src + "/report.txt", "new");
    write_file(dst + "/report.txt", "old");
    share_with_nobody({src});  // dst stays root's own 0755 folder
    if (!running_as_root()) {
        ::chmod(dst.c_str(), 0555);  // the set's own folder: the run never changes it
    }
    EXPECT_TRUE(run_unprivileged([&] {
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
        EXPECT_EQ(ui.box_texts(),
                  (std::vector<std::string>{
                      "ファイルをコピーできません！\r\rコピー元 = " + src +
                          "/report.txt\rコピー先 = " + dst +
                          "/report.txt\r\rファイルの属性やフォルダの権限等を確認して下さい。",
                      "バックアップが中止されました！"}));
        EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");
        EXPECT_EQ(read_file(dst + "/report.txt"), "old");
    }));
    ::chmod(dst.c_str(), 0755);
}

TEST_F(CopyRulesTest, AReadOnlyOldCopyIsReplacedInEveryMode) {
    share_with_nobody({src, dst});
    // A read-only file put in place the way a copy is: written, then renamed.
    const auto put_read_only = [](const std::string& path, const std::string& text) {
        write_file(path + "~", text);
        ::chmod((path + "~").c_str(), 0444);
        ::rename((path + "~").c_str(), path.c_str());
    };
    EXPECT_TRUE(run_unprivileged([&] {
        for (const char* skip : {"0", "1"}) {
            use("0", skip);
            put_read_only(dst + "/frozen", "old");
            put_read_only(src + "/frozen", std::string("new ") + skip);
            EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted) << skip;
            EXPECT_EQ(read_file(dst + "/frozen"), std::string("new ") + skip) << skip;
            EXPECT_EQ(mode_of(dst + "/frozen"), 0444u) << skip;
        }
        EXPECT_EQ(history_entries().size(), 4u);  // no skipped-file line
    }));
}

TEST_F(CopyRulesTest, AFullDestinationKeepsTheOldCopy) {
    ScopedTmpfs small(dir.path(), "512k");
    if (!small.mounted()) {
        GTEST_SKIP() << small.reason();
    }
    set(0, src, small.path());
    const std::string old_copy(200 * 1024, 'o');
    write_file(small.path() + "/big.bin", old_copy);
    write_file(src + "/big.bin", std::string(2 * 1024 * 1024, 'n'));

    use("0", "0");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts().size(), 2u);
    EXPECT_EQ(read_file(small.path() + "/big.bin"), old_copy);
    EXPECT_EQ(temp_files_in(small.path()), 0);

    use("0", "1");
    ui.clear_events();
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries().back(), "[Success] [Manual]");
    EXPECT_EQ(read_file(small.path() + "/big.bin"), old_copy);
    EXPECT_EQ(temp_files_in(small.path()), 0);
}

TEST_F(CopyRulesTest, AnOptionValueThatIsNoNumberIsASystemErrorThatStopsTheRun) {
    use("0", "x");
    write_file(src + "/a", "a");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "システムエラー");
    EXPECT_EQ(boxes[1].text, "バックアップが中止されました！");
}

}  // namespace
}  // namespace tarvenix
