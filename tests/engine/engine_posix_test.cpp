// Backup runs on Linux over real folders: what the walk copies and how, and
// faults injected for real (kills, power cuts, full disks, concurrent programs).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "common/platform/clock.h"
#include "common/platform/files.h"
#include "common/platform/process.h"
#include "history/history_log.h"
#include "support/engine_harness.h"
#include "support/os_helpers.h"

namespace tarvenix {
namespace {

using namespace testing;

std::string link_text(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string("(not a link)") : std::string(buf, static_cast<std::size_t>(n));
}

class FolderWalkTest : public EngineHarness, public ::testing::Test {};

// Set 1 copies no sub-folders, into a folder inside its own source, and a
// sparse file larger than 4 GiB.
TEST_F(FolderWalkTest, CopiesLevelByLevelOrOnlyTheTopLevelAndNeverIntoItself) {
    const std::string flat = dir / "flat";
    make_dirs(flat + "/sub/deeper");
    make_dirs(flat + "/backup");
    set(1, flat, flat + "/backup", false);
    const long long size = 5LL * 1024 * 1024 * 1024;
    const long long marks[] = {0, 3LL * 1024 * 1024 * 1024, size - 1};
    int fd = ::open((flat + "/disk.img").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    for (const long long at : marks) {
        ASSERT_EQ(::pwrite(fd, "M", 1, at), 1);
    }
    ::close(fd);
    make_dirs(src + "/Empty");
    ::chmod((src + "/Empty").c_str(), 0700);  // a private folder stays private
    for (const auto& file : {src + "/a", src + "/X/b", src + "/Y/c", src + "/X/Z/d", flat + "/top",
                             flat + "/sub/inner"}) {
        put_file(file, file);
    }
    EXPECT_EQ(run(), RunOutcome::kCompleted);

    // Level 0 first, then level 1 in the order its folders were found, then 2.
    const auto top = folder_entries(src);
    const bool x_first = std::ranges::find(top, "X") < std::ranges::find(top, "Y");
    EXPECT_EQ(std::vector<std::string>(progress.files.begin(), progress.files.begin() + 4),
              (std::vector<std::string>{"a", x_first ? "b" : "c", x_first ? "c" : "b", "d"}));
    EXPECT_EQ(read_file(dst + "/X/Z/d"), src + "/X/Z/d");
    EXPECT_EQ(read_file(dst + "/Y/c"), src + "/Y/c");
    EXPECT_EQ(mode_of(dst + "/Empty"), 0700u);  // empty folders are reproduced
    auto flat_copy = folder_entries(flat + "/backup");
    std::ranges::sort(flat_copy);
    EXPECT_EQ(flat_copy, (std::vector<std::string>{"disk.img", "sub", "top"}));
    EXPECT_TRUE(folder_entries(flat + "/backup/sub").empty());  // made, and left empty
    fd = ::open((flat + "/backup/disk.img").c_str(), O_RDONLY);
    for (const long long at : {marks[0], marks[1], marks[2], 1000LL}) {
        char c = 'x';
        EXPECT_EQ(::pread(fd, &c, 1, at), 1) << at;
        EXPECT_EQ(c, at == 1000 ? '\0' : 'M') << at;
    }
    ::close(fd);
    const auto copy = platform::status(flat + "/backup/disk.img", false);
    EXPECT_EQ(copy->size, static_cast<std::uint64_t>(size));
    EXPECT_LT(copy->allocated, 1024u * 1024u);  // the holes stayed holes
}

TEST_F(FolderWalkTest, OddNamesAreCopiedFaithfullyHiddenAndSpecialEntriesNot) {
    const std::string odd =
        "café-\xF0\x9F\x98\x80/raw\xFF\xFE";  // outside the code page, not UTF-8
    put_file(src + "/" + odd, "bytes");
    for (const char* hidden : {"/.hidden", "/..two-dots", "/.hiddendir/inside"}) {
        put_file(src + hidden, "h");
    }
    write_file(src + "/plain.txt", "p");
    ASSERT_EQ(::mknod((src + "/fifo").c_str(), S_IFIFO | 0600, 0), 0);  // opening it would wait
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    auto copied = folder_entries(dst);
    std::ranges::sort(copied);
    EXPECT_EQ(copied, (std::vector<std::string>{"café-\xF0\x9F\x98\x80", "plain.txt"}));
    EXPECT_EQ(read_file(dst + "/" + odd), "bytes");
}

// What stands where a copy goes is examined by its own status, a link never
// followed: newer-only mode keeps an old copy as new as the source's entry or
// newer, to the second; overwrite-all mode replaces it. Each row three times
// over, so the folder is large enough for the old copies to be read ahead.
TEST_F(FolderWalkTest, OldCopiesAreComparedByTheirOwnStatusLinksNeverFollowed) {
    const long long t = 1'100'000'000;
    const std::string victim = dir / "victim";
    const std::string outside = dir / "outside";
    write_file(victim, "keep");
    set_mtime(victim, t + 3600);
    make_dirs(outside);
    // A source entry and the old copy: a link (its text) or a file (nullptr),
    // or no old copy (time 0).
    const struct {
        const char* name;
        const char* src_link;
        const char* dst_link;
        long long src_time, dst_time;
    } rows[] = {
        {"file-equal", nullptr, nullptr, t, t},
        {"file-older", nullptr, nullptr, t, t - 1},
        {"file-newer", nullptr, nullptr, t, t + 60},
        {"to-newer", nullptr, victim.c_str(), t, t - 60},
        {"link-older", "text-b", "kept", t, t + 60},
        {"link-newer", "text-c", "old", t + 60, t},
        {"link-over-file", "text-d", nullptr, t + 60, t},
        {"link-to-a-folder", outside.c_str(), nullptr, t, 0},
        {"loop", src.c_str(), nullptr, t, 0},
    };
    const auto put = [](const std::string& path, const char* link, long long time) {
        if (link != nullptr) {
            ASSERT_EQ(::symlink(link, path.c_str()), 0);
        } else {
            write_file(path, path.find("/S/") != std::string::npos ? "new" : "old");
        }
        const timespec times[2] = {{time, 0}, {time, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    };
    const std::string copies[] = {"", "-2", "-3"};
    for (const auto& row : rows) {
        for (const std::string& copy : copies) {
            put(src + "/" + row.name + copy, row.src_link, row.src_time);
        }
    }
    // A link planted where a destination folder belongs fails that folder's
    // files instead of leading them elsewhere.
    put_file(src + "/sub/file", "new");
    ASSERT_EQ(::symlink(dir.path().c_str(), (dst + "/sub").c_str()), 0);
    for (const bool newer_only : {true, false}) {
        use(newer_only ? "1" : "0", "1");  // skip mode: a failed copy is recorded, the run goes on
        for (const auto& row : rows) {
            for (const std::string& copy : copies) {
                ::unlink((dst + "/" + row.name + copy).c_str());
                if (row.dst_time != 0) {
                    put(dst + "/" + row.name + copy, row.dst_link, row.dst_time);
                }
            }
        }
        EXPECT_EQ(run(), RunOutcome::kCompleted);
        EXPECT_EQ(history_entries(),
                  (std::vector<std::string>{"[Start] [Manual]",
                                            "[Skiped Copy File] = " + dst + "/sub/file [?]",
                                            "[Success] [Manual]"}));
        for (const auto& row : rows) {
            for (const std::string& copy : copies) {
                const bool kept = newer_only && row.dst_time >= row.src_time;
                const char* link = kept ? row.dst_link : row.src_link;
                const std::string path = dst + "/" + row.name + copy;
                const std::string name = path + (newer_only ? " newer-only" : "");
                EXPECT_EQ(link_text(path), link != nullptr ? link : "(not a link)") << name;
                EXPECT_EQ(platform::status(path, false)->mtime_sec,
                          kept ? row.dst_time : row.src_time)
                    << name;
                if (link == nullptr) {
                    EXPECT_EQ(read_file(path), kept ? "old" : "new") << name;
                }
            }
        }
    }
    EXPECT_EQ(read_file(victim), "keep");
    EXPECT_TRUE(folder_entries(outside).empty());
    EXPECT_FALSE(exists(dir / "file"));
}

// As the user nobody: a read-only source folder gives a read-only copy that
// later runs still fill, in every mode, replacing the read-only copy of a
// read-only file; an unreadable source folder is recorded, the rest copied.
TEST_F(FolderWalkTest, ReadOnlySourcesGiveReadOnlyCopiesAnUnreadableFolderIsRecorded) {
    put_file(src + "/locked/secret.txt", "s");
    ::chmod((src + "/locked").c_str(), 0);
    make_dirs(src + "/ro");
    if (running_as_root()) {
        ASSERT_EQ(::chown((src + "/ro").c_str(), 65534, 65534), 0);  // nobody changes it below
    }
    EXPECT_TRUE(run_unprivileged({src, dst, src + "/ro"}, [&] {
        // Read-only, again (over the read-only copy of run 1), then writable.
        for (const auto& [mode, skip] : {std::pair{0555u, "0"}, {0555u, "1"}, {0755u, "0"}}) {
            const std::string text = "run " + std::to_string(progress.files.size());
            ::chmod((src + "/ro").c_str(), 0755);
            write_file(src + "/ro/a~", text);  // put in place the way a copy is
            ::chmod((src + "/ro/a~").c_str(), 0444);
            ::rename((src + "/ro/a~").c_str(), (src + "/ro/a").c_str());
            ::chmod((src + "/ro").c_str(), mode);
            use("0", skip);
            EXPECT_EQ(run(), RunOutcome::kCompleted) << text;
            EXPECT_EQ(read_file(dst + "/ro/a"), text);
            EXPECT_EQ(mode_of(dst + "/ro/a"), 0444u) << text;
            EXPECT_EQ(mode_of(dst + "/ro"), mode) << text;
            EXPECT_EQ(history_entries(),
                      (std::vector<std::string>{"[Start] [Manual]",
                                                "[Skiped Copy File] = " + dst + "/locked [?]",
                                                "[Success] [Manual]"}))
                << text;
        }
    }));
}

TEST_F(FolderWalkTest, PathsUpTo254BytesAreCopiedLongerOnesStopTheRun) {
    // "テスト" is 6 bytes in the code page, 9 in UTF-8: the path ends at the limit.
    const std::string name = std::string(254 - src.size() - 7, 'a') + "テスト";
    write_file(src + "/" + name, "ok");
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_TRUE(exists(dst + "/" + name));
    ::unlink((src + "/" + name).c_str());
    const std::string over = src + "/b" + name;  // 255 bytes
    for (const bool folder : {false, true}) {
        folder ? make_dirs(over) : write_file(over, "too long");
        ui.clear_events();
        EXPECT_EQ(run(), RunOutcome::kStopped) << folder;
        EXPECT_EQ(ui.box_texts(),
                  (std::vector<std::string>{
                      (folder ? "フォルダの長さが長すぎます！"
                              : "フォルダ+ファイルの長さが長すぎます！") +
                          std::string("\rフルパスで255文字以内にして下さい\r\r") + over,
                      "バックアップが中止されました！"}))
            << folder;
        EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]") << folder;
        EXPECT_FALSE(exists(dst + "/b" + name)) << folder;
        ::remove(over.c_str());
    }
}

class CopyRulesTest : public EngineHarness, public ::testing::Test {};

TEST_F(CopyRulesTest, ALockedFileIsRecordedInSkipModeAndCopiedOtherwise) {
    options().record_history = false;  // the skipped-file line is written regardless
    write_file(src + "/locked.db", "data");
    write_file(src + "/free.txt", "free");
    for (const bool skip : {true, false}) {
        for (LockKind kind : {LockKind::kFlock, LockKind::kPosixRecord, LockKind::kOfdRecord}) {
            const std::string name = std::string(skip ? "skip" : "anyway") + " lock " +
                                     std::to_string(static_cast<int>(kind));
            use("0", skip ? "1" : "0");
            ::unlink((dst + "/locked.db").c_str());
            LockHolder holder(src + "/locked.db", kind);
            ASSERT_TRUE(holder.holding()) << name;
            EXPECT_EQ(run(), RunOutcome::kCompleted) << name;
            EXPECT_EQ(exists(dst + "/locked.db"), !skip) << name;
            EXPECT_EQ(read_file(dst + "/free.txt"), "free") << name;
            EXPECT_EQ(history_entries().size(), skip ? 2u : 1u) << name;
            EXPECT_EQ(history_entries().back(),
                      skip ? "[Skiped Copy File] = " + dst + "/locked.db [?]" : "[Start] [Manual]")
                << name;
            EXPECT_TRUE(ui.box_texts().empty()) << name;
        }
    }
}

// Destinations that cannot take the copy (root's folder as nobody, a read-only
// and a full file system): copying anyway stops the run with a message, skip
// mode records the file and goes on; the old copy stays.
TEST_F(CopyRulesTest, ADestinationThatCannotTakeTheCopyKeepsTheOldOne) {
    ScopedTmpfs full(dir.path(), "512k");
    const std::string read_only = dir / "read-only";
    std::vector<std::string> folders{dst, read_only};
    if (full.mounted()) {
        folders.push_back(full.path());
    }
    write_file(src + "/report.txt", std::string(2 * 1024 * 1024, 'n'));
    for (const auto& folder : folders) {
        make_dirs(folder);
        ::chmod(folder.c_str(), folder == dst ? 0755 : 0777);
        write_file(folder + "/report.txt", "old");
    }
    const char* ro = read_only.c_str();
    const bool bound = ::mount(ro, ro, nullptr, MS_BIND, nullptr) == 0;
    if (!bound || ::mount(nullptr, ro, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        ::chmod(ro, 0555);  // without root: a folder the user may not write
    }
    if (!running_as_root()) {
        ::chmod(dst.c_str(), 0555);  // the set's own folder: the run never changes it
    }
    EXPECT_TRUE(run_unprivileged({src, full.path()}, [&] {
        for (const auto& folder : folders) {
            set(0, src, folder);
            for (const bool skip : {false, true}) {
                const std::string name = folder + (skip ? " skip" : " anyway");
                use("0", skip ? "1" : "0");
                EXPECT_EQ(run(), skip ? RunOutcome::kCompleted : RunOutcome::kStopped) << name;
                auto told = ui.box_texts();
                const auto lines = history_entries();
                told.insert(told.end(), lines.begin(), lines.end());
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
    if (bound) {
        ::umount2(ro, MNT_DETACH);
    }
    if (!full.mounted()) {
        GTEST_SKIP() << "the rest passed; the full disk was not tried: " << full.reason();
    }
}

// Names that fold together, names FAT cannot hold, times in 2 s steps, on each
// medium (with how many of the odd names it refuses; all but the last fold
// case): every name is copied or named in the history, one box at most, and
// an unchanged tree is not copied again (with the source files locked, skip
// mode records each copy tried).
// Runs `check` on each medium, in a harness of its own, then skips naming the
// media that could not be mounted here and why.
template <class Check>
void on_each_medium(std::initializer_list<Medium> media, const Check& check) {
    std::string not_tried;
    for (const Medium medium : media) {
        EngineHarness h;
        ScopedMedium fs(h.dir.path(), medium);
        SCOPED_TRACE(static_cast<int>(medium));
        fs.mounted() ? check(medium, h, fs) : void(not_tried += "\n" + fs.reason());
    }
    if (!not_tried.empty()) {
        GTEST_SKIP() << "not every medium was tried:" << not_tried;
    }
}

TEST(MediaTest, EveryNameIsCopiedOrNamedAndUnchangedFilesAreNotCopiedAgain) {
    on_each_medium(
        {Medium::kFat32, Medium::kExfat, Medium::kNtfs, Medium::kTwoSecondTimes},
        [](Medium medium, EngineHarness& h, ScopedMedium& fs) {
            const int refused = medium == Medium::kNtfs             ? 8
                                : medium == Medium::kTwoSecondTimes ? 0
                                                                    : 7;
            const std::string d = fs.path();
            h.set(0, h.src, d);
            std::vector<std::string> files{"t0",    "t1",    "t2",        "t3",       "t4",  "t5",
                                           "t6",    "t7",    "t8",        "t9",       "a:b", "q?",
                                           "s*",    "d\"q",  "l<",        "g>",       "p|",  "dot.",
                                           "a.txt", "A.txt", "Dir/x.txt", "dir/x.txt"};
            for (std::size_t k = 0; k < files.size(); ++k) {
                put_file(h.src + "/" + files[k], files[k]);
                set_mtime(h.src + "/" + files[k], 1'100'000'000 + static_cast<long long>(k));
            }
            const auto top = folder_entries(h.src);
            const bool folds = medium != Medium::kTwoSecondTimes,
                       lower_first =
                           std::ranges::find(top, "a.txt") < std::ranges::find(top, "A.txt"),
                       dir_first = std::ranges::find(top, "dir") < std::ranges::find(top, "Dir");
            std::vector<std::string> expected(files.begin() + 10, files.begin() + 10 + refused);
            if (folds) {
                expected.insert(expected.end(), {lower_first ? "A.txt" : "a.txt",
                                                 dir_first ? "Dir/x.txt" : "dir/x.txt"});
            }
            for (auto& line : expected) {
                line = "[Skiped Copy File] = " + d + "/" + line + " [?]";
            }
            expected.push_back("[Start] [Manual]");
            std::ranges::sort(expected);  // "[St" comes after "[Sk"
            expected.push_back("[Success] [Manual]");
            // Skip mode; newer-only with all but t3 locked, t3 (base + 3 s) unchanged,
            // then 3 s newer (on FAT32, where fusefat keeps no time, newer than now).
            for (const char* mode : {"0", "1", "1"}) {
                h.use(mode, "1");
                std::vector<int> locks;
                for (const auto& name : files) {
                    struct flock lock {};
                    lock.l_type = F_WRLCK;
                    locks.push_back(::open((h.src + "/" + name).c_str(), O_RDWR));
                    if (*mode == '1' && name != "t3") {
                        ::fcntl(locks.back(), F_OFD_SETLK, &lock);
                    }
                }
                EXPECT_EQ(h.run(), RunOutcome::kCompleted);
                std::ranges::for_each(locks, ::close);
                auto lines = h.history_entries();
                std::sort(lines.begin(), lines.end() - 1);
                EXPECT_EQ(lines, expected) << mode;
                EXPECT_EQ(read_file(d + "/dir/x.txt"),
                          folds && !dir_first ? "Dir/x.txt" : "dir/x.txt");
                EXPECT_EQ(read_file(d + "/t3"), read_file(h.src + "/t3"));
                write_file(h.src + "/t3", "t3 changed");
                set_mtime(h.src + "/t3",
                          medium == Medium::kFat32 ? ::time(nullptr) + 60 : 1'100'000'006);
            }
            h.use("0", "0");  // copying anyway: the first failure gives the one box
            EXPECT_EQ(h.run(), folds ? RunOutcome::kStopped : RunOutcome::kCompleted);
            EXPECT_EQ(std::ranges::count_if(h.ui.box_texts(),
                                            [](auto& t) { return t.starts_with("ファイルを"); }),
                      folds ? 1 : 0);
        });
}

// Twins that only some case tables pair (title case, letters older tables
// lack, the full folding's "ß" and "ss", the Kelvin sign, an up-case table's
// "ı" and "I"), on each medium that ignores case: after a run, each file is
// either in the destination or named in the history, never both.
TEST(MediaTest, EveryCaseTwinIsCopiedOrNamed) {
    on_each_medium({Medium::kFat32, Medium::kExfat, Medium::kNtfs}, [](Medium, EngineHarness& h,
                                                                       ScopedMedium& fs) {
        h.set(0, h.src, fs.path());
        h.use("0", "1");
        const std::vector<std::string> names{"Ɓ", "ɓ", "Ƈ", "ƈ",      "Ə", "ə", "Ǆ", "ǅ", "ǆ", "ǳ",
                                             "Ǳ", "Ǵ", "ǵ", "ӏ",      "Ӏ", "ⱡ", "Ⱡ", "ß", "ẞ", "ss",
                                             "σ", "ς", "Σ", "\u212A", "k", "ı", "I", "ᾈ", "ᾀ"};
        for (const auto& n : names) {
            put_file(h.src + "/" + n + ".txt", n);
        }
        EXPECT_EQ(h.run(), RunOutcome::kCompleted);
        const auto lines = h.history_entries();
        for (const auto& n : names) {
            const std::string copy = fs.path() + "/" + n + ".txt";
            const auto line = "[Skiped Copy File] = " + HistoryLog::escape_controls(copy) + " [?]";
            EXPECT_NE(exists(copy) && read_file(copy) == n, std::ranges::count(lines, line) == 1)
                << n;
        }
    });
}

class FaultTest : public EngineHarness, public ::testing::Test {};

// The copying process dies once 1 MiB of the new copy is written: the kernel
// ends it in the write past its file size limit, with no handler in between
// (ThreadSanitizer would put a handler off until the copy had cleaned up).
TEST_F(FaultTest, AProgramKilledMidCopyLeavesTheOldCopyAndTheNextRunCleansUp) {
    const std::string old_copy(3 * 1024 * 1024, 'o');
    const std::string new_data(8 * 1024 * 1024, 'n');
    write_file(dst + "/big.bin", old_copy);
    write_file(src + "/big.bin", new_data);
    const auto copy_past_the_limit = [&] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit no_core{0, 0}, limit{1024 * 1024, 1024 * 1024};
        ::setrlimit(RLIMIT_CORE, &no_core);  // no core file left in the working folder
        ::setrlimit(RLIMIT_FSIZE, &limit);
        run();
    };
    EXPECT_EXIT(copy_past_the_limit(), ::testing::KilledBySignal(SIGXFSZ), "");
    // The old copy is whole; the unfinished one is a hidden temporary file.
    EXPECT_EQ(read_file(dst + "/big.bin"), old_copy);
    EXPECT_EQ(temp_files_in(dst), 1);
    // The next run removes it, though its file is renamed since, and the
    // exact forms older versions left (a random name; a folder's probe),
    // but none of the user's files that merely look alike.
    ::rename((src + "/big.bin").c_str(), (src + "/renamed.bin").c_str());
    write_file(dst + "/.tarvenix-tmp-a1b2c3d4e5", "an older version's");
    write_file(dst + "/.tarvenix-tmp-0q9z8y7x6w-Ab.txt", "an older version's probe");
    const std::vector<std::string> users = {".tarvenix-kept",
                                            ".tarvenix-tmp-my-notes.txt",
                                            ".tarvenix-tmp-0123456789abcdef.txt",
                                            ".tarvenix-tmp-0123456789ABCDEF",
                                            ".tarvenix-tmp-a1b2c3d4e5f",
                                            ".tarvenix-tmp-a1b2c3d4e5-"};
    for (const auto& name : users) {
        write_file(dst + "/" + name, "the user's");
    }
    // Staging folders a share's copies were made in: a dead run's goes with
    // its files; one another program still holds, and one holding a file
    // of the user's, stay.
    const std::string dead = "/.tarvenix-tmp-00000000000000aa";
    const std::string held = "/.tarvenix-tmp-00000000000000bb";
    const std::string mixed = "/.tarvenix-tmp-00000000000000cc";
    for (const auto& folder : {dead, held, mixed}) {
        put_file(dst + folder + "/.tarvenix-tmp-1111111111111111", "staged");
    }
    write_file(dst + mixed + "/notes.txt", "the user's");
    const LockHolder copier(dst + held, LockKind::kFlock);
    ASSERT_TRUE(copier.holding());
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/renamed.bin"), new_data);
    const auto left = folder_entries(dst);
    for (const auto& name : users) {
        EXPECT_TRUE(std::ranges::find(left, name) != left.end()) << name;
    }
    EXPECT_EQ(left.size(), 4 + users.size());  // and big.bin, held, mixed
    EXPECT_FALSE(exists(dst + dead));
    EXPECT_EQ(temp_files_in(dst + held), 1);
    EXPECT_EQ(folder_entries(dst + mixed), std::vector<std::string>{"notes.txt"});
}

// The large file shrinks, or the user clicks cancel, during its copy.
TEST_F(FaultTest, ALargeFileServesTheUserWhileCopiedAndNeverGivesAShortCopy) {
    const std::string old_copy(1024 * 1024, 'o');
    for (const bool shrink : {false, true}) {
        use("0", shrink ? "1" : "0");
        write_file(dst + "/big", old_copy);
        write_file(src + "/big", std::string(48 * 1024 * 1024, 'n'));
        // A pump with no label changed since the last one is served while
        // the copy runs; the first of them acts.
        int in_copy = 0;
        std::size_t labels = 0;
        ui.on_every_pump([&] {
            if (std::exchange(labels, progress.log.size()) != progress.log.size() ||
                in_copy++ > 0) {
                return;
            }
            if (shrink) {
                ::truncate((src + "/big").c_str(), 1024 * 1024);
            } else {
                engine.request_abort();
            }
        });
        EXPECT_EQ(run(), shrink ? RunOutcome::kCompleted : RunOutcome::kStopped) << shrink;
        EXPECT_GE(in_copy, 1) << shrink;
        EXPECT_EQ(read_file(dst + "/big"), old_copy) << shrink;
        EXPECT_EQ(temp_files_in(dst), 0) << shrink;
        EXPECT_EQ(history_entries().size(), shrink ? 3u : 2u) << shrink;
    }
    // Entries that turn into a folder and a link after their folder was
    // listed are copied as what they are now, never passed over in silence.
    ::unlink((src + "/big").c_str());
    for (const char* name : {"/turns/f0", "/turns/f1", "/turns/f2"}) {
        put_file(src + name, "0123456789");
    }
    const auto turns = folder_entries(src + "/turns");  // in the order the walk lists them
    use("1", "0");  // newer-only: the source is opened by the copy itself
    ui.on_every_pump([&] {
        if (!progress.files.empty() && progress.files.back() == turns[0]) {
            ::unlink((src + "/turns/" + turns[1]).c_str());
            put_file(src + "/turns/" + turns[1] + "/inner", "inner");
            ::unlink((src + "/turns/" + turns[2]).c_str());
            ::symlink("text", (src + "/turns/" + turns[2]).c_str());
        }
    });
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(dst + "/turns/" + turns[1] + "/inner"), "inner");
    EXPECT_EQ(link_text(dst + "/turns/" + turns[2]), "text");
    EXPECT_TRUE(ui.box_texts().empty());
}

// A power cut once a batch's renames are in the journal leaves whole new
// copies: the batch was flushed before it was renamed (with delayed
// allocation, an unflushed copy renamed over the old one is empty after the
// cut). One after a failed copy, before the flush, ends the run as stopped.
// A stop (the cancel button; a termination request stops the run the same
// way) on the destination writing 10 MB/s ends the run within 10 s, however
// much was copied before; every old copy stays whole.
TEST_F(FaultTest, PowerCutsAndStopsOnAnExt4DestinationLeaveWholeCopies) {
    ScopedMedium fs(dir.path(), Medium::kExt4);
    if (!fs.mounted()) {
        GTEST_SKIP() << fs.reason();
    }
    const std::string new_data(FlushPace::kFirstBytes, 'n');  // a batch of its own
    write_file(fs.path() + "/a", "old");
    ::sync();
    write_file(src + "/a", new_data);
    set(0, src, fs.path());
    bool cut = false;
    ui.on_every_pump([&] {
        if (!cut && progress.log.back() == "filesize=") {
            // a's batch is being committed beside the walk: renamed once a
            // has its new size.
            const auto renamed = [&] {
                const auto now = platform::status(fs.path() + "/a", false);
                return now && now->size == new_data.size();
            };
            for (int i = 0; i < 1000 && !renamed(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            const int folder = ::open(fs.path().c_str(), O_RDONLY | O_DIRECTORY);
            cut = ::fsync(folder) == 0 && fs.cut_power();  // the journal commits the renames
            ::close(folder);
        }
    });
    run();
    ASSERT_TRUE(cut);
    ASSERT_TRUE(fs.remount());
    EXPECT_TRUE(read_file(fs.path() + "/a") == new_data) << read_file(fs.path() + "/a").size();

    ui.on_every_pump({});
    ui.clear_events();
    // The source folder shown: the copy fails, then the flush.
    ui.at_pump(ui.pump_count() + 2, [&] { ASSERT_TRUE(fs.cut_power()); });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts().front().rfind("ファイルをコピーできません！", 0), 0u);
    EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");

    ASSERT_TRUE(fs.remount());
    if (!fs.throttle(10'000'000)) {
        GTEST_SKIP() << "the rest passed; no cgroup blkio or io throttling for the stop";
    }
    const std::string data(8 << 20, 'n');
    const auto name = [](int i) { return "/f" + std::to_string(i); };
    for (int i = 0; i < 24; ++i) {
        write_file(src + name(i), data);
        write_file(fs.path() + name(i), "old");
    }
    double asked = 0;
    ui.on_every_pump([&] {
        if (asked == 0 && progress.files.size() == 16) {
            asked = platform::monotonic_seconds();
            engine.request_abort();
        }
    });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    EXPECT_LT(platform::monotonic_seconds() - asked, 10.0);  // seconds from the stop to the end
    for (int i = 0; i < 24; ++i) {
        EXPECT_TRUE(read_file(fs.path() + name(i)) == "old" ||
                    read_file(fs.path() + name(i)) == data);
        ::unlink((src + name(i)).c_str());
    }

    // Copying anyway, a copy fails (into a full file system mounted in the
    // destination) while the batch before it is flushed at 10 MB/s: that
    // batch's copy is in place when the box shows.
    ui.on_every_pump({});
    use("0", "0");
    ::unlink((src + "/a").c_str());  // big's batch is the one committed when the copy fails
    write_file(src + "/big", data);
    write_file(fs.path() + "/big", "old");
    ScopedTmpfs full(fs.path(), "4k");
    ASSERT_TRUE(full.mounted()) << full.reason();
    put_file(src + "/small-fs/f", std::string(65536, 'n'));
    std::string at_box;
    ui.on_box("コピーできません", [&] { at_box = read_file(fs.path() + "/big"); });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    EXPECT_TRUE(at_box == data) << at_box.size();
}

// A flush that fails (the disk refused data the system had taken) ends the
// run as a system error before any copy of the batch replaces its old copy.
TEST_F(FaultTest, AFlushThatFailsEndsTheRunAndKeepsEveryOldCopy) {
    ScopedTmpfs backing(dir.path(), "64m");
    ScopedMedium fs(backing.path(), Medium::kUnjournaledExt4);
    if (!backing.mounted() || !fs.mounted()) {
        GTEST_SKIP() << backing.reason() << fs.reason();
    }
    const std::string old_copy(1024 * 1024, 'o');
    write_file(fs.path() + "/big", old_copy);
    write_file(src + "/big", std::string(3 * platform::kCopyChunkBytes, 'n'));
    ::sync();
    // The backing store keeps 4 MiB free: the system takes the copy, the disk
    // cannot write it.
    struct statvfs st {};
    ASSERT_EQ(::statvfs(backing.path().c_str(), &st), 0);
    const std::uint64_t free_bytes = std::uint64_t{st.f_bavail} * st.f_frsize;
    ASSERT_GT(free_bytes, 4u * 1024 * 1024);
    write_file(backing.path() + "/filler", std::string(free_bytes - 4 * 1024 * 1024, 0));
    set(0, src, fs.path());
    EXPECT_EQ(run(), RunOutcome::kSystemError);
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "システムエラー");
    EXPECT_NE(boxes[0].text.find("ディスクへの書き出し"), std::string::npos) << boxes[0].text;
    ::unlink((backing.path() + "/filler").c_str());
    ASSERT_TRUE(fs.remount());  // the run holds nothing of it open any more
    EXPECT_TRUE(read_file(fs.path() + "/big") == old_copy);
}

// Two programs back up into one folder. A third holds an exclusive flock on
// one of its folders (like `flock D/d0 sleep 30`), so the first copies there
// without the folder's mark: no lock call waits. The third lets go while the
// first holds staged copies there, and right then the second program's run
// cleans the folder up. Both runs complete, every copy is whole, no
// temporary file is left.
TEST_F(FaultTest, TwoProgramsBackingUpIntoOneFolderLeaveCompleteCopies) {
    const auto file = [](int i) { return "/d" + std::to_string(i % 3) + "/f" + std::to_string(i); };
    for (int i = 0; i < 15; ++i) {
        put_file(src + file(i), std::string(100'000 + 7'919 * static_cast<std::size_t>(i),
                                            static_cast<char>('a' + i)));
    }
    make_dirs(dst + "/d0");
    int staged[2], go_on[2];
    ASSERT_EQ(::pipe(staged) | ::pipe(go_on), 0);
    char byte = 0;
    const pid_t first = ::fork();
    if (first == 0) {
        ::alarm(120);  // a lock call that waits ends this program here
        ui.on_every_pump([&] {
            if (temp_files_in(dst + "/d0") == 5 && ::write(staged[1], "s", 1) == 1 &&
                ::read(go_on[0], &byte, 1) == 1) {
                ui.on_every_pump({});
            }
        });
        const bool told = ::read(go_on[0], &byte, 1) == 1;  // once d0 is locked
        ::_exit(told && run() == RunOutcome::kCompleted && ui.box_texts().empty() ? 0 : 1);
    }
    ::close(staged[1]);
    ::close(go_on[0]);
    auto other = std::make_optional<LockHolder>(dst + "/d0", LockKind::kFlock);
    ASSERT_TRUE(other->holding());
    ASSERT_EQ(::write(go_on[1], "r", 1), 1);
    ASSERT_EQ(::read(staged[0], &byte, 1), 1) << "the first program never staged d0's copies";
    other.reset();
    EXPECT_EQ(run(), RunOutcome::kCompleted);  // the second program
    EXPECT_EQ(::write(go_on[1], "g", 1), 1);
    int status = 0;
    ::waitpid(first, &status, 0);
    ::close(staged[0]);
    ::close(go_on[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first program's run";
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(read_file(dst + file(i)), read_file(src + file(i))) << file(i);
        EXPECT_EQ(temp_files_in(dst + "/d" + std::to_string(i % 3)), 0) << file(i);
    }
}

// On a share many copies are in flight at once; what the user is told and
// what is kept follows the walk all the same. The lines come in its order,
// whatever order the copies end in (a file held by another program fails at
// once, one whose place a folder takes at its rename); a stop keeps every
// old copy whole and leaves no temporary file.
TEST_F(FaultTest, CopiesInFlightOnAShareFollowTheWalk) {
    ScopedMedium share(dir.path(), Medium::kSshfs);
    if (!share.mounted()) {
        GTEST_SKIP() << share.reason();
    }
    const std::string d = share.path();
    set(0, src, d);
    for (int i = 0; i < 48; ++i) {
        put_file(src + "/f" + std::to_string(i), "new");
    }
    const auto names = folder_entries(src);  // in the order the walk lists them
    std::vector<std::optional<LockHolder>> held(names.size());
    std::vector<std::string> failing;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 6 == 1) {
            make_dirs(d + "/" + names[i] + "/x");
        } else if (i % 6 == 4) {
            held[i].emplace(src + "/" + names[i], LockKind::kFlock);
        }
        if (i % 6 == 1 || i % 6 == 4) {
            failing.push_back("[Skiped Copy File] = " + d + "/" + names[i] + " [?]");
        }
    }
    const auto olds = [&] {
        std::vector<bool> old(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i % 6 != 1) {  // not a folder in the copy's place
                const std::string copy = read_file(d + "/" + names[i]);
                old[i] = copy == "old";
                EXPECT_TRUE(old[i] || copy == "new") << names[i];
            }
        }
        return old;
    };
    const auto start = [&](const char* skip) {
        use("0", skip);
        progress.files.clear();
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i % 6 != 1) {
                write_file(d + "/" + names[i], "old");
            }
        }
    };
    start("1");
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    std::vector<std::string> lines;
    std::ranges::copy_if(history_entries(), std::back_inserter(lines),
                         [](const std::string& line) { return line.starts_with("[Skiped"); });
    EXPECT_EQ(lines, failing);
    start("1");
    ui.on_every_pump([&] {
        if (progress.files.size() >= 30) {
            engine.request_abort();
        }
    });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    EXPECT_EQ(temp_files_in(d), 0);
    const auto stopped = olds();
    // The walk had handed out 30 copies, at most 16 of them still in flight.
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i % 6 != 1 && i % 6 != 4 && (i < 30 - 16 || i >= 30)) {
            EXPECT_EQ(stopped[i], i >= 30) << names[i] << " and the stop";
        }
    }
    // Copying anyway, the first failure shows its one box and stops the run;
    // no copy still in flight then replaces an old copy. With descriptors
    // this scarce each copy is renamed in a batch of its own while the next
    // ones are in flight.
    ui.on_every_pump({});
    start("0");
    const auto copying_anyway = [&] {
        std::vector<bool> at_box;
        ui.on_box("コピーできません", [&] { at_box = olds(); });
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur += BackupEngine::kUnbatchedDescriptors - platform::open_files_available();
        ::setrlimit(RLIMIT_NOFILE, &limit);
        const bool one_box = run() == RunOutcome::kStopped && temp_files_in(d) == 0 &&
                             std::ranges::count_if(ui.box_texts(), [](auto& t) {
                                 return t.starts_with("ファイルを");
                             }) == 1;
        const auto ended = olds();
        bool kept = at_box.size() == names.size();
        for (std::size_t i = 0; kept && i < names.size(); ++i) {
            kept = !at_box[i] || ended[i];
            if (!kept) {
                std::fprintf(stderr, "%s was copied after the box\n", names[i].c_str());
            }
        }
        return one_box && kept;
    };
    EXPECT_EXIT(std::exit(copying_anyway() ? 0 : 1), ::testing::ExitedWithCode(0), "");

    // The server stops answering with copies in flight: a stop still ends
    // the run, the copies waiting on the share are given up, and the next
    // run removes the temporary files they leave.
    start("1");
    const auto threads = [] { return folder_entries("/proc/self/task").size(); };
    const std::size_t idle = threads();
    // The copies given up end once the server answers, their threads with
    // them; the next run starts after that, so what it finds is settled.
    const auto answering_again = [&] {
        share.hang(false);
        for (int i = 0; i < 1000 && threads() > idle; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    bool hung = false;
    ui.on_every_pump([&] {
        if (!hung && progress.files.size() >= 20) {
            hung = share.hang(true);
            engine.request_abort();
        }
    });
    EXPECT_EQ(run(), RunOutcome::kStopped);
    ASSERT_TRUE(hung);
    EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");
    answering_again();
    ui.on_every_pump({});
    start("1");
    EXPECT_EQ(run(), RunOutcome::kCompleted);
    EXPECT_EQ(temp_files_in(d), 0);
    olds();

    // The server stops answering while the walk itself asks the share, with
    // no copy in flight: making the folder it found there on the
    // destination, or listing a folder of the source. The window stays live
    // all the same, and a stop ends the run within 10 s; with no stop (a
    // night's unattended run) the run ends once the share gave no sign of
    // life for the silence bound, naming the folder that fell silent.
    // Newer-only, where a source folder's entries are examined with its
    // listing: a copy newer than its source stays.
    use("1", "1");
    constexpr double kSilence = 3.0;
    engine.set_silence_seconds(kSilence);
    struct Lone {
        const char* share_is;
        std::string from;
        std::string to;
        bool stopped;
        const char* box;   // the box the run ends with
        const char* line;  // and its line in the history
    };
    const Lone lones[] = {
        {"the destination", dir.path() + "/lone", d + "/lone", true,
         "バックアップが中止されました！", "[Cancel] [Manual]"},
        {"the source", d + "/far", dir.path() + "/back", true, "バックアップが中止されました！",
         "[Cancel] [Manual]"},
        {"the destination, silent", dir.path() + "/quiet", d + "/quiet", false,
         "コピー先フォルダが見つかりません！", "[Fail] [Manual]"},
        {"the source, silent", d + "/still", dir.path() + "/calm", false,
         "コピー元フォルダが見つかりません！", "[Fail] [Manual]"},
    };
    for (const Lone& lone : lones) {
        SCOPED_TRACE(lone.share_is);
        put_file(lone.from + "/sub/deeper/g", "new");
        put_file(lone.from + "/sub/h", "new");
        put_file(lone.to + "/sub/h", "kept");
        set_mtime(lone.to + "/sub/h", mtime_of(lone.from + "/sub/h") + 100);
        set(0, lone.from, lone.to);
        hung = false;
        double since = 0;
        int served = 0;
        ui.on_every_pump([&] {
            if (since == 0 && progress.log.back() == "subfld=/sub") {
                since = platform::monotonic_seconds();
                hung = share.hang(true);
            } else if (since > 0 && ++served == 3 && lone.stopped) {
                engine.request_abort();
            }
        });
        // A walk that waits on the share itself serves no event until the
        // server answers again, which it does after a while: the time shows
        // it.
        {
            const auto guard = share.answer_again_after(std::chrono::seconds(30));
            EXPECT_EQ(run(), lone.stopped ? RunOutcome::kStopped : RunOutcome::kMissingFolder);
        }
        ASSERT_TRUE(hung);
        const double took = platform::monotonic_seconds() - since;
        EXPECT_LT(took, lone.stopped ? 10.0 : kSilence + 10.0);
        EXPECT_GE(served, 3);
        if (!lone.stopped) {
            EXPECT_GT(took, kSilence);
        }
        ASSERT_FALSE(ui.box_texts().empty());
        EXPECT_TRUE(ui.box_texts().back().starts_with(lone.box)) << ui.box_texts().back();
        EXPECT_EQ(history_entries().back(), lone.line);
        answering_again();
        ui.on_every_pump({});
        EXPECT_EQ(run(), RunOutcome::kCompleted);
        EXPECT_EQ(read_file(lone.to + "/sub/deeper/g"), "new");
        EXPECT_EQ(read_file(lone.to + "/sub/h"), "kept");
        EXPECT_EQ(temp_files_in(lone.to + "/sub/deeper"), 0);
    }
}

// Small folders the walk made on a share are copied several at once, each
// copy made and renamed in its own folder by its worker: copies of later
// folders are in place while the first folder's large files are still on
// their way, and the history still follows the walk. A stop leaves whole
// copies and no temporary file.
TEST_F(FaultTest, FoldersMadeOnAShareAreCopiedSideBySideInTheWalksOrder) {
    ScopedMedium share(dir.path(), Medium::kSshfs);
    if (!share.mounted()) {
        GTEST_SKIP() << share.reason();
    }
    const std::string behind = dir.path() + "/medium.img";  // the share's own folder
    // A copy that never gets a worker ends the run long before the test's
    // own limit.
    engine.set_silence_seconds(20.0);
    for (const char* folder : {"a", "b", "c", "d", "e", "f"}) {
        for (int i = 0; i < 8; ++i) {
            put_file(src + "/" + folder + "/n" + std::to_string(i), std::string(100, folder[0]));
        }
    }
    // In the walk's order: the first folder's first two files are large, and
    // every folder's third and sixth files are held by another program.
    const auto folders = folder_entries(src);
    std::vector<std::vector<std::string>> files;
    std::deque<LockHolder> held;
    std::vector<std::string> skipped;
    for (const std::string& folder : folders) {
        files.push_back(folder_entries(src + "/" + folder));
        for (const std::size_t i : {2U, 5U}) {
            held.emplace_back(src + "/" + folder + "/" + files.back()[i], LockKind::kFlock);
            skipped.push_back(folder + "/" + files.back()[i]);
        }
    }
    for (const std::size_t i : {0U, 1U}) {
        write_file(src + "/" + folders[0] + "/" + files[0][i], std::string(24 << 20, 'L'));
    }
    struct Row {
        const char* what;
        const char* skip;
        bool stop;
    };
    const Row rows[] = {
        {"skip mode", "1", false}, {"copying anyway", "0", false}, {"a stop", "1", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string to = std::string("/") + row.what;
        make_dirs(share.path() + to);
        set(0, src, share.path() + to);
        use("0", row.skip);
        progress.files.clear();
        const std::string large = behind + to + "/" + folders[0] + "/" + files[0][0];
        const std::string last = behind + to + "/" + folders.back() + "/" + files.back()[0];
        bool later_first = false;
        ui.on_every_pump([&] {
            later_first = later_first || (!exists(large) && exists(last));
            if (row.stop && progress.files.size() >= 20) {
                engine.request_abort();
            }
        });
        EXPECT_EQ(run(), row.stop ? RunOutcome::kStopped : RunOutcome::kCompleted);
        std::vector<std::string> lines, expected;
        std::ranges::copy_if(history_entries(), std::back_inserter(lines),
                             [](const std::string& line) { return line.starts_with("[Skiped"); });
        std::size_t copied = 0;
        for (std::size_t k = 0; k < folders.size(); ++k) {
            const std::string folder = behind + to + "/" + folders[k];
            EXPECT_EQ(temp_files_in(folder), 0) << folders[k];
            for (const std::string& name : files[k]) {
                const std::string copy = folder + "/" + name;
                const bool held_open =
                    std::ranges::count(skipped, folders[k] + "/" + name) != 0 && *row.skip == '1';
                if (held_open && !row.stop) {
                    expected.push_back("[Skiped Copy File] = " + share.path() + to + "/" +
                                       folders[k] + "/" + name + " [?]");
                }
                if (exists(copy)) {
                    ++copied;
                    EXPECT_FALSE(held_open) << copy;
                    EXPECT_EQ(read_file(copy), read_file(src + "/" + folders[k] + "/" + name))
                        << copy;
                } else {
                    EXPECT_TRUE(held_open || row.stop) << copy << " is missing";
                }
            }
        }
        if (row.stop) {
            EXPECT_LT(copied, 48U - 12U);
        } else {
            EXPECT_EQ(lines, expected);
            EXPECT_TRUE(later_first) << "no later folder was in place before the first one";
        }
    }
}

TEST_F(FaultTest, AFullDiskWhileAppendingKeepsTheEarlierHistory) {
    ScopedTmpfs small(dir.path(), "8k");
    if (!small.mounted()) {
        GTEST_SKIP() << small.reason();
    }
    HistoryLog log(small.path() + "/history.txt", ui, ui);
    write_file(small.path() + "/history.txt", "2004/03/20 9:00:00 [Start] [Manual]\r\n");
    write_file(small.path() + "/filler", std::string(4096, 'f'));  // the disk is full now
    const std::string before = read_file(small.path() + "/history.txt");
    reporter.report_if_failed(log.write_history(history_kind::kSkippedFile, run_trigger::kNone,
                                                "/" + std::string(5000, 'x')));
    EXPECT_EQ(read_file(small.path() + "/history.txt"), before);
    // The full disk is named in words.
    const auto boxes = ui.events_of("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.starts_with("エラー番号61 ディスクの空き容量が不足しています。"));
    ::unlink((small.path() + "/filler").c_str());
    EXPECT_TRUE(log.write_history(history_kind::kSuccess, run_trigger::kManual, ""));
    const std::string after = read_file(small.path() + "/history.txt");
    EXPECT_EQ(after.rfind(before, 0), 0u);
    EXPECT_NE(after.find("\r\n2004/03/20 9:05:07 [Success] [Manual]\r\n"), std::string::npos);
}

TEST_F(FaultTest, AHundredThousandFilesAndSixtyLevelsWithBoundedMemory) {
    for (int i = 0; i < 320; ++i) {  // more folders on a level than a fixed table would hold
        put_file(src + "/w/" + std::to_string(i) + "/f", "x");
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
    // What a run holds: its peak heap (sampled as it serves events) and the
    // process's peak resident memory. Under AddressSanitizer only the heap
    // tells: its quarantine keeps 256 MiB of freed memory resident, and its
    // leak check at the end of the first run's process takes more.
    constexpr std::size_t kHeapBound = 24 << 20, kResidentBound = 32 << 20;
    std::size_t heap = 0;
    int most_open = 0;  // descriptors held at once
    ui.on_every_pump([&, pumps = 0]() mutable {
        progress.log.clear();  // what the test records is not the program's
        progress.files.clear();
        if (++pumps % 16 == 0) {
            heap = std::max(heap, heap_in_use());
            int open = 0;
            for (int fd = 0; fd < 256; ++fd) {
                open += ::fcntl(fd, F_GETFD) != -1 ? 1 : 0;
            }
            most_open = std::max(most_open, open);
        }
    });
    const auto within_bounds = [&](const char* which) {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "%s: heap %zu KiB, resident %ld KiB, %d descriptors\n", which,
                     heap >> 10, usage.ru_maxrss, most_open);
        return heap > 0 && heap < kHeapBound &&
               (!resident_memory_counts() || usage.ru_maxrss < long{kResidentBound >> 10});
    };
    // Under a descriptor limit of 256 (a soft limit of 200 raised to it
    // first), no file and no history line is lost for want of descriptors,
    // and a batch leaves spare ones: an open refused for want of one would
    // commit the batch and be tried again, unseen.
    const auto limited_run = [&] {
        rlimit limit{200, 256};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        platform::raise_open_file_limit();
        return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur == 256 &&
               run() == RunOutcome::kCompleted && history_entries().size() == 2 &&
               within_bounds("first run") && most_open <= 256 - 16;
    };
    EXPECT_EXIT(std::exit(limited_run() ? 0 : 1), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read_file(dst + deep + "/leaf"), "leaf");
    EXPECT_TRUE(exists(dst + "/wide/99999") && exists(dst + "/w/319/f"));

    use("1", "0");
    const auto inode = [&] { return platform::status(dst + "/wide/12345", false)->inode; };
    const auto before = inode();
    heap = 0;
    // In a process of its own too: the peak resident memory of this one
    // holds whatever the tests run before it in the same process held.
    EXPECT_EXIT(
        std::exit(run() == RunOutcome::kCompleted && within_bounds("newer-only re-run") ? 0 : 1),
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(inode(), before);  // the unchanged re-run copied nothing
}

}  // namespace
}  // namespace tarvenix
