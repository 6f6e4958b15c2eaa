#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/platform.h"
#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

class CopyRulesTest : public OneSetHarness, public ::testing::Test {};

TEST_F(CopyRulesTest, TheCopyModeDecidesByModificationTimesToTheSecond) {
    const long long t = 1'100'000'000;
    struct Row {
        const char* name;
        const char* copy_mode;
        long long dst_offset;  // the old copy's time relative to the source's; 1: no old copy
        bool copied;
    };
    const Row rows[] = {
        {"newer-only equal", "1", 0, false},   {"newer-only older", "1", -1, true},
        {"newer-only newer", "1", 60, false},  {"newer-only missing", "1", 1, true},
        {"overwrite-all equal", "0", 0, true}, {"overwrite-all newer", "0", 100, true},
    };
    for (const char* mode : {"1", "0"}) {
        use(mode, "0");
        for (const Row& row : rows) {
            if (row.copy_mode == std::string(mode)) {
                write_file(src + "/" + row.name, "new");
                set_mtime(src + "/" + row.name, t);
                if (row.dst_offset != 1) {
                    write_file(dst + "/" + row.name, "old");
                    set_mtime(dst + "/" + row.name, t + row.dst_offset);
                }
            }
        }
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        for (const Row& row : rows) {
            if (row.copy_mode == std::string(mode)) {
                EXPECT_EQ(read_file(dst + "/" + row.name), row.copied ? "new" : "old") << row.name;
                EXPECT_EQ(mtime_of(dst + "/" + row.name), row.copied ? t : t + row.dst_offset)
                    << row.name;  // a copy keeps the source's time
            }
        }
    }
    EXPECT_EQ(history_entries().size(), 4u);  // nothing recorded for passed-over files
}

TEST_F(CopyRulesTest, ALockedFileIsRecordedInSkipModeAndCopiedOtherwise) {
    options().record_history = "0";  // the skipped-file line is written regardless
    write_file(src + "/locked.db", "data");
    write_file(src + "/free.txt", "free");
    for (const char* skip : {"1", "0"}) {
        use("0", skip);
        for (LockKind kind : {LockKind::kFlock, LockKind::kPosixRecord, LockKind::kOfdRecord}) {
            const std::string name =
                std::string("skip=") + skip + " lock " + std::to_string(static_cast<int>(kind));
            ::unlink((dst + "/locked.db").c_str());
            ::unlink((program_folder + "/history.txt").c_str());
            LockHolder holder(src + "/locked.db", kind);
            ASSERT_TRUE(holder.holding()) << name;
            EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted) << name;
            EXPECT_EQ(exists(dst + "/locked.db"), *skip == '0') << name;
            EXPECT_EQ(read_file(dst + "/free.txt"), "free") << name;
            std::vector<std::string> expected{"[Start] [Manual]"};
            if (*skip == '1') {
                expected.push_back("[Skiped Copy File] = " + dst + "/locked.db [?]");
            }
            EXPECT_EQ(history_entries(), expected) << name;
            EXPECT_TRUE(ui.box_texts().empty()) << name;
        }
    }
}

TEST_F(CopyRulesTest, ADestinationTheUserMayNotWriteStopsACopyAnywayRun) {
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
    for (const char* skip : {"0", "1"}) {  // stops with a message; goes on and succeeds
        use("0", skip);
        ui.clear_events();
        EXPECT_EQ(engine.run_backup(run_trigger::kManual),
                  *skip == '0' ? RunOutcome::kStopped : RunOutcome::kCompleted)
            << skip;
        EXPECT_EQ(ui.box_texts().size(), *skip == '0' ? 2u : 0u) << skip;
        EXPECT_EQ(read_file(small.path() + "/big.bin"), old_copy) << skip;
        EXPECT_EQ(temp_files_in(small.path()), 0) << skip;
    }
    EXPECT_EQ(history_entries().back(), "[Success] [Manual]");
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
