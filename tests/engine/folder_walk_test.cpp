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

class FolderWalkTest : public OneSetHarness, public ::testing::Test {};

TEST_F(FolderWalkTest, CopiesLevelByLevelOrOnlyTheTopFilesWithoutSubfolders) {
    const std::string flat = dir / "flat";  // set 1 copies no sub-folders
    make_dirs(flat + "/sub/deeper");
    write_file(flat + "/top.txt", "t");
    write_file(flat + "/sub/inner.txt", "i");
    make_dirs(dst + "-flat");
    set(1, flat, dst + "-flat", false);
    write_file(src + "/a.txt", "a");
    make_dirs(src + "/X/Z");
    make_dirs(src + "/Y");
    make_dirs(src + "/Empty");
    ::chmod((src + "/Empty").c_str(), 0700);  // a private folder stays private
    write_file(src + "/X/b.txt", "b");
    write_file(src + "/Y/c.txt", "c");
    write_file(src + "/X/Z/d.txt", "d");
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);

    // All of level 0 first, then level 1 in the order its folders were found,
    // then level 2.
    const auto top = folder_entries(src);
    const bool x_first =
        std::find(top.begin(), top.end(), "X") < std::find(top.begin(), top.end(), "Y");
    const std::vector<std::string> expected =
        x_first ? std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}
                : std::vector<std::string>{"a.txt", "c.txt", "b.txt", "d.txt"};
    EXPECT_EQ(std::vector<std::string>(progress.files.begin(), progress.files.begin() + 4),
              expected);
    EXPECT_EQ(read_file(dst + "/X/Z/d.txt"), "d");
    EXPECT_EQ(read_file(dst + "/Y/c.txt"), "c");
    EXPECT_TRUE(exists(dst + "/Empty"));  // empty folders are reproduced
    EXPECT_EQ(mode_of(dst + "/Empty"), mode_of(src + "/Empty"));
    // The sub-folder label showed each folder relative to the source.
    EXPECT_NE(std::find(progress.log.begin(), progress.log.end(), "subfld=/X/Z"),
              progress.log.end());
    EXPECT_EQ(read_file(dst + "-flat/top.txt"), "t");
    EXPECT_TRUE(exists(dst + "-flat/sub"));  // made, and left empty
    EXPECT_FALSE(exists(dst + "-flat/sub/inner.txt"));
    EXPECT_FALSE(exists(dst + "-flat/sub/deeper"));
}

TEST_F(FolderWalkTest, OddNamesAreCopiedFaithfullyLinksAsLinksHiddenAndSpecialEntriesNot) {
    const std::string odd =
        "café-\xF0\x9F\x98\x80/raw\xFF\xFE";  // outside the code page, not UTF-8
    make_dirs(src + "/café-\xF0\x9F\x98\x80");
    write_file(src + "/" + odd, "bytes");
    write_file(src + "/.hidden", "h");
    write_file(src + "/..two-dots", "h");
    if (running_as_root()) {  // /dev/zero
        ASSERT_EQ(::mknod((src + "/zero").c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    }
    make_dirs(src + "/.hiddendir");
    write_file(src + "/.hiddendir/inside", "i");
    write_file(src + "/plain.txt", "p");
    ASSERT_EQ(::mknod((src + "/fifo").c_str(), S_IFIFO | 0600, 0), 0);
    ASSERT_EQ(::mknod((src + "/sock").c_str(), S_IFSOCK | 0600, 0), 0);
    make_dirs(dir / "outside");
    write_file(dir / "outside/secret", "s");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (src + "/link-out").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside/secret").c_str(), (src + "/link-file").c_str()), 0);
    ASSERT_EQ(::symlink(src.c_str(), (src + "/loop").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (src + "/dangling").c_str()), 0);

    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    auto copied = folder_entries(dst);
    std::sort(copied.begin(), copied.end());
    const std::vector<std::string> expected{
        "café-\xF0\x9F\x98\x80", "dangling", "link-file", "link-out", "loop", "plain.txt"};
    EXPECT_EQ(copied, expected);
    for (const auto& name : expected) {  // each link the link itself, never followed
        EXPECT_EQ(link_text(dst + "/" + name), link_text(src + "/" + name)) << name;
    }
    EXPECT_EQ(folder_entries(dir / "outside"), std::vector<std::string>{"secret"});
    EXPECT_EQ(progress.files.size(), expected.size());
    EXPECT_EQ(read_file(dst + "/" + odd), "bytes");
}

TEST_F(FolderWalkTest, LinksAreComparedAndReplacedByTheirOwnStatusNeverFollowed) {
    options().copy_mode = "1";  // newer-only
    options().skip_open_files = "1";
    save_settings();
    const long long t = 1'100'000'000;
    write_file(dir / "victim", "keep");
    set_mtime(dir / "victim", t + 3600);
    struct Row {
        const char* name;
        const char* src_link;  // nullptr: a file "new"
        const char* dst_link;  // nullptr: a file "old" (or nothing, when dst_time is 0)
        long long src_time, dst_time;
        const char* expected;  // link text, or nullptr for the file "new"
    };
    const std::string victim = dir / "victim";
    const Row rows[] = {
        {"to-newer", nullptr, victim.c_str(), t, t - 60, nullptr},
        {"self", nullptr, "self", t, t - 60, nullptr},
        {"link-new", "text-a", nullptr, t, 0, "text-a"},
        {"link-older", "text-b", "kept", t, t + 60, "kept"},
        {"link-newer", "text-c", "old", t + 60, t, "text-c"},
        {"link-over-file", "text-d", nullptr, t + 60, t, "text-d"},
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
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(history_entries(),
              (std::vector<std::string>{"[Start] [Manual]", "[Success] [Manual]"}));
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
}

TEST_F(FolderWalkTest, AReadOnlySourceFolderGivesAReadOnlyCopyThatLaterRunsStillFill) {
    make_dirs(src + "/ro");
    share_with_nobody({src, dst, src + "/ro"});
    if (running_as_root()) {
        ASSERT_EQ(::chown((src + "/ro").c_str(), 65534, 65534), 0);  // nobody changes it below
    }
    EXPECT_TRUE(run_unprivileged([&] {
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

TEST_F(FolderWalkTest, SourcePathsUpTo254BytesAreCopiedLongerOnesStopTheRun) {
    // Pad the source folder so the file's path ends exactly at the limit.
    const std::string name_254 = "テスト";  // 6 bytes in the code page, 9 in UTF-8
    const auto fill = 254 - static_cast<int>(src.size()) - 1 - 6;
    ASSERT_GT(fill, 0);
    const std::string exact = std::string(static_cast<std::size_t>(fill), 'a') + name_254;
    write_file(src + "/" + exact, "ok");
    EXPECT_EQ(vostrel.LenByte(src + "/" + exact), 254);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_TRUE(exists(dst + "/" + exact));

    ::unlink((src + "/" + exact).c_str());
    const std::string over = "b" + exact;  // 255 bytes
    write_file(src + "/" + over, "too long");
    ui.clear_events();
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    EXPECT_EQ(ui.box_texts(), (std::vector<std::string>{"フォルダ+ファイルの長さが長すぎます！\r"
                                                        "フルパスで255文字以内にして下さい\r\r" +
                                                            src + "/" + over,
                                                        "バックアップが中止されました！"}));
    EXPECT_FALSE(exists(dst + "/" + over));
}

TEST_F(FolderWalkTest, ATooLongFolderPathStopsTheRunWithTheFolderMessage) {
    const auto fill = 255 - static_cast<int>(src.size()) - 1;
    const std::string folder(static_cast<std::size_t>(fill), 'f');
    make_dirs(src + "/" + folder);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kStopped);
    ASSERT_FALSE(ui.box_texts().empty());
    EXPECT_EQ(ui.box_texts()[0].rfind("フォルダの長さが長すぎます！\r", 0), 0u);
    EXPECT_EQ(history_entries().back(), "[Cancel] [Manual]");
}

TEST_F(FolderWalkTest, TheDestinationInsideTheSourceIsNotCopiedIntoItself) {
    const std::string inner = src + "/backup";
    make_dirs(inner);
    write_file(src + "/doc.txt", "d");
    set(0, src, inner);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(read_file(inner + "/doc.txt"), "d");
    EXPECT_FALSE(exists(inner + "/backup"));
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_FALSE(exists(inner + "/backup"));
}

TEST_F(FolderWalkTest, ALinkPlantedInTheDestinationIsNeverWrittenThrough) {
    make_dirs(src + "/sub");
    write_file(src + "/sub/file.txt", "new");
    write_file(src + "/top.txt", "new top");
    make_dirs(dir / "elsewhere");
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dst + "/sub").c_str()), 0);
    write_file(dir / "elsewhere/victim", "keep");
    ASSERT_EQ(::symlink((dir / "elsewhere/victim").c_str(), (dst + "/top.txt").c_str()), 0);
    options().skip_open_files = "1";  // skip mode: failures are recorded, the run goes on
    save_settings();
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_EQ(folder_entries(dir / "elsewhere"), std::vector<std::string>{"victim"});
    EXPECT_EQ(read_file(dir / "elsewhere/victim"), "keep");
    EXPECT_EQ(read_file(dst + "/top.txt"), "new top");  // the link itself was replaced
    const auto entries = history_entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(),
                        "[Skiped Copy File] = " + dst + "/sub/file.txt [?]"),
              entries.end());
}

TEST_F(FolderWalkTest, AnUnreadableSourceFolderIsRecordedAndTheRestCopied) {
    make_dirs(src + "/locked");
    write_file(src + "/locked/secret.txt", "s");
    make_dirs(src + "/open");
    write_file(src + "/open/fine.txt", "f");
    write_file(src + "/top.txt", "t");
    ::chmod((src + "/locked").c_str(), 0);
    share_with_nobody({src, dst, src + "/open"});  // all but the locked folder
    EXPECT_TRUE(run_unprivileged([&] {
        EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
        EXPECT_EQ(read_file(dst + "/open/fine.txt"), "f");
        EXPECT_EQ(read_file(dst + "/top.txt"), "t");
        EXPECT_TRUE(exists(dst + "/locked"));
        EXPECT_FALSE(exists(dst + "/locked/secret.txt"));
        EXPECT_EQ(history_entries(),
                  (std::vector<std::string>{"[Start] [Manual]",
                                            "[Skiped Copy File] = " + dst + "/locked [?]",
                                            "[Success] [Manual]"}));
    }));
}

TEST_F(FolderWalkTest, ASparseFileLargerThanFourGigabytesIsCopiedWithItsSizeShown) {
    const std::string big = src + "/disk.img";
    const long long size = 5LL * 1024 * 1024 * 1024;
    const long long marks[] = {0, 3LL * 1024 * 1024 * 1024, size - 1};
    write_file(big, "");
    ASSERT_EQ(::truncate(big.c_str(), size), 0);
    int fd = ::open(big.c_str(), O_WRONLY);
    for (const long long at : marks) {
        ASSERT_EQ(::pwrite(fd, "M", 1, at), 1);
    }
    ::close(fd);
    EXPECT_EQ(engine.run_backup(run_trigger::kManual), RunOutcome::kCompleted);
    EXPECT_NE(std::find(progress.log.begin(), progress.log.end(), "filesize=5,368,709"),
              progress.log.end());
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
