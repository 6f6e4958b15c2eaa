// Faults injected for real: a program killed in the middle of a copy, power
// cuts, a full disk, files that change under the walk, very wide and deep
// trees, two programs backing up into one folder at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "common/platform.h"
#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

class FaultTest : public EngineHarness, public ::testing::Test {};

// The copying process dies with SIGKILL once 1 MiB of the new copy is written.
extern "C" void kill_self(int) {
    ::kill(::getpid(), SIGKILL);
}

TEST_F(FaultTest, AProgramKilledMidCopyLeavesTheOldCopyAndTheNextRunCleansUp) {
    const std::string old_copy(3 * 1024 * 1024, 'o');
    const std::string new_data(8 * 1024 * 1024, 'n');
    write_file(dst + "/big.bin", old_copy);
    write_file(src + "/big.bin", new_data);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, kill_self);
        const rlimit limit{1024 * 1024, 1024 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        run();
        ::_exit(0);  // not reached: the copy is killed
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    // The old copy is whole; the unfinished one is a hidden temporary file.
    EXPECT_EQ(read_file(dst + "/big.bin"), old_copy);
    EXPECT_EQ(temp_files_in(dst), 1);
    // The next run takes the leftover for what it is and removes it.
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/big.bin"), new_data);
    EXPECT_EQ(folder_entries(dst), std::vector<std::string>{"big.bin"});
}

TEST_F(FaultTest, ALargeFileServesTheUserWhileCopiedAndNeverGivesAShortCopy) {
    const std::string old_copy(1024 * 1024, 'o');
    for (const bool shrink : {false, true}) {  // the file shrinks, or the user clicks cancel
        ::unlink((program_folder + "/history.txt").c_str());
        use("0", shrink ? "1" : "0");
        write_file(dst + "/big", old_copy);
        write_file(src + "/big", std::string(48 * 1024 * 1024, 'n'));
        // A pump with no label changed since the one before is one the copy
        // itself made.
        int in_copy = 0;
        std::size_t labels = 0;
        ui.on_every_pump([&] {
            if (std::exchange(labels, progress.log.size()) != progress.log.size()) {
                return;
            }
            ++in_copy;
            if (shrink) {
                ::truncate((src + "/big").c_str(), 1024 * 1024);
            } else {
                engine.request_abort();
            }
        });
        EXPECT_EQ(run(), shrink ? RunOutcome::kCompleted : RunOutcome::kStopped) << shrink;
        EXPECT_EQ(in_copy, 1) << shrink;
        EXPECT_EQ(read_file(dst + "/big"), old_copy) << shrink;
        EXPECT_EQ(temp_files_in(dst), 0) << shrink;
        // The failed copy of the shrunk file is recorded in skip mode.
        EXPECT_EQ(history_entries().size(), shrink ? 3u : 2u) << shrink;
    }
}

// A power cut a few seconds after a file was replaced leaves the old or the
// new copy whole; one after a failed copy, before the flush, ends the run as
// stopped.
TEST_F(FaultTest, PowerCutsOnAnExt4DestinationLeaveWholeCopies) {
    ScopedExt4 fs(dir.path(), "noauto_da_alloc,commit=1");
    if (!fs.mounted()) {
        GTEST_SKIP() << fs.reason();
    }
    const std::string old_copy(256 * 1024, 'o');
    const std::string new_data(256 * 1024, 'n');
    write_file(fs.path() + "/a", old_copy);
    ::sync();
    write_file(src + "/a", new_data);
    put_file(src + "/z/b", "b");  // copied after a
    set(0, src, fs.path());
    bool cut = false;
    ui.on_every_pump([&] {
        if (!cut && !progress.files.empty() && progress.files.back() == "b") {
            ::sleep(3);  // the journal commits every second meanwhile
            cut = fs.cut_power();
        }
    });
    run();
    ASSERT_TRUE(cut);
    ASSERT_TRUE(fs.remount());
    const std::string after = read_file(fs.path() + "/a");
    EXPECT_TRUE(after == old_copy || after == new_data) << after.size() << " bytes";

    ui.on_every_pump({});
    ui.clear_events();
    // The source folder shown: the copy fails, then the flush.
    ui.at_pump(ui.pump_count() + 2, [&] { ASSERT_TRUE(fs.cut_power()); });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts().front().rfind("ファイルをコピーできません！", 0), 0u);
    EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");
}

// Two programs back up into one folder at once while a third holds an
// exclusive flock on one of its folders (like `flock D/d0 sleep 30`): no lock
// call waits, every copy is complete.
TEST_F(FaultTest, TwoProgramsBackingUpIntoOneFolderLeaveCompleteCopies) {
    const auto file = [](int i) { return "/d" + std::to_string(i % 5) + "/f" + std::to_string(i); };
    for (int i = 0; i < 30; ++i) {
        put_file(src + file(i), std::string(100'000 + 7'919 * static_cast<std::size_t>(i),
                                            static_cast<char>('a' + i)));
    }
    make_dirs(dst + "/d0");
    LockHolder other(dst + "/d0", LockKind::kFlock);
    ASSERT_TRUE(other.holding());
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        children.push_back(::fork());
        if (children.back() == 0) {
            ::alarm(60);  // a run waiting for the lock ends this program here
            for (int round = 0; round < 3; ++round) {
                if (run() != RunOutcome::kCompleted) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(read_file(dst + file(i)), read_file(src + file(i))) << file(i);
        EXPECT_EQ(temp_files_in(dst + "/d" + std::to_string(i % 5)), 0) << file(i);
    }
}

TEST_F(FaultTest, FilesThatChangeUnderTheWalk) {
    for (const char* name : {"/grows", "/shrinks", "/vanishes"}) {
        write_file(src + name, "0123456789");
    }
    use("1", "0");  // newer-only: the source is opened by the copy itself
    // Between showing a file and copying it, the user's programs act.
    ui.on_every_pump([&] {
        if (progress.log.empty() || progress.log.back().rfind("filesize=", 0) != 0) {
            return;
        }
        const std::string path = src + "/" + progress.files.back();
        if (progress.files.back() == "vanishes") {
            ::unlink(path.c_str());
        } else {
            write_file(path, progress.files.back() == "grows" ? "0123456789abcdef" : "0123");
        }
    });
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    // The copy takes each file as it is when the copy opens it; a vanished
    // file is simply not there to copy.
    EXPECT_EQ(read_file(dst + "/grows"), "0123456789abcdef");
    EXPECT_EQ(read_file(dst + "/shrinks"), "0123");
    EXPECT_FALSE(exists(dst + "/vanishes"));
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_EQ(temp_files_in(dst), 0);
}

TEST_F(FaultTest, AFullDiskWhileAppendingKeepsTheEarlierHistory) {
    ScopedTmpfs small(dir.path(), "8k");
    if (!small.mounted()) {
        GTEST_SKIP() << small.reason();
    }
    HistoryLog log(small.path() + "/history.txt", ui, ui, reporter);
    write_file(small.path() + "/history.txt", "2004/03/20 9:00:00 [Start] [Manual]\r\n");
    write_file(small.path() + "/filler", std::string(4096, 'f'));  // the disk is full now
    const std::string before = read_file(small.path() + "/history.txt");
    log.write_history(history_kind::kSkippedFile, run_trigger::kNone, "/" + std::string(5000, 'x'));
    EXPECT_EQ(read_file(small.path() + "/history.txt"), before);
    EXPECT_EQ(ui.events_of("box").size(), 1u);
    ::unlink((small.path() + "/filler").c_str());
    log.write_history(history_kind::kSuccess, run_trigger::kManual, "");
    const std::string after = read_file(small.path() + "/history.txt");
    EXPECT_EQ(after.rfind(before, 0), 0u);
    EXPECT_NE(after.find("\r\n2004/03/20 9:05:07 [Success] [Manual]\r\n"), std::string::npos);
}

TEST_F(FaultTest, AHundredThousandFilesAndSixtyLevelsWithBoundedMemory) {
    for (int i = 0; i < 320; ++i) {  // more folders on a level than a fixed table would hold
        put_file(src + "/w" + std::to_string(i) + "/f", "x");
    }
    make_dirs(src + "/wide");
    for (int i = 0; i < 100'000; ++i) {
        write_file(src + "/wide/" + std::to_string(i), "");
    }
    std::string deep;
    for (int level = 0; level < 60; ++level) {
        deep += "/d";
    }
    put_file(src + deep + "/leaf", "leaf");
    ASSERT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + deep + "/leaf"), "leaf");
    EXPECT_TRUE(exists(dst + "/wide/99999") && exists(dst + "/w319/f"));

    use("1", "0");
    const auto inode = [&] { return platform::status(dst + "/wide/12345", false)->inode; };
    const auto before = inode();
    ASSERT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(inode(), before);  // the unchanged re-run copied nothing

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    RecordProperty("peak_rss_kib", static_cast<int>(usage.ru_maxrss));
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024);  // far below what 100,000 paths could take
}

}  // namespace
}  // namespace tarvenix
