// Faults injected for real: a program killed in the middle of a copy, full
// and read-only file systems, files that change under the walk, very wide and
// deep trees, two programs backing up into one folder at once.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "common/platform.h"
#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

std::string pattern(std::size_t size, char salt) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(salt)) % 251);
    }
    return s;
}

class FaultTest : public OneSetHarness, public ::testing::Test {};

// The copying process dies with SIGKILL once 1 MiB of the new copy is written.
extern "C" void kill_self(int) {
    ::kill(::getpid(), SIGKILL);
}

TEST_F(FaultTest, AProgramKilledMidCopyLeavesTheOldCopyAndTheNextRunCleansUp) {
    const std::string old_copy = pattern(3 * 1024 * 1024, 'o');
    const std::string new_data = pattern(8 * 1024 * 1024, 'n');
    write_file(dst + "/big.bin", old_copy);
    write_file(src + "/big.bin", new_data);

    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, kill_self);
        const rlimit limit{1024 * 1024, 1024 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        engine.run_backup(run_trigger::kManual);
        ::_exit(0);  // not reached: the copy is killed
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    // The old copy is whole; the unfinished one is a hidden temporary file.
    EXPECT_EQ(read_file(dst + "/big.bin"), old_copy);
    EXPECT_EQ(temp_files_in(dst), 1);

    // The next run takes the leftover for what it is and removes it.
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/big.bin"), new_data);
    EXPECT_EQ(folder_entries(dst), std::vector<std::string>{"big.bin"});
}

TEST_F(FaultTest, ALargeFileServesTheUserWhileCopiedAndNeverGivesAShortCopy) {
    const std::string old_copy = pattern(1024 * 1024, 'o');
    struct Row {
        const char* skip_open_files;
        bool shrink;  // else: the user clicks the cancel button
        RunOutcome outcome;
        std::size_t history_lines;
    };
    for (const Row row :
         {Row{"0", false, RunOutcome::kStopped, 2}, Row{"1", true, RunOutcome::kCompleted, 3}}) {
        ::unlink((program_folder + "/history.txt").c_str());
        options().skip_open_files = row.skip_open_files;
        save_settings();
        write_file(dst + "/big", old_copy);
        write_file(src + "/big", pattern(48 * 1024 * 1024, 'n'));
        // A pump with no label changed since the one before is one the copy
        // itself made.
        int in_copy = 0;
        std::size_t labels = 0;
        ui.on_every_pump([&] {
            if (std::exchange(labels, progress.log.size()) != progress.log.size()) {
                return;
            }
            ++in_copy;
            if (row.shrink) {
                ::truncate((src + "/big").c_str(), 1024 * 1024);
            } else {
                engine.request_abort();
            }
        });
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), row.outcome) << row.skip_open_files;
        EXPECT_EQ(in_copy, 1) << row.skip_open_files;
        EXPECT_EQ(read_file(dst + "/big"), old_copy) << row.skip_open_files;
        EXPECT_EQ(temp_files_in(dst), 0) << row.skip_open_files;
        EXPECT_EQ(history_entries().size(), row.history_lines) << row.skip_open_files;
    }
}

TEST_F(FaultTest, AFolderLockedByAnotherProgramIsCopiedIntoWithoutWaiting) {
    write_file(src + "/a", "a");
    LockHolder other(dst, LockKind::kFlock);  // like `flock DST sleep 30`
    ASSERT_TRUE(other.holding());
    ::alarm(20);  // a run waiting for the lock ends the test program here
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    ::alarm(0);
    EXPECT_EQ(read_file(dst + "/a"), "a");
}

TEST_F(FaultTest, APowerCutAfterAReplaceLeavesTheOldOrTheNewCopyWhole) {
    ScopedExt4 fs(dir.path(), "noauto_da_alloc,commit=1");
    if (!fs.mounted()) {
        GTEST_SKIP() << fs.reason();
    }
    const std::string backup = fs.path() + "/D";
    const std::string old_copy = pattern(256 * 1024, 'o');
    const std::string new_data = pattern(256 * 1024, 'n');
    make_dirs(backup);
    write_file(backup + "/a", old_copy);
    ::sync();
    write_file(src + "/a", new_data);
    make_dirs(src + "/z");
    write_file(src + "/z/b", "b");  // copied after a
    set(0, src, backup);
    bool cut = false;
    ui.on_every_pump([&] {
        if (!cut && !progress.files.empty() && progress.files.back() == "b") {
            ::sleep(3);  // the journal commits every second meanwhile
            cut = fs.cut_power();
        }
    });
    engine.run_backup(run_trigger::kManual);
    ASSERT_TRUE(cut);
    ASSERT_TRUE(fs.remount());
    const std::string after = read_file(backup + "/a");
    EXPECT_TRUE(after == old_copy || after == new_data) << after.size() << " bytes";
}

TEST_F(FaultTest, ACopyFailureFollowedByAFailedFlushEndsAsStopped) {
    ScopedExt4 fs(dir.path(), "commit=1");
    if (!fs.mounted()) {
        GTEST_SKIP() << fs.reason();
    }
    write_file(src + "/a", "a");
    set(0, src, fs.path());
    ui.at_pump(2, [&] { ASSERT_TRUE(fs.cut_power()); });  // the source folder shown
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts().front().rfind("ファイルをコピーできません！", 0), 0u);
    EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");
}

TEST_F(FaultTest, TwoProgramsBackingUpIntoOneFolderLeaveCompleteCopies) {
    for (int i = 0; i < 30; ++i) {
        make_dirs(src + "/d" + std::to_string(i % 5));
        write_file(src + "/d" + std::to_string(i % 5) + "/f" + std::to_string(i),
                   pattern(static_cast<std::size_t>(100'000 + i * 7'919), static_cast<char>(i)));
    }
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (int round = 0; round < 3; ++round) {
                if (engine.run_backup(run_trigger::kManual) != RunOutcome::kCompleted) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 30; ++i) {
        const std::string rel = "/d" + std::to_string(i % 5) + "/f" + std::to_string(i);
        EXPECT_EQ(read_file(dst + rel), read_file(src + rel)) << rel;
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(temp_files_in(dst + "/d" + std::to_string(i)), 0);
    }
}

TEST_F(FaultTest, FilesThatChangeUnderTheWalk) {
    write_file(src + "/grows", "0123456789");
    write_file(src + "/shrinks", "0123456789");
    write_file(src + "/vanishes", "0123456789");
    options().copy_mode = "1";  // newer-only: the source is opened by the copy itself
    save_settings();
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
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    // The copy takes each file as it is when the copy opens it; a vanished
    // file is simply not there to copy.
    EXPECT_EQ(read_file(dst + "/grows"), "0123456789abcdef");
    EXPECT_EQ(read_file(dst + "/shrinks"), "0123");
    EXPECT_FALSE(exists(dst + "/vanishes"));
    EXPECT_TRUE(ui.box_texts().empty());
    EXPECT_EQ(temp_files_in(dst), 0);
}

TEST_F(FaultTest, AReadOnlyDestinationWritesNothing) {
    write_file(src + "/a.txt", "new");
    write_file(dst + "/a.txt", "old");
    if (running_as_root()) {
        if (::mount(dst.c_str(), dst.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, dst.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) !=
                0) {
            GTEST_SKIP() << "read-only bind mount not allowed: " << std::strerror(errno);
        }
    } else {
        ::chmod(dst.c_str(), 0555);
    }
    const RunOutcome anyway = engine.run_backup(run_trigger::kManual);
    options().skip_open_files = "1";
    save_settings();
    const RunOutcome skip = engine.run_backup(run_trigger::kManual);
    if (running_as_root()) {
        ::umount2(dst.c_str(), MNT_DETACH);
    } else {
        ::chmod(dst.c_str(), 0755);
    }
    EXPECT_EQ(anyway, RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts().front().rfind("ファイルをコピーできません！", 0), 0u);
    EXPECT_EQ(skip, RunOutcome::kCompleted);
    EXPECT_EQ(history_entries().back(), "[Success] [Manual]");
    EXPECT_EQ(read_file(dst + "/a.txt"), "old");
    EXPECT_EQ(folder_entries(dst), std::vector<std::string>{"a.txt"});
}

TEST_F(FaultTest, AFullDiskWhileAppendingKeepsTheEarlierHistory) {
    ScopedTmpfs small(dir.path(), "8k");
    if (!small.mounted()) {
        GTEST_SKIP() << small.reason();
    }
    ScriptedUi local_ui;
    SystemErrorReporter local_reporter(local_ui);
    HistoryLog log(small.path() + "/history.txt", local_ui, local_ui, local_reporter);
    write_file(small.path() + "/history.txt", "2004/03/20 9:00:00 [Start] [Manual]\r\n");
    write_file(small.path() + "/filler", std::string(4096, 'f'));  // the disk is full now
    const std::string before = read_file(small.path() + "/history.txt");
    log.write_history(history_kind::kSkippedFile, run_trigger::kNone, "/" + std::string(5000, 'x'));
    EXPECT_EQ(read_file(small.path() + "/history.txt"), before);
    EXPECT_EQ(local_ui.events_of("box").size(), 1u);
    ::unlink((small.path() + "/filler").c_str());
    log.write_history(history_kind::kSuccess, run_trigger::kManual, "");
    const std::string after = read_file(small.path() + "/history.txt");
    EXPECT_EQ(after.rfind(before, 0), 0u);
    EXPECT_NE(after.find("\r\n2004/03/20 9:05:07 [Success] [Manual]\r\n"), std::string::npos);
}

TEST_F(FaultTest, AHundredThousandFilesAndSixtyLevelsWithBoundedMemory) {
    for (int i = 0; i < 320; ++i) {  // more folders on a level than a fixed table would hold
        make_dirs(src + "/w" + std::to_string(i));
        write_file(src + "/w" + std::to_string(i) + "/f", "x");
    }
    const std::string wide = src + "/wide";
    make_dirs(wide);
    for (int i = 0; i < 100'000; ++i) {
        const int fd = ::open((wide + "/" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    std::string deep = src;
    for (int level = 0; level < 60; ++level) {
        deep += "/d";
    }
    make_dirs(deep);
    write_file(deep + "/leaf", "leaf");
    ASSERT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + deep.substr(src.size()) + "/leaf"), "leaf");
    EXPECT_TRUE(exists(dst + "/wide/99999"));
    EXPECT_TRUE(exists(dst + "/w319/f"));

    options().copy_mode = "1";
    save_settings();
    struct stat before {};
    ::stat((dst + "/wide/12345").c_str(), &before);
    ASSERT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    struct stat after {};
    ::stat((dst + "/wide/12345").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);  // the unchanged re-run copied nothing

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    RecordProperty("peak_rss_kib", static_cast<int>(usage.ru_maxrss));
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024);  // far below what 100,000 paths could take
}

}  // namespace
}  // namespace tarvenix
