// The program's headers come before any that bring in <windows.h> (gtest
// does): it defines macros named like members of Vostrel.
// clang-format off
#include "common/platform/copy.h"
#include "common/platform/file_writes.h"
#include "common/platform/locks.h"
#include "common/platform/storage.h"
#include "common/system_ports.h"
#include "common/vostrel.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include "common/win32/win32_internal.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <process.h>
#include <tuple>
#include <winioctl.h>
// clang-format on

namespace tarvenix::platform {
namespace {

using testing::temp_files_in;
using testing::TempDir;
using testing::write_file;

void set_attributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(::SetFileAttributesW(widen(path).c_str(), attributes)) << path;
}

// Windows itself refuses to replace a read-only file (wine does not): the
// layer refuses it, or clears the attribute first when asked to. A reader
// not letting the old copy be renamed over fails the copy, as does a stop
// between chunks. A staged copy keeps its temporary file open until its
// rename: neither a copy of the same target meanwhile nor the removal of
// dead copies' leftovers takes it for one.
TEST(Win32Copy, AReplaceIsRefusedStoppedOrDoneWholeAndAStagedCopyWaitsForItsRename) {
    struct Row {
        const char* name;
        bool read_only, refuse, held;
        int stop_at, calls;  // the callback's call that answers false (0: none), calls made
        int result;          // -1: any error
    };
    TempDir dir;
    const std::string data(2 * kCopyChunkBytes + 5, 'n');
    write_file(dir / "src", data);
    testing::set_mtime(dir / "src", 978307200);  // 2001-01-01
    set_attributes(dir / "src", FILE_ATTRIBUTE_READONLY);
    for (const Row& row : {Row{"plain", false, false, false, 0, 2, 0},
                           Row{"read-only refused", true, true, false, 0, 0, EACCES},
                           Row{"read-only replaced", true, false, false, 0, 2, 0},
                           Row{"held by a reader", false, false, true, 0, 2, -1},
                           Row{"stopped at the second", false, false, false, 2, 2, ECANCELED}}) {
        const std::string dst = dir / row.name;
        write_file(dst, "old");
        set_attributes(dst, row.read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        const HANDLE reader =
            row.held ? ::CreateFileW(widen(dst).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : nullptr;
        ASSERT_NE(reader, INVALID_HANDLE_VALUE) << row.name;
        int calls = 0;
        const CopyOptions options{.refuse_read_only_target = row.refuse,
                                  .between_chunks = [&] { return ++calls != row.stop_at; }};
        const int result = copy_file(dir / "src", dst, options).error();
        if (reader != nullptr) {
            ::CloseHandle(reader);
        }
        EXPECT_TRUE(row.result < 0 ? result != 0 : result == row.result) << row.name << result;
        EXPECT_EQ(calls, row.calls) << row.name;
        EXPECT_TRUE(testing::read_file(dst) == (row.result == 0 ? data : "old")) << row.name;
        if (row.result == 0) {
            EXPECT_EQ(testing::mtime_of(dst), 978307200) << row.name;
            EXPECT_EQ(testing::mode_of(dst), 0444u) << row.name;
        }
        EXPECT_EQ(temp_files_in(dir.path()), 0) << row.name;
    }
    write_file(dir / "small", "new");
    const auto folder = Directory::open(dir.path());
    const CopyLock lock(*folder);
    StagedCopy staged;
    CopyOptions options{.lock = &lock, .between_chunks = {}, .staged = &staged};
    ASSERT_TRUE(
        copy_open_file(*OpenFile::open_at(*folder, "small", true), *folder, "dst", options));
    EXPECT_TRUE(staged.pending());
    options.staged = nullptr;
    EXPECT_TRUE(copy_open_file(*OpenFile::open_at(*folder, "src", true), *folder, "dst", options));
    write_file(dir / (std::string(kTempPrefix) + "0123456789abcdef"), "a killed copy's");
    write_file(dir / (std::string(kTempPrefix) + "my-notes.txt"), "the user's");
    // The dead copy's file goes; the staged copy's and the user's stay.
    lock.remove_leftover_temp_files();
    EXPECT_EQ(temp_files_in(dir.path()), 2);
    EXPECT_TRUE(staged.commit());
    EXPECT_EQ(testing::read_file(dir / "dst"), "new");
    EXPECT_EQ(temp_files_in(dir.path()), 1);
}

// A device (or a pipe) nobody writes to would make a read wait for ever. The
// tail kept by a replace is copied in pieces: one longer than a piece proves
// they join. Japanese names work in paths beyond the old limit of 260 characters.
TEST(Win32Files, OnlyRegularFilesAreReadReplacesKeepTheTailAskedAndLongJapanesePathsWork) {
    TempDir dir;
    write_file(dir / "f", "abcdef");
    using Row = std::tuple<std::string, std::size_t, const char*>;  // bytes nullptr: refused
    for (const auto& [path, max_bytes, bytes] :
         {Row{dir.path(), 100, nullptr}, Row{"NUL", 100, nullptr}, Row{dir / "f", 4, "abcd"},
          Row{dir / "f", 100, "abcdef"}}) {
        const auto read = read_file(path, max_bytes);
        EXPECT_EQ(read.error(), bytes ? 0 : EINVAL) << path;
        EXPECT_EQ(read ? *read : "", bytes ? bytes : "") << path;
    }
    const std::string old = "0123456789" + std::string(std::size_t{3} << 20, 't') + "end";
    for (const bool keep : {false, true}) {
        write_file(dir / "g", old);
        ASSERT_TRUE(replace_file_contents(dir / "g", "ab", keep)) << keep;
        EXPECT_TRUE(testing::read_file(dir / "g") == (keep ? "ab" + old.substr(2) : "ab")) << keep;
    }
    EXPECT_EQ(temp_files_in(dir.path()), 0);
    std::string folder = dir.path();
    while (folder.size() < 400) {
        folder += "\\バックアップ用のフォルダ名";
        ASSERT_TRUE(make_folder(folder)) << folder.size();
    }
    const std::string file = folder + "\\日本語の名前.txt";
    ASSERT_TRUE(replace_file_contents(file, "一"));
    ASSERT_TRUE(replace_file_contents(file, "二"));
    ASSERT_TRUE(append_to_file(file, "三", true));
    ASSERT_TRUE(copy_file(file, folder + "\\写し.txt", CopyOptions{}));
    EXPECT_EQ(read_file(folder + "\\写し.txt").value_or("(unread)"), "二\r\n三");
}

TEST(Win32System, RootsDrivesAndShutdownPrivilege) {
    testing::ScriptedUi ui;
    Vostrel v(ui.ports(), ui);
    EXPECT_TRUE(v.Search_path("c:\\"));  // a drive's root, however its letter is written
    char missing = 'Y';
    while (missing > 'D' && (::GetLogicalDrives() & (1U << (missing - 'A'))) != 0) {
        --missing;
    }
    EXPECT_FALSE(v.Search_path(std::string(1, missing) + ":\\")) << missing;  // and no error
    EXPECT_EQ(WindowsSession::enable_shutdown_privilege(), 0UL);
    TempDir dir;  // writable: a file could be made there, and is gone again
    EXPECT_TRUE(folder_writable(dir.path()) && testing::folder_entries(dir.path()).empty());
    EXPECT_FALSE(folder_writable(dir / "missing"));
    EXPECT_STREQ(user_config_folder().c_str(), std::getenv("APPDATA"));
    // A full disk and a used-up quota are told apart (the box names each).
    EXPECT_EQ(detail::errno_from_win32(ERROR_DISK_FULL), ENOSPC);
    EXPECT_EQ(detail::errno_from_win32(1295), EDQUOT);  // ERROR_DISK_QUOTA_EXCEEDED
    // The same letter given to the folder above, still empty, as a freshly
    // formatted stick's root: a link in wine's dosdevices, made by Linux's ln.
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr) {
        GTEST_SKIP() << "an empty drive root is made in wine's dosdevices: not under wine";
    }
    const std::string link = prefix + std::string("/dosdevices/") + char(missing + 32) + ":";
    std::string target = "../drive_c/" + dir.path().substr(3);  // C:\... is the prefix's drive_c
    std::replace(target.begin(), target.end(), '\\', '/');
    _wspawnl(_P_WAIT, L"Z:\\bin\\ln", L"ln", L"-sfn", widen(target).c_str(), widen(link).c_str(),
             nullptr);
    const std::wstring root{static_cast<wchar_t>(missing), L':', L'\\'};
    for (int tries = 0;
         tries < 100 && ::GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES; ++tries) {
        ::Sleep(50);  // wine looks at its drives again once a second
    }
    EXPECT_TRUE(v.Search_path(std::string(1, missing) + ":\\")) << missing;
    _wspawnl(_P_WAIT, L"Z:\\bin\\rm", L"rm", widen(link).c_str(), nullptr);
}

// A temporary folder is local. wine's mount manager (through the control code
// winecfg uses) gives a drive letter the type asked for: a mapped share, a
// removable drive.
TEST(Win32Storage, SharesAndRemovableDrivesAreToldApart) {
    TempDir dir;
    EXPECT_EQ(storage_kind(*Directory::open(dir.path())), StorageKind::kLocal);
    const char* prefix = std::getenv("WINEPREFIX");
    const HANDLE manager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                         detail::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (prefix == nullptr || manager == INVALID_HANDLE_VALUE) {
        GTEST_SKIP() << "drives of a chosen type are made by wine's mount manager: not under wine";
    }
    std::string unix_dir = prefix + std::string("/drive_c/") + dir.path().substr(3);
    std::replace(unix_dir.begin(), unix_dir.end(), '\\', '/');
    struct Drive {  // wine's struct mountmgr_unix_drive, then the mount point
        ULONG size, type, fs_type = 0;
        DWORD serial = 0;
        ULONGLONG unix_dev = 0;
        WCHAR letter;
        USHORT mount_point, device = 0, label = 0;
        char path[MAX_PATH] = {};
    };
    wchar_t letter = L'M';
    while ((::GetLogicalDrives() & (1U << (letter - L'A'))) != 0) {
        ++letter;
    }
    const auto define = [&](DWORD type) {  // 0: undefines it
        Drive d{.size = sizeof(Drive),
                .type = type,
                .letter = letter,
                .mount_point = static_cast<USHORT>(type != 0 ? offsetof(Drive, path) : 0)};
        unix_dir.copy(d.path, sizeof d.path - 1);
        DWORD bytes = 0;
        const DWORD code =
            CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
        return ::DeviceIoControl(manager, code, &d, sizeof d, nullptr, 0, &bytes, nullptr) != 0;
    };
    const std::string root{char(letter), ':', '\\'};
    const auto named_by_its_drive = [&] {
        const auto folder = Directory::open(root);
        const auto path = folder ? detail::folder_nt_path(folder->native_handle()) : Error{EIO};
        return path && narrow(*path).starts_with("\\??\\" + root.substr(0, 2));
    };
    EXPECT_TRUE(define(DRIVE_FIXED));
    for (int tries = 0; tries < 100 && !named_by_its_drive(); ++tries) {
        ::Sleep(50);  // wine looks at its drives again once a second; till then it says C:
    }
    using Row = std::tuple<const char*, DWORD, StorageKind>;
    for (const auto& [name, type, kind] :
         {Row{"mapped share", DRIVE_REMOTE, StorageKind::kNetwork},
          Row{"removable drive", DRIVE_REMOVABLE, StorageKind::kRemovable}}) {
        EXPECT_TRUE(define(type)) << name;
        const auto folder = Directory::open(root);
        EXPECT_TRUE(folder && storage_kind(*folder) == kind) << name;
    }
    define(0);
    ::CloseHandle(manager);
}

}  // namespace
}  // namespace tarvenix::platform
