// The Windows platform layer against the real file system (under wine in
// the build): attributes, reparse points, sharing modes, the replace, long
// and Japanese names, roots, system folders and the shut-down privilege.

// The program's headers come before any that bring in <windows.h> (gtest
// does): it defines macros named like members of Vostrel (ExitWindows,
// WM_MOUSEMOVE, ...).
// clang-format off
#include "common/platform.h"
#include "common/system_ports.h"
#include "common/vostrel.h"
#include "common/win32/wide_text.h"
#include "support/os_helpers.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
// clang-format on

namespace tarvenix::platform {
namespace {

using testing::TempDir;

void set_attributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(widen(path).c_str(), attributes)) << path;
}

// A folder with a Linux symbolic link in it, made by the build (wine shows a
// link as a reparse point; wine cannot make one itself). Empty on Windows.
std::string reparse_fixture() {
    const std::string folder = TARVENIX_REPARSE_FIXTURE;
    return testing::exists(folder + "\\link") ? folder : std::string();
}

TEST(Win32Listing, FlagsHiddenAndSystemEntriesAndShowsReparsePointsAsSystemEntries) {
    TempDir dir;
    struct Row {
        const char* name;
        DWORD attributes;
        EntryType type;
        bool hidden;
    };
    std::map<std::string, std::pair<EntryType, bool>> expected, listed;
    for (const Row& row :
         {Row{"plain.txt", FILE_ATTRIBUTE_NORMAL, EntryType::kFile, false},
          Row{"読み取り専用.txt", FILE_ATTRIBUTE_READONLY, EntryType::kFile, false},
          Row{"hidden.txt", FILE_ATTRIBUTE_HIDDEN, EntryType::kFile, true},
          Row{"system.sys", FILE_ATTRIBUTE_SYSTEM, EntryType::kFile, true},
          Row{"フォルダ", FILE_ATTRIBUTE_NORMAL, EntryType::kFolder, false},
          Row{"hidden-folder", FILE_ATTRIBUTE_HIDDEN, EntryType::kFolder, true}}) {
        if (row.type == EntryType::kFolder) {
            testing::make_dirs(dir / row.name);
        } else {
            testing::write_file(dir / row.name, "x");
        }
        set_attributes(dir / row.name, row.attributes);
        expected[row.name] = {row.type, row.hidden};
    }
    int err = -1;
    const Directory folder = Directory::open(dir.path(), &err);
    ASSERT_TRUE(folder.is_open()) << err;
    std::vector<Directory::Entry> entries;
    ASSERT_EQ(folder.list(entries), 0);
    for (const auto& e : entries) {
        listed[e.name] = {e.type, e.hidden};
    }
    EXPECT_EQ(listed, expected);

    const std::string fixture = reparse_fixture();
    if (fixture.empty()) {
        GTEST_SKIP() << "no reparse point to list: the fixture is made by the wine build";
    }
    const Directory links = Directory::open(fixture, &err);
    ASSERT_TRUE(links.is_open()) << err;
    ASSERT_EQ(links.list(entries), 0);
    // Reparse points are never followed nor copied: they read as kSystem.
    for (const auto& e : entries) {
        EXPECT_EQ(e.type, e.name == "target" ? EntryType::kFolder : EntryType::kSystem) << e.name;
    }
    const auto link_status = links.status_of("link", false);
    ASSERT_TRUE(link_status.has_value());
    EXPECT_EQ(link_status->type, EntryType::kSystem);
    EXPECT_FALSE(links.open_child("link", &err).is_open());
    EXPECT_EQ(err, ELOOP);
    EXPECT_FALSE(links.open_below("\\link", &err).is_open());
    EXPECT_FALSE(OpenFile::open_at(links, "link", false, &err).is_open());
    EXPECT_TRUE(links.open_below("\\target", &err).is_open()) << err;
}

TEST(Win32Copy, CarriesTheTimesAndTheReadOnlyAttribute) {
    TempDir dir;
    testing::write_file(dir / "src", "data");
    testing::set_mtime(dir / "src", 978307200);  // 2001-01-01
    set_attributes(dir / "src", FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(copy_file(dir / "src", dir / "dst", CopyOptions{}), 0);
    EXPECT_EQ(testing::read_file(dir / "dst"), "data");
    EXPECT_EQ(testing::mtime_of(dir / "dst"), 978307200);
    EXPECT_EQ(testing::mode_of(dir / "dst"), 0444u);
    EXPECT_EQ(testing::temp_files_in(dir.path()), 0);
}

// Windows itself refuses to replace a read-only file (wine does not): the
// layer refuses it, or clears the attribute first when asked to. Another
// program that has the old copy open, not letting it be deleted or renamed
// over, fails the copy: the old copy stays, no temporary file is left.
TEST(Win32Copy, AReplaceIsRefusedOrDoneWholeAndLeavesNoTemporaryFile) {
    struct Row {
        const char* name;
        bool read_only, refuse, held;
        int result;  // -1: any error
    };
    for (const Row& row : {Row{"read-only refused", true, true, false, EACCES},
                           Row{"read-only replaced", true, false, false, 0},
                           Row{"held by a reader", false, false, true, -1}}) {
        TempDir dir;
        testing::write_file(dir / "src", "new");
        testing::write_file(dir / "dst", "old");
        if (row.read_only) {
            set_attributes(dir / "dst", FILE_ATTRIBUTE_READONLY);
        }
        const HANDLE reader =
            row.held ? ::CreateFileW(widen(dir / "dst").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : nullptr;
        ASSERT_NE(reader, INVALID_HANDLE_VALUE) << row.name;
        CopyOptions options;
        options.refuse_read_only_target = row.refuse;
        const int result = copy_file(dir / "src", dir / "dst", options);
        if (reader != nullptr) {
            ::CloseHandle(reader);
        }
        EXPECT_TRUE(row.result < 0 ? result != 0 : result == row.result) << row.name << result;
        EXPECT_EQ(testing::read_file(dir / "dst"), row.result == 0 ? "new" : "old") << row.name;
        EXPECT_EQ(testing::temp_files_in(dir.path()), 0) << row.name;
    }
}

TEST(Win32Copy, AStopBetweenChunksKeepsTheOldCopyAndAStagedCopyWaitsForItsRename) {
    TempDir dir;
    const std::size_t size = 2 * kCopyChunkBytes + 5;
    testing::write_file(dir / "src", std::string(size, 'n'));
    struct Row {
        int stop_at;  // the call that answers false; 0: none
        int result;
        int calls;
    };
    for (const Row row : {Row{1, ECANCELED, 1}, Row{2, ECANCELED, 2}, Row{0, 0, 2}}) {
        testing::write_file(dir / "dst", "old");
        int calls = 0;
        CopyOptions options;
        options.between_chunks = [&] { return ++calls != row.stop_at; };
        EXPECT_EQ(copy_file(dir / "src", dir / "dst", options), row.result) << row.stop_at;
        EXPECT_EQ(calls, row.calls) << row.stop_at;
        EXPECT_EQ(testing::read_file(dir / "dst").size(), row.result == 0 ? size : 3u)
            << row.stop_at;
        EXPECT_EQ(testing::temp_files_in(dir.path()), 0) << row.stop_at;
    }
    // A staged copy keeps its temporary file open until its rename: a copy
    // of the same target meanwhile does not take it for a leftover.
    testing::write_file(dir / "small", "new");
    int err = 0;
    const Directory folder = Directory::open(dir.path(), &err);
    folder.hold_copy_lock();
    EXPECT_TRUE(folder.holds_copy_lock());
    StagedCopy staged;
    CopyOptions options;
    options.staged = &staged;
    ASSERT_EQ(copy_file_at(folder, "small", folder, "dst", options), 0);
    EXPECT_TRUE(staged.pending());
    EXPECT_EQ(copy_file_at(folder, "src", folder, "dst", CopyOptions{}), 0);
    EXPECT_EQ(testing::temp_files_in(dir.path()), 1);
    EXPECT_EQ(staged.commit(), 0);
    EXPECT_EQ(testing::read_file(dir / "dst"), "new");
    EXPECT_EQ(testing::temp_files_in(dir.path()), 0);
}

TEST(Win32Files, OnlyRegularFilesAreReadAndAReplaceKeepsTheOldTailAsked) {
    TempDir dir;
    // A named pipe nobody writes to: a read of it would wait for ever.
    const std::string pipe_name =
        "\\\\.\\pipe\\tarvenix-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeW(widen(pipe_name).c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    testing::write_file(dir / "f", "abcdef");
    struct ReadRow {
        std::string path;
        std::size_t max_bytes;
        int result;
        const char* bytes;
    };
    for (const ReadRow& row :
         {ReadRow{dir.path(), 100, EINVAL, ""}, ReadRow{"NUL", 100, EINVAL, ""},
          ReadRow{pipe_name, 100, EINVAL, ""}, ReadRow{dir / "f", 4, 0, "abcd"},
          ReadRow{dir / "f", 100, 0, "abcdef"}}) {
        std::string out = "stale";
        EXPECT_EQ(read_file(row.path, out, row.max_bytes), row.result) << row.path;
        EXPECT_EQ(out, row.bytes) << row.path;
    }
    ::CloseHandle(pipe);

    // The tail is copied in pieces: one longer than a piece proves they join.
    const std::string old = "0123456789" + std::string(std::size_t{3} << 20, 't') + "end";
    for (const bool keep : {false, true}) {
        testing::write_file(dir / "g", old);
        ASSERT_EQ(replace_file_contents(dir / "g", "ab", keep), 0) << keep;
        EXPECT_TRUE(testing::read_file(dir / "g") == (keep ? "ab" + old.substr(2) : "ab")) << keep;
    }
    EXPECT_EQ(replace_file_contents(dir.path(), "ab", true), EINVAL);
    EXPECT_EQ(testing::temp_files_in(dir.path()), 0);
}

TEST(Win32Copy, AFileOpenForWritingElsewhereIsInUse) {
    TempDir dir;
    testing::write_file(dir / "f", "data");
    int err = 0;
    const Directory folder = Directory::open(dir.path(), &err);
    const OpenFile file = OpenFile::open_at(folder, "f", false, &err);
    ASSERT_TRUE(file.is_open()) << err;
    CopyOptions skip_in_use;
    skip_in_use.refuse_locked_source = true;
    EXPECT_FALSE(is_locked_by_other_process(file.native_handle()));
    {
        // Reading alongside is not using it.
        const HANDLE reader = ::CreateFileW(widen(dir / "f").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(is_locked_by_other_process(file.native_handle()));
        ::CloseHandle(reader);
    }
    {
        testing::FileOpenForWriting writer(dir / "f");
        ASSERT_TRUE(writer.holding());
        EXPECT_TRUE(is_locked_by_other_process(file.native_handle()));
        EXPECT_EQ(copy_open_file(file, folder, "copy", skip_in_use), EBUSY);
        EXPECT_FALSE(testing::exists(dir / "copy"));
    }
    EXPECT_EQ(copy_open_file(file, folder, "copy", skip_in_use), 0);
    EXPECT_EQ(testing::read_file(dir / "copy"), "data");
}

// Started again as a child with TARVENIX_KILLED_COPY="source|destination",
// this program only copies, before any test runs, and is killed by its
// parent in the middle of the copy.
const int kKilledCopyChild = [] {
    if (const char* job = std::getenv("TARVENIX_KILLED_COPY")) {
        const std::string paths(job);
        const auto bar = paths.find('|');
        std::_Exit(copy_file(paths.substr(0, bar), paths.substr(bar + 1), CopyOptions{}));
    }
    return 0;
}();

std::vector<std::string> temp_files(const std::string& folder) {
    auto names = testing::folder_entries(folder);
    std::erase_if(names, [](const std::string& name) { return !name.starts_with(kTempPrefix); });
    return names;
}

// Copies source to destination in a child process and kills it once its
// temporary file is there. Returns the temporary file it left, or "" when
// the copy was done before it could be killed.
std::string killed_copy(const std::string& source, const std::string& destination,
                        const std::string& folder) {
    std::wstring exe(32768, L'\0');
    exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    ::SetEnvironmentVariableW(L"TARVENIX_KILLED_COPY", widen(source + "|" + destination).c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + exe + L"\"";
    const bool started = ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableW(L"TARVENIX_KILLED_COPY", nullptr);
    if (!started) {
        ADD_FAILURE() << "cannot start the copying child";
        return "";
    }
    std::vector<std::string> temps;
    while (temps.empty() && ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        temps = temp_files(folder);
    }
    ::TerminateProcess(pi.hProcess, 9);
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    temps = temp_files(folder);
    return temps.empty() ? std::string() : temps.front();
}

TEST(Win32Copy, ALeftoverOfAKilledCopyIsRemovedOneInUseIsKept) {
    TempDir dir;
    testing::make_dirs(dir / "dst");
    testing::write_file(dir / "dst\\big", "old");
    // A copy large enough to be caught in the middle; larger when it was not.
    std::string leftover;
    for (std::size_t size = std::size_t{64} << 20; leftover.empty() && size <= (1U << 30);
         size *= 2) {
        testing::write_file(dir / "big", std::string(size, 'x'));
        leftover = killed_copy(dir / "big", dir / "dst\\big", dir / "dst");
    }
    ASSERT_FALSE(leftover.empty()) << "every copy ended before it could be killed";
    EXPECT_EQ(testing::read_file(dir / "dst\\big"), "old");  // the killed copy changed nothing
    testing::write_file(dir / "small", "new");
    {
        // While some program holds the file, it is a copy in progress: kept.
        const HANDLE copier =
            ::CreateFileW(widen(dir / "dst\\" + leftover).c_str(), GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(copier, INVALID_HANDLE_VALUE);
        EXPECT_EQ(copy_file(dir / "small", dir / "dst\\big", CopyOptions{}), 0);
        ::CloseHandle(copier);
        EXPECT_EQ(temp_files(dir / "dst"), std::vector<std::string>{leftover});
    }
    EXPECT_EQ(copy_file(dir / "small", dir / "dst\\big", CopyOptions{}), 0);
    EXPECT_TRUE(temp_files(dir / "dst").empty());
    EXPECT_EQ(testing::read_file(dir / "dst\\big"), "new");
}

TEST(Win32Paths, JapaneseNamesBeyondTheOldPathLimit) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 400) {
        folder += "\\バックアップ用のフォルダ名";
        ASSERT_EQ(make_folder(folder), 0) << folder.size();
    }
    const std::string file = folder + "\\日本語の名前.txt";
    ASSERT_EQ(replace_file_contents(file, "一"), 0);
    ASSERT_EQ(replace_file_contents(file, "二"), 0);
    ASSERT_EQ(append_to_file(file, "三", true), 0);
    ASSERT_EQ(copy_file(file, folder + "\\写し.txt", CopyOptions{}), 0);
    std::string bytes;
    ASSERT_EQ(read_file(folder + "\\写し.txt", bytes), 0);
    EXPECT_EQ(bytes, "二\r\n三");
    int err = 0;
    std::vector<Directory::Entry> entries;
    ASSERT_EQ(Directory::open(folder, &err).list(entries), 0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].name == "写し.txt" || entries[1].name == "写し.txt");
    EXPECT_TRUE(status(file, false).has_value());
}

TEST(Win32System, RootsSystemFoldersVersionAndShutdownPrivilege) {
    struct RootRow {
        const char* path;
        bool root;
    };
    for (const RootRow& row :
         {RootRow{"C:\\", true}, RootRow{"z:\\", true}, RootRow{"C:", false},
          RootRow{"C:\\a", false}, RootRow{"/", false}, RootRow{"\\\\server\\share\\", false}}) {
        EXPECT_EQ(is_root_path(row.path), row.root) << row.path;
    }
    testing::ScriptedUi ui;
    Vostrel v(ui.ports());
    EXPECT_TRUE(v.Search_path("C:\\"));
    const DWORD drives = ::GetLogicalDrives();
    for (char letter = 'Y'; letter > 'D'; --letter) {
        if ((drives & (1U << (letter - 'A'))) == 0) {
            EXPECT_FALSE(v.Search_path(std::string(1, letter) + ":\\")) << letter;  // no error
            break;
        }
    }
    EXPECT_TRUE(v.Search_path(v.WinDir())) << v.WinDir();
    EXPECT_TRUE(v.SysDir().starts_with(v.WinDir() + "\\")) << v.SysDir();
    EXPECT_EQ(v.OSPlatformID, "2");
    EXPECT_GE(os_version().major, 5);

    EXPECT_EQ(WindowsSession::enable_shutdown_privilege(), 0UL);
}

}  // namespace
}  // namespace tarvenix::platform
