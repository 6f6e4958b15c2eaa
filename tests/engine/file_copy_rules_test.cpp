#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

class CopyRulesTest : public EngineHarness, public ::testing::Test {};

TEST_F(CopyRulesTest, TheCopyModeDecidesByModificationTimesToTheSecond) {
    const long long t = 1'100'000'000;
    const long long kNone = 1;  // no old copy
    struct Row {
        const char* name;
        long long dst_offset;  // the old copy's time relative to the source's
        bool newer_only_copies;
    };
    const Row rows[] = {
        {"equal", 0, false}, {"older", -1, true}, {"newer", 60, false}, {"missing", kNone, true}};
    for (const bool newer_only : {true, false}) {  // overwrite-all copies every file
        use(newer_only ? "1" : "0", "0");
        for (const Row& row : rows) {
            write_file(src + "/" + row.name, "new");
            set_mtime(src + "/" + row.name, t);
            ::unlink((dst + "/" + row.name).c_str());
            if (row.dst_offset != kNone) {
                write_file(dst + "/" + row.name, "old");
                set_mtime(dst + "/" + row.name, t + row.dst_offset);
            }
        }
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        for (const Row& row : rows) {
            const bool copied = row.newer_only_copies || !newer_only;
            EXPECT_EQ(read_file(dst + "/" + row.name), copied ? "new" : "old") << row.name;
            EXPECT_EQ(mtime_of(dst + "/" + row.name), copied ? t : t + row.dst_offset)
                << row.name;  // a copy keeps the source's time
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

// A destination the user may not write (root's own folder, run as nobody; it
// stands for a read-only one too) and a full one: copying anyway stops the run
// with a message, skip mode records the file and goes on; the old copy stays.
TEST_F(CopyRulesTest, ADestinationThatCannotTakeTheCopyKeepsTheOldOne) {
    ScopedTmpfs full(dir.path(), "512k");
    std::vector<std::string> folders{dst};
    if (full.mounted()) {
        folders.push_back(full.path());
    } else {
        std::printf("no full disk: %s\n", full.reason().c_str());
    }
    write_file(src + "/report.txt", std::string(2 * 1024 * 1024, 'n'));
    for (const auto& folder : folders) {
        write_file(folder + "/report.txt", "old");
    }
    if (!running_as_root()) {
        ::chmod(dst.c_str(), 0555);  // the set's own folder: the run never changes it
    }
    EXPECT_TRUE(as_nobody({src, full.path()}, [&] {
        for (const auto& folder : folders) {
            set(0, src, folder);
            for (const bool skip : {false, true}) {
                const std::string name = folder + (skip ? " skip" : " anyway");
                use("0", skip ? "1" : "0");
                ui.clear_events();
                ::unlink((program_folder + "/history.txt").c_str());
                EXPECT_EQ(engine.run_backup(run_trigger::kManual),
                          skip ? RunOutcome::kCompleted : RunOutcome::kStopped)
                    << name;
                // The boxes shown, then the history lines.
                auto told = ui.box_texts();
                for (const auto& line : history_entries()) {
                    told.push_back(line);
                }
                const std::string copy = folder + "/report.txt";
                EXPECT_EQ(
                    told,
                    (skip ? std::vector<std::string>{"[Start] [Manual]",
                                                     "[Skiped Copy File] = " + copy + " [?]",
                                                     "[Success] [Manual]"}
                          : std::vector<std::string>{"ファイルをコピーできません！\r\rコピー元 = " +
                                                         src + "/report.txt\rコピー先 = " + copy +
                                                         "\r\rファイルの属性やフォルダの権限等を確"
                                                         "認して下さい。",
                                                     "バックアップが中止されました！",
                                                     "[Start] [Manual]", "[Cancel] [Manual]"}))
                    << name;
                EXPECT_EQ(read_file(folder + "/report.txt"), "old") << name;
                EXPECT_EQ(temp_files_in(folder), 0) << name;
            }
        }
    }));
    ::chmod(dst.c_str(), 0755);
}

TEST_F(CopyRulesTest, AReadOnlyOldCopyIsReplacedInEveryMode) {
    // A read-only file put in place the way a copy is: written, then renamed.
    const auto put_read_only = [](const std::string& path, const std::string& text) {
        write_file(path + "~", text);
        ::chmod((path + "~").c_str(), 0444);
        ::rename((path + "~").c_str(), path.c_str());
    };
    EXPECT_TRUE(as_nobody({src, dst}, [&] {
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

}  // namespace
}  // namespace tarvenix
