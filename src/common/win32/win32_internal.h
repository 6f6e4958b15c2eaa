#pragma once

// What the Windows files of the platform layer share. Not for use outside
// it (the Windows tests check the error mapping through it).
//
// Wide (UTF-16) calls only: paths and names are UTF-8 in the program and
// converted here, so Japanese names survive whatever the ANSI code page is.
// Full paths go to the system as \\?\ paths, which lifts the 260-character
// limit. Folders are open handles, and everything below a folder is opened
// relative to its handle (NtCreateFile with a root directory), never by a
// path built from the folder's name, so a walk stays inside the folder it
// opened. Reparse points (symbolic links, junctions) are opened as
// themselves and never followed below an open folder, and they are never
// copied: listings and statuses report them as kSystem entries, which the
// engine passes over like a device, so no caller has to know the Windows
// rule.

// <windows.h> comes before the other Windows headers, which rely on it.
// clang-format off
#include <windows.h>
#include <winternl.h>
// clang-format on

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/copy_primitives.h"
#include "common/platform/files.h"
#include "common/platform/result.h"
#include "common/win32/wide_text.h"

namespace tarvenix::platform::detail {

// NtCreateFile's create dispositions and options (ntifs.h, not in winternl.h
// of every SDK).
constexpr ULONG kFileOpen = 1;
constexpr ULONG kFileCreate = 2;
constexpr ULONG kFileDirectoryFile = 0x00000001;
constexpr ULONG kFileSynchronousIoNonalert = 0x00000020;
constexpr ULONG kFileNonDirectoryFile = 0x00000040;
constexpr ULONG kFileOpenForBackupIntent = 0x00004000;
constexpr ULONG kFileOpenReparsePoint = 0x00200000;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Windows error codes as the errno values the rest of the program knows.
int errno_from_win32(DWORD code);
// The thread's last error, and an NTSTATUS, as a failure.
Error last_error();
Error error_from_status(NTSTATUS status);
// A call's BOOL answer: success, or the thread's last error.
inline Status checked(BOOL ok) {
    return ok ? Status() : Status(last_error());
}

// A full \\?\ path for the system: made absolute, "/" and doubled separators
// resolved the way Windows resolves them, then prefixed so that no length
// limit applies. A path that cannot be resolved goes through unchanged.
std::wstring native_path(std::string_view utf8);
// A handle as the layer keeps it: nullptr, never INVALID_HANDLE_VALUE.
inline HANDLE keep(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Opens `name` below the folder `dir` (NtCreateFile relative to the handle).
Result<UniqueHandle> open_relative(HANDLE dir, std::string_view name, ACCESS_MASK access,
                                   ULONG share, ULONG disposition, ULONG options,
                                   ULONG attributes = 0);
// The NT path of an open folder ("\\??\\C:\\dir").
Result<std::wstring> folder_nt_path(HANDLE dir);

// Times as FILETIME ticks (100 ns since 1601) and back.
std::int64_t join_time(std::int64_t sec, std::int64_t nsec);
DWORD attributes_of_handle(HANDLE h);
Status status_of_handle(HANDLE h, FileStatus& out);
// Sets the attributes (and, when given, the times) of the open file.
Status set_basic_info(HANDLE h, DWORD attributes, const FileStatus* times = nullptr);
// Copies `size` bytes from the position of `in` to that of `out`; ENODATA
// when `in` ends before them.
Status copy_rest(HANDLE in, HANDLE out, std::uint64_t size, ChunkProgress& progress);
// Reads a folder's entries from its handle, from the start.
Result<std::vector<Directory::Entry>> list_handle(HANDLE dir);
// Deletes the plain file `name` below `dir` when nobody has it open: a copy
// in progress (or a staged one) holds its temporary file without sharing, so
// the open for deletion fails there. Never through a reparse point.
bool delete_if_unused(HANDLE dir, std::string_view name);

}  // namespace tarvenix::platform::detail
