// The program's headers come before any that bring in <windows.h> (gtest
// does): it defines macros named like members of Vostrel.
// clang-format off
#include "common/platform.h"
#include "common/system_ports.h"
#include "common/vostrel.h"
#include "common/win32/wide_text.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>
// clang-format on

namespace tarvenix::platform {
namespace {

using testing::mode_of;
using testing::mtime_of;
using testing::temp_files_in;
using testing::TempDir;
using testing::write_file;

void set_attributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(widen(path).c_str(), attributes)) << path;
}

// Windows itself refuses to replace a read-only file (wine does not): the
// layer refuses it, or clears the attribute first when asked to. A reader
// not letting the old copy be renamed over fails the copy.
TEST(Win32Copy, AReplaceIsRefusedOrDoneWholeCarryingTheTimeAndTheReadOnlyAttribute) {
    struct Row {
        const char* name;
        bool read_only, refuse, held;
        int result;  // -1: any error
    };
    for (const Row& row :
         {Row{"plain", false, false, false, 0}, Row{"read-only refused", true, true, false, EACCES},
          Row{"read-only replaced", true, false, false, 0},
          Row{"held by a reader", false, false, true, -1}}) {
        TempDir dir;
        write_file(dir / "src", "new");
        testing::set_mtime(dir / "src", 978307200);  // 2001-01-01
        set_attributes(dir / "src", FILE_ATTRIBUTE_READONLY);
        write_file(dir / "dst", "old");
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
        if (row.result == 0) {
            EXPECT_EQ(mtime_of(dir / "dst"), 978307200) << row.name;
            EXPECT_EQ(mode_of(dir / "dst"), 0444u) << row.name;
        }
        EXPECT_EQ(temp_files_in(dir.path()), 0) << row.name;
    }
}

// A staged copy keeps its temporary file open until its rename: a copy of
// the same target meanwhile does not take it for a leftover.
TEST(Win32Copy, AStopBetweenChunksKeepsTheOldCopyAndAStagedCopyWaitsForItsRename) {
    TempDir dir;
    const std::size_t size = 2 * kCopyChunkBytes + 5;
    write_file(dir / "src", std::string(size, 'n'));
    for (const int stop_at : {1, 2, 0}) {  // the call that answers false; 0: none
        write_file(dir / "dst", "old");
        int calls = 0;
        CopyOptions options;
        options.between_chunks = [&] { return ++calls != stop_at; };
        EXPECT_EQ(copy_file(dir / "src", dir / "dst", options), stop_at ? ECANCELED : 0) << stop_at;
        EXPECT_EQ(calls, stop_at ? stop_at : 2) << stop_at;
        EXPECT_EQ(testing::read_file(dir / "dst").size(), stop_at ? 3u : size) << stop_at;
        EXPECT_EQ(temp_files_in(dir.path()), 0) << stop_at;
    }
    write_file(dir / "small", "new");
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
    folder.remove_leftover_temp_files();  // the staged copy is no leftover
    EXPECT_EQ(temp_files_in(dir.path()), 1);
    EXPECT_EQ(staged.commit(), 0);
    EXPECT_EQ(testing::read_file(dir / "dst"), "new");
    EXPECT_EQ(temp_files_in(dir.path()), 0);
}

// A named pipe nobody writes to would make a read wait for ever. The tail
// kept by a replace is copied in pieces: one longer than a piece proves they
// join. Japanese names work in paths beyond the old limit of 260 characters.
TEST(Win32Files, OnlyRegularFilesAreReadReplacesKeepTheTailAskedAndLongJapanesePathsWork) {
    TempDir dir;
    const std::string pipe_name =
        "\\\\.\\pipe\\tarvenix-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeW(widen(pipe_name).c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    write_file(dir / "f", "abcdef");
    using Row = std::tuple<std::string, std::size_t, const char*>;  // bytes nullptr: refused
    for (const auto& [path, max_bytes, bytes] :
         {Row{dir.path(), 100, nullptr}, Row{"NUL", 100, nullptr}, Row{pipe_name, 100, nullptr},
          Row{dir / "f", 4, "abcd"}, Row{dir / "f", 100, "abcdef"}}) {
        std::string out = "stale";
        EXPECT_EQ(read_file(path, out, max_bytes), bytes ? 0 : EINVAL) << path;
        EXPECT_EQ(out, bytes ? bytes : "") << path;
    }
    ::CloseHandle(pipe);
    const std::string old = "0123456789" + std::string(std::size_t{3} << 20, 't') + "end";
    for (const bool keep : {false, true}) {
        write_file(dir / "g", old);
        ASSERT_EQ(replace_file_contents(dir / "g", "ab", keep), 0) << keep;
        EXPECT_TRUE(testing::read_file(dir / "g") == (keep ? "ab" + old.substr(2) : "ab")) << keep;
    }
    EXPECT_EQ(temp_files_in(dir.path()), 0);
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

// The copy is killed once its temporary file is there (a copy too small to
// be caught in the middle is tried larger).
TEST(Win32Copy, ALeftoverOfAKilledCopyIsRemovedByTheNextCopy) {
    TempDir dir;
    testing::make_dirs(dir / "dst");
    write_file(dir / "dst\\big", "old");
    std::wstring exe(32768, L'\0');
    exe.resize(::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    std::wstring line = L"\"" + exe + L"\"";
    ::SetEnvironmentVariableW(L"TARVENIX_KILLED_COPY",
                              widen(dir / "big|" + dir / "dst\\big").c_str());
    for (std::size_t size = std::size_t{64} << 20;
         temp_files_in(dir / "dst") == 0 && size <= (1U << 30); size *= 2) {
        write_file(dir / "big", std::string(size, 'x'));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &si, &pi));
        while (temp_files_in(dir / "dst") == 0 &&
               ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        }
        ::TerminateProcess(pi.hProcess, 9);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::SetEnvironmentVariableW(L"TARVENIX_KILLED_COPY", nullptr);
    ASSERT_EQ(temp_files_in(dir / "dst"), 1) << "every copy ended before it could be killed";
    EXPECT_EQ(testing::read_file(dir / "dst\\big"), "old");  // the killed copy changed nothing
    int err = 0;
    const Directory dst = Directory::open(dir / "dst", &err);
    dst.hold_copy_lock();
    dst.remove_leftover_temp_files();
    EXPECT_EQ(testing::folder_entries(dir / "dst"), std::vector<std::string>{"big"});
}

TEST(Win32System, RootsDrivesAndShutdownPrivilege) {
    using Row = std::pair<const char*, bool>;
    for (const auto& [path, root] :
         {Row{"C:\\", true}, Row{"z:\\", true}, Row{"C:", false}, Row{"C:\\a", false},
          Row{"/", false}, Row{"\\\\server\\share\\", false}}) {
        EXPECT_EQ(is_root_path(path), root) << path;
    }
    testing::ScriptedUi ui;
    Vostrel v(ui.ports());
    EXPECT_TRUE(v.Search_path("C:\\"));
    char missing = 'Y';
    while (missing > 'D' && (::GetLogicalDrives() & (1U << (missing - 'A'))) != 0) {
        --missing;
    }
    EXPECT_FALSE(v.Search_path(std::string(1, missing) + ":\\")) << missing;  // and no error
    // The same letter given to an empty folder, as a freshly formatted
    // stick's root: a link in wine's dosdevices, made by Linux's ln.
    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr) << "runs under wine (cmake/wine-run.sh)";
    const std::string link = prefix + std::string("/dosdevices/") + char(missing + 32) + ":";
    const auto sh = [](const std::string& command) {
        std::wstring line = L"Z:\\bin\\sh -c \"" + widen(command) + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                         &pi);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    };
    TempDir empty;  // C:\... is the prefix's drive_c
    std::string target = "../drive_c/" + empty.path().substr(3);
    std::replace(target.begin(), target.end(), '\\', '/');
    sh("ln -sfn " + target + " " + link);
    const std::wstring root{static_cast<wchar_t>(missing), L':', L'\\'};
    for (int tries = 0;
         tries < 100 && ::GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES; ++tries) {
        ::Sleep(50);  // wine looks at its drives again once a second
    }
    EXPECT_TRUE(v.Search_path(std::string(1, missing) + ":\\")) << missing;
    sh("rm " + link);
    EXPECT_EQ(WindowsSession::enable_shutdown_privilege(), 0UL);
    TempDir dir;  // writable: a file could be made there, and is gone again
    EXPECT_TRUE(folder_writable(dir.path()) && testing::folder_entries(dir.path()).empty());
    EXPECT_FALSE(folder_writable(dir / "missing"));
    EXPECT_STREQ(user_config_folder().c_str(), std::getenv("APPDATA"));
}

}  // namespace
}  // namespace tarvenix::platform
