#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include "common/platform.h"
#include "support/engine_harness.h"

namespace tarvenix {
namespace {

using namespace testing;

std::string link_text(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string("(not a link)") : std::string(buf, static_cast<std::size_t>(n));
}

class FolderWalkTest : public EngineHarness, public ::testing::Test {};

TEST_F(FolderWalkTest, CopiesLevelByLevelOrOnlyTheTopFilesWithoutSubfolders) {
    const std::string flat = dir / "flat";  // set 1 copies no sub-folders
    make_dirs(flat + "/sub/deeper");
    make_dirs(dir / "flat-copy");
    set(1, flat, dir / "flat-copy", false);
    make_dirs(src + "/Empty");
    ::chmod((src + "/Empty").c_str(), 0700);  // a private folder stays private
    for (const auto& file : {src + "/a", src + "/X/b", src + "/Y/c", src + "/X/Z/d", flat + "/top",
                             flat + "/sub/inner"}) {
        put_file(file, file);
    }
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);

    // All of level 0 first, then level 1 in the order its folders were found,
    // then level 2.
    const auto top = folder_entries(src);
    const bool x_first = std::ranges::find(top, "X") < std::ranges::find(top, "Y");
    EXPECT_EQ(std::vector<std::string>(progress.files.begin(), progress.files.begin() + 4),
              (std::vector<std::string>{"a", x_first ? "b" : "c", x_first ? "c" : "b", "d"}));
    EXPECT_EQ(read_file(dst + "/X/Z/d"), src + "/X/Z/d");
    EXPECT_EQ(read_file(dst + "/Y/c"), src + "/Y/c");
    EXPECT_EQ(mode_of(dst + "/Empty"), 0700u);  // empty folders are reproduced
    // The sub-folder label shows each folder relative to the source.
    EXPECT_EQ(std::ranges::count(progress.log, std::string("subfld=/X/Z")), 1);
    EXPECT_EQ(read_file(dir / "flat-copy/top"), flat + "/top");
    EXPECT_TRUE(folder_entries(dir / "flat-copy/sub").empty());  // made, and left empty
}

TEST_F(FolderWalkTest, OddNamesAreCopiedFaithfullyHiddenAndSpecialEntriesNot) {
    const std::string odd =
        "café-\xF0\x9F\x98\x80/raw\xFF\xFE";  // outside the code page, not UTF-8
    put_file(src + "/" + odd, "bytes");
    for (const char* hidden : {"/.hidden", "/..two-dots", "/.hiddendir/inside"}) {
        put_file(src + hidden, "h");
    }
    if (running_as_root()) {  // /dev/zero
        ASSERT_EQ(::mknod((src + "/zero").c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    }
    write_file(src + "/plain.txt", "p");
    ASSERT_EQ(::mknod((src + "/fifo").c_str(), S_IFIFO | 0600, 0), 0);
    ASSERT_EQ(::mknod((src + "/sock").c_str(), S_IFSOCK | 0600, 0), 0);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    auto copied = folder_entries(dst);
    std::ranges::sort(copied);
    EXPECT_EQ(copied, (std::vector<std::string>{"café-\xF0\x9F\x98\x80", "plain.txt"}));
    EXPECT_EQ(progress.files.size(), 2u);
    EXPECT_EQ(read_file(dst + "/" + odd), "bytes");
}

TEST_F(FolderWalkTest, LinksAreComparedAndReplacedByTheirOwnStatusNeverFollowed) {
    use("1", "1");  // newer-only; a failed copy is recorded and the run goes on
    const long long t = 1'100'000'000;
    const std::string victim = dir / "victim";
    const std::string outside = dir / "outside";
    write_file(victim, "keep");
    make_dirs(outside);
    set_mtime(victim, t + 3600);
    struct Row {
        const char* name;
        const char* src_link;  // nullptr: a file "new"
        const char* dst_link;  // nullptr: a file "old" (or nothing, when dst_time is 0)
        long long src_time, dst_time;
        const char* expected;  // link text, or nullptr for the file "new"
    };
    const Row rows[] = {
        {"to-newer", nullptr, victim.c_str(), t, t - 60, nullptr},
        {"self", nullptr, "self", t, t - 60, nullptr},
        {"link-new", "text-a", nullptr, t, 0, "text-a"},
        {"link-older", "text-b", "kept", t, t + 60, "kept"},
        {"link-newer", "text-c", "old", t + 60, t, "text-c"},
        {"link-over-file", "text-d", nullptr, t + 60, t, "text-d"},
        {"link-to-a-folder", outside.c_str(), nullptr, t, 0, outside.c_str()},
        {"link-to-a-file", victim.c_str(), nullptr, t, 0, victim.c_str()},
        {"loop", src.c_str(), nullptr, t, 0, src.c_str()},
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
    for (const Row& row : rows) {
        put(src + "/" + row.name, row.src_link, row.src_time);
        if (row.dst_time != 0) {
            put(dst + "/" + row.name, row.dst_link, row.dst_time);
        }
    }
    // A link planted where a destination folder belongs fails that folder's
    // files instead of leading them elsewhere.
    put_file(src + "/sub/file", "new");
    ASSERT_EQ(::symlink(dir.path().c_str(), (dst + "/sub").c_str()), 0);

    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]",
                                        "[Skiped Copy File] = " + dst + "/sub/file [?]",
                                        "[Success] [Manual]"}));
    for (const Row& row : rows) {
        const std::string path = dst + "/" + row.name;
        if (row.expected == nullptr) {
            EXPECT_EQ(platform::status(path, false)->type, platform::EntryType::kFile) << row.name;
            EXPECT_EQ(read_file(path), "new") << row.name;
        } else {
            EXPECT_EQ(link_text(path), row.expected) << row.name;
            EXPECT_EQ(platform::status(path, false)->mtime_sec,
                      row.expected == std::string("kept") ? row.dst_time : row.src_time)
                << row.name;
        }
    }
    EXPECT_EQ(read_file(victim), "keep");
    EXPECT_TRUE(folder_entries(outside).empty());
    EXPECT_FALSE(exists(dir / "file"));
}

TEST_F(FolderWalkTest, AReadOnlySourceFolderGivesAReadOnlyCopyThatLaterRunsStillFill) {
    make_dirs(src + "/ro");
    if (running_as_root()) {
        ASSERT_EQ(::chown((src + "/ro").c_str(), 65534, 65534), 0);  // nobody changes it below
    }
    EXPECT_TRUE(as_nobody({src, dst, src + "/ro"}, [&] {
        // Read-only, read-only again (the copy left read-only by the first
        // run), then writable.
        for (const unsigned mode : {0555u, 0555u, 0755u}) {
            const std::string text = "run " + std::to_string(progress.files.size());
            ::chmod((src + "/ro").c_str(), 0755);
            write_file(src + "/ro/a", text);
            ::chmod((src + "/ro").c_str(), mode);
            EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted) << text;
            EXPECT_EQ(read_file(dst + "/ro/a"), text);
            EXPECT_EQ(mode_of(dst + "/ro"), mode) << text;
        }
        EXPECT_EQ(history_entries().size(), 6u);  // no skipped-file line
    }));
}

TEST_F(FolderWalkTest, PathsUpTo254BytesAreCopiedLongerOnesStopTheRun) {
    // "テスト" is 6 bytes in the code page, 9 in UTF-8: the path ends at the limit.
    const std::string name = std::string(254 - src.size() - 7, 'a') + "テスト";
    write_file(src + "/" + name, "ok");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_TRUE(exists(dst + "/" + name));
    ::unlink((src + "/" + name).c_str());
    const std::string over = src + "/b" + name;  // 255 bytes
    for (const bool folder : {false, true}) {
        folder ? make_dirs(over) : write_file(over, "too long");
        ui.clear_events();
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped) << folder;
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

TEST_F(FolderWalkTest, TheDestinationInsideTheSourceIsNotCopiedIntoItself) {
    const std::string inner = src + "/backup";
    make_dirs(inner);
    write_file(src + "/doc.txt", "d");
    set(0, src, inner);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        EXPECT_EQ(folder_entries(inner), std::vector<std::string>{"doc.txt"}) << run;
    }
}

TEST_F(FolderWalkTest, AnUnreadableSourceFolderIsRecordedAndTheRestCopied) {
    for (const char* file : {"/locked/secret.txt", "/open/fine.txt", "/top.txt"}) {
        put_file(src + file, file);
    }
    ::chmod((src + "/locked").c_str(), 0);
    EXPECT_TRUE(as_nobody({src, dst, src + "/open"}, [&] {  // all but the locked folder
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        EXPECT_EQ(read_file(dst + "/open/fine.txt"), "/open/fine.txt");
        EXPECT_EQ(read_file(dst + "/top.txt"), "/top.txt");
        EXPECT_TRUE(exists(dst + "/locked"));
        EXPECT_FALSE(exists(dst + "/locked/secret.txt"));
        EXPECT_EQ(history_entries(),
                  (std::vector<std::string>{"[Start] [Manual]",
                                            "[Skiped Copy File] = " + dst + "/locked [?]",
                                            "[Success] [Manual]"}));
    }));
}

TEST_F(FolderWalkTest, ASparseFileLargerThanFourGigabytesIsCopiedWithItsSizeShown) {
    const long long size = 5LL * 1024 * 1024 * 1024;
    const long long marks[] = {0, 3LL * 1024 * 1024 * 1024, size - 1};
    int fd = ::open((src + "/disk.img").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    for (const long long at : marks) {
        ASSERT_EQ(::pwrite(fd, "M", 1, at), 1);
    }
    ::close(fd);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(std::ranges::count(progress.log, std::string("filesize=5,368,709")), 1);
    fd = ::open((dst + "/disk.img").c_str(), O_RDONLY);
    for (const long long at : {marks[0], marks[1], marks[2], 1000LL}) {
        char c = 'x';
        EXPECT_EQ(::pread(fd, &c, 1, at), 1) << at;
        EXPECT_EQ(c, at == 1000 ? '\0' : 'M') << at;
    }
    ::close(fd);
    struct stat st {};
    ::stat((dst + "/disk.img").c_str(), &st);
    EXPECT_EQ(st.st_size, size);
    EXPECT_LT(st.st_blocks * 512, 1024 * 1024);  // the holes stayed holes
}

}  // namespace
}  // namespace tarvenix
