// Windows implementation of the platform layer. Wide (UTF-16) calls only:
// paths and names are UTF-8 in the program and converted here, so Japanese
// names survive whatever the ANSI code page is. Full paths go to the system
// as \\?\ paths, which lifts the 260-character limit.
//
// Folders are open handles, and everything below a folder is opened relative
// to its handle (NtCreateFile with a root directory), never by a path built
// from the folder's name, so a walk stays inside the folder it opened.
// Reparse points (symbolic links, junctions) are opened as themselves and
// never followed below an open folder, and they are never copied: listings
// and statuses report them as kSystem entries, which the engine passes over
// like a device, so no caller has to know the Windows rule.

// <windows.h> comes before the other Windows headers, which rely on it.
// clang-format off
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <winternl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <utility>

#include "common/platform.h"
#include "common/win32/wide_text.h"

// In ntdll, but not declared by every SDK's winternl.h.
extern "C" NTSTATUS NTAPI NtQueryAttributesFile(POBJECT_ATTRIBUTES attributes,
                                                PFILE_BASIC_INFORMATION information);

namespace tarvenix::platform {
namespace {

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

void set_err(int* err, int value) {
    if (err != nullptr) {
        *err = value;
    }
}

// Windows error codes as the errno values the rest of the program knows.
int errno_from_win32(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DELETE_PENDING:
            return ENOENT;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_INVALID_ACCESS:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
            return EDQUOT;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        case ERROR_NOT_READY:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return ENXIO;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return EILSEQ;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        default:
            return EIO;
    }
}

int last_errno() {
    return errno_from_win32(::GetLastError());
}

int errno_from_status(NTSTATUS status) {
    return errno_from_win32(::RtlNtStatusToDosError(status));
}

}  // namespace

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

namespace {

// A full \\?\ path for the system: made absolute, "/" and doubled separators
// resolved the way Windows resolves them, then prefixed so that no length
// limit applies. A path that cannot be resolved goes through unchanged.
std::wstring native_path(std::string_view utf8) {
    const std::wstring wide = widen(utf8);
    if (wide.starts_with(L"\\\\?\\")) {
        return wide;
    }
    const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return wide;
    }
    std::wstring full(n, L'\0');
    const DWORD used = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (used == 0 || used >= n) {
        return wide;
    }
    full.resize(used);
    if (full.starts_with(L"\\\\.\\")) {
        return full;  // a device
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
    }
    return L"\\\\?\\" + full;
}

HANDLE keep(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// A name below an open folder, as the NT calls take it.
class RelativeName {
public:
    RelativeName(HANDLE dir, std::string_view name)
        : wide_(widen(name)) {
        ustr_.Buffer = wide_.data();
        ustr_.Length =
            static_cast<USHORT>(std::min<std::size_t>(wide_.size(), 32767) * sizeof(wchar_t));
        ustr_.MaximumLength = ustr_.Length;
        InitializeObjectAttributes(&attr_, &ustr_, OBJ_CASE_INSENSITIVE, dir, nullptr);
    }
    RelativeName(const RelativeName&) = delete;
    RelativeName& operator=(const RelativeName&) = delete;

    // ENOENT for an empty name, ENAMETOOLONG for one the system cannot take.
    int error() const { return wide_.empty() ? ENOENT : wide_.size() > 32767 ? ENAMETOOLONG : 0; }
    OBJECT_ATTRIBUTES* attributes() { return &attr_; }

private:
    std::wstring wide_;
    UNICODE_STRING ustr_{};
    OBJECT_ATTRIBUTES attr_{};
};

int folder_nt_path(HANDLE dir, std::wstring& out);

// True when the name below `dir` is a reparse point, as the folder's
// listing tells. The handle of an entry opened as itself tells it on
// Windows; wine reports a Linux link to a folder only by name, and only
// for a full path.
bool is_reparse_point_by_name(HANDLE dir, std::string_view name) {
    RelativeName rel(dir, name);
    FILE_BASIC_INFORMATION info{};
    if (rel.error() != 0) {
        return false;
    }
    if (::NtQueryAttributesFile(rel.attributes(), &info) < 0) {
        std::wstring full;
        if (folder_nt_path(dir, full) != 0) {
            return false;
        }
        full += L'\\';
        full += widen(name);
        UNICODE_STRING ustr;
        ustr.Buffer = full.data();
        ustr.Length =
            static_cast<USHORT>(std::min<std::size_t>(full.size(), 32767) * sizeof(wchar_t));
        ustr.MaximumLength = ustr.Length;
        OBJECT_ATTRIBUTES attr;
        InitializeObjectAttributes(&attr, &ustr, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        if (::NtQueryAttributesFile(&attr, &info) < 0) {
            return false;
        }
    }
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens `name` below the folder `dir` (NtCreateFile relative to the handle).
// Returns 0 or an errno value.
int open_relative(HANDLE dir, std::string_view name, ACCESS_MASK access, ULONG share,
                  ULONG disposition, ULONG options, HANDLE* out, ULONG attributes = 0) {
    *out = nullptr;
    RelativeName rel(dir, name);
    if (const int err = rel.error()) {
        return err;
    }
    OBJECT_ATTRIBUTES& attr = *rel.attributes();
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&h, access | SYNCHRONIZE, &attr, &io, nullptr, attributes, share,
                       disposition, options | kFileSynchronousIoNonalert, nullptr, 0);
    if (status < 0) {
        return errno_from_status(status);
    }
    *out = h;
    return 0;
}

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kEpochDifference = 11'644'473'600LL;  // 1601 to 1970, seconds

void split_time(std::int64_t ticks, std::int64_t& sec, std::int64_t& nsec) {
    const std::int64_t since_1601 = ticks / kTicksPerSecond;
    std::int64_t rest = ticks % kTicksPerSecond;
    sec = since_1601 - kEpochDifference;
    if (rest < 0) {
        rest += kTicksPerSecond;
        sec -= 1;
    }
    nsec = rest * 100;
}

std::int64_t join_time(std::int64_t sec, std::int64_t nsec) {
    return (sec + kEpochDifference) * kTicksPerSecond + nsec / 100;
}

std::int64_t filetime_ticks(const FILETIME& ft) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) |
                                     ft.dwLowDateTime);
}

EntryType type_from_attributes(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryType::kSystem;  // never followed nor copied
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryType::kFolder;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return EntryType::kSystem;
    }
    return EntryType::kFile;
}

// Permission bits as Windows has them: the read-only attribute.
std::uint32_t mode_from_attributes(DWORD attributes) {
    const std::uint32_t base = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0777 : 0666;
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? (base & ~0222U) : base;
}

int status_of_handle(HANDLE h, FileStatus& out) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        return last_errno();
    }
    out.type = type_from_attributes(info.dwFileAttributes);
    if (out.type == EntryType::kFile && ::GetFileType(h) != FILE_TYPE_DISK) {
        out.type = EntryType::kSystem;
    }
    out.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    split_time(filetime_ticks(info.ftLastWriteTime), out.mtime_sec, out.mtime_nsec);
    split_time(filetime_ticks(info.ftLastAccessTime), out.atime_sec, out.atime_nsec);
    out.allocated = out.size;
    out.mode = mode_from_attributes(info.dwFileAttributes);
    out.device = info.dwVolumeSerialNumber;
    out.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return 0;
}

DWORD attributes_of_handle(HANDLE h) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return basic.FileAttributes;
}

// Opens a path; with follow_links=false a reparse point is opened as itself.
HANDLE open_path(const std::string& path, DWORD access, bool follow_links, int* err) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE h = keep(::CreateFileW(native_path(path).c_str(), access, kShareAll, nullptr,
                                        OPEN_EXISTING, flags, nullptr));
    set_err(err, h == nullptr ? last_errno() : 0);
    return h;
}

// Reads a folder's entries from its handle, from the start.
int list_handle(HANDLE dir, std::vector<Directory::Entry>& out) {
    out.clear();
    std::vector<std::byte> buf(64 * 1024);
    FILE_INFO_BY_HANDLE_CLASS info_class = FileFullDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(dir, info_class, buf.data(),
                                            static_cast<DWORD>(buf.size()))) {
            const DWORD code = ::GetLastError();
            return code == ERROR_NO_MORE_FILES ? 0 : errno_from_win32(code);
        }
        info_class = FileFullDirectoryInfo;
        std::size_t offset = 0;
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(buf.data() + offset);
            const std::wstring_view wname(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (wname != L"." && wname != L"..") {
                const DWORD a = info->FileAttributes;
                out.push_back(
                    Directory::Entry{narrow(wname), type_from_attributes(a),
                                     (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            offset += info->NextEntryOffset;
        }
    }
}

// The NT path of an open folder ("\\??\\C:\\dir").
int folder_nt_path(HANDLE dir, std::wstring& out) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(dir, buf.data(), static_cast<DWORD>(buf.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return last_errno();
        }
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(n + 1);
    }
    if (buf.starts_with(L"\\\\?\\")) {
        buf.erase(0, 4);
    }
    out = L"\\??\\" + buf;  // "\\??\\UNC\\server\\share" for a network folder
    while (out.size() > 4 && out.back() == L'\\') {
        out.pop_back();  // a drive root comes with its separator
    }
    return 0;
}

// A handle whose file is deleted when it is closed, unless it was renamed
// into place first.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    HANDLE get() const { return handle_.get(); }
    void adopt(HANDLE h) { handle_.reset(h); }
    HANDLE release() { return handle_.release(); }

    // Renames the open file over `target` in `dir`, replacing it. The rename
    // goes through the still open handle, so the file stays ours until it
    // has its name. The target is named by a full NT path made from the
    // folder's handle (wine refuses a rename relative to a root folder).
    int rename_to(HANDLE dir, std::string_view target) {
        std::wstring name;
        if (const int err = folder_nt_path(dir, name)) {
            return err;
        }
        name += L'\\';
        name += widen(target);
        std::vector<std::byte> buf(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
        std::memcpy(info->FileName, name.data(), info->FileNameLength);
        if (!::SetFileInformationByHandle(handle_.get(), FileRenameInfo, info,
                                          static_cast<DWORD>(buf.size()))) {
            return last_errno();
        }
        renamed_ = true;
        return 0;
    }

    // Closes the handle; a file not renamed into place is deleted.
    void discard() {
        if (handle_.valid() && !renamed_) {
            FILE_DISPOSITION_INFO gone{TRUE};
            if (!::SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &gone,
                                              sizeof gone)) {
                // A copy already marked read-only cannot be deleted as it is.
                FILE_BASIC_INFO basic{};
                basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
                ::SetFileInformationByHandle(handle_.get(), FileBasicInfo, &basic, sizeof basic);
                ::SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &gone,
                                             sizeof gone);
            }
        }
        handle_.reset();
    }

private:
    UniqueHandle handle_;
    bool renamed_ = false;
};

int create_temp_named(HANDLE dir, const std::string& name, TempFile& out) {
    HANDLE h = nullptr;
    // No sharing at all: while the copy is written nobody else can open,
    // delete or rename the file, which is how another copier tells it from
    // a dead copy's leftover.
    const int err = open_relative(dir, name, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0,
                                  kFileCreate, kFileNonDirectoryFile, &h, FILE_ATTRIBUTE_NORMAL);
    if (err == 0) {
        out.adopt(h);
    }
    return err;
}

// The temporary file for a target has a name of its own (a hash of the
// target's name). A copy holds its temporary file open without sharing until
// it is renamed into place (a staged copy too, until its batch is renamed),
// so a file of that name that can be opened for deletion is a dead copy's
// leftover (a killed program, a power cut) and is removed; one that is in
// use belongs to a copy in progress, and a random name is used instead. A
// caller that does not hold the folder's copy mark (holds_lock) removes
// nothing, as on Linux.
int create_temp_for(HANDLE dir, bool holds_lock, std::string_view target, TempFile& out) {
    const std::string name = temp_name_for(target);
    int err = create_temp_named(dir, name, out);
    if (err != EEXIST) {
        return err;
    }
    HANDLE leftover = nullptr;
    if (holds_lock &&
        open_relative(dir, name, DELETE | FILE_READ_ATTRIBUTES, 0, kFileOpen,
                      kFileNonDirectoryFile | kFileOpenReparsePoint, &leftover) == 0) {
        // A leftover is removed only when it is a plain file, never through
        // a reparse point standing under its name.
        FILE_DISPOSITION_INFO gone{TRUE};
        const bool removed =
            (attributes_of_handle(leftover) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            ::SetFileInformationByHandle(leftover, FileDispositionInfo, &gone, sizeof gone);
        ::CloseHandle(leftover);
        if (removed && (err = create_temp_named(dir, name, out)) != EEXIST) {
            return err;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        if ((err = create_temp_named(dir, random_temp_name(), out)) != EEXIST) {
            return err;
        }
    }
    return EEXIST;
}

int write_all(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
        DWORD written = 0;
        if (!::WriteFile(h, data, chunk, &written, nullptr)) {
            return last_errno();
        }
        data += written;
        size -= written;
    }
    return 0;
}

// Copies `size` bytes from the position of `in` to that of `out`: the file's
// contents as they stood when it was opened (a file that grows meanwhile is
// copied up to its size at that moment; one that shrinks fails the copy with
// ENODATA rather than give a short copy). After each kCopyChunkBytes the
// caller is called back; its false stops the copy (ECANCELED).
int copy_data(HANDLE in, HANDLE out, std::uint64_t size,
              const std::function<bool()>& between_chunks = {}) {
    std::vector<char> buf(1024 * 1024);
    std::uint64_t left = size;
    std::uint64_t since_call = 0;
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, buf.size()));
        DWORD got = 0;
        if (!::ReadFile(in, buf.data(), want, &got, nullptr)) {
            return last_errno();
        }
        if (got == 0) {
            return ENODATA;  // the file shrank while we copied it
        }
        if (const int err = write_all(out, buf.data(), got)) {
            return err;
        }
        left -= got;
        since_call += got;
        if (since_call >= kCopyChunkBytes) {
            since_call = 0;
            if (between_chunks && !between_chunks()) {
                return ECANCELED;
            }
        }
    }
    return 0;
}

int set_attributes(HANDLE h, DWORD attributes);

// Renames the finished temporary file over `target` in `dir`. Windows
// refuses to replace a read-only file (wine does not): the old copy's
// attribute is cleared for the rename and put back when the rename still
// fails, so a failure leaves the old copy as it was.
int rename_replacing(HANDLE dir, std::string_view target, TempFile& out) {
    int err = out.rename_to(dir, target);
    if (err != EACCES) {
        return err;
    }
    HANDLE h = nullptr;
    if (open_relative(dir, target, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                      kFileOpen, kFileOpenForBackupIntent | kFileOpenReparsePoint, &h) != 0) {
        return err;
    }
    UniqueHandle old(h);
    const DWORD attributes = attributes_of_handle(h);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        set_attributes(h, attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0) {
        return err;
    }
    old.reset();  // an open file cannot be replaced
    if ((err = out.rename_to(dir, target)) != 0 &&
        open_relative(dir, target, FILE_WRITE_ATTRIBUTES, kShareAll, kFileOpen,
                      kFileOpenForBackupIntent | kFileOpenReparsePoint, &h) == 0) {
        set_attributes(h, attributes);
        ::CloseHandle(h);
    }
    return err;
}

int set_attributes(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) ? 0 : last_errno();
}

// Sets the times and the read-only attribute of the open file.
int set_times_and_attributes(HANDLE h, const FileStatus& st, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.LastWriteTime.QuadPart = join_time(st.mtime_sec, st.mtime_nsec);
    basic.LastAccessTime.QuadPart = join_time(st.atime_sec, st.atime_nsec);
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) ? 0 : last_errno();
}

std::string narrow_folder(const wchar_t* buffer, UINT length) {
    return length == 0 ? std::string() : narrow(std::wstring_view(buffer, length));
}

}  // namespace

std::pair<std::string, std::string> split_parent(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    if (sep == std::string::npos) {
        return {".", path};
    }
    std::string parent = path.substr(0, sep);
    if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) {
        parent += '\\';  // a root keeps its separator: "C:" alone is a current folder
    }
    return {parent, path.substr(sep + 1)};
}

bool is_root_path(std::string_view path) {
    return path.size() == 3 && path[1] == ':' && path[2] == '\\' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::optional<FileStatus> status(const std::string& path, bool follow_links, int* err) {
    UniqueHandle h(open_path(path, FILE_READ_ATTRIBUTES, follow_links, err));
    if (!h.valid()) {
        return std::nullopt;
    }
    FileStatus st;
    if (const int e = status_of_handle(h.get(), st)) {
        set_err(err, e);
        return std::nullopt;
    }
    return st;
}

int raise_open_file_limit() {
    return 0;  // a process may hold millions of handles: nothing to raise
}

std::size_t open_files_available() {
    return std::size_t{1} << 20;
}

void UniqueHandle::reset(NativeHandle handle) {
    if (handle_ != kInvalidHandle) {
        ::CloseHandle(handle_);
    }
    handle_ = handle;
}

Directory Directory::open(const std::string& path, int* err) {
    HANDLE h = open_path(
        path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, true, err);
    if (h != nullptr && (attributes_of_handle(h) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(h);
        set_err(err, ENOTDIR);
        return Directory();
    }
    return Directory(h);
}

Directory Directory::open_child(std::string_view name, int* err) const {
    HANDLE h = nullptr;
    int e = open_relative(
        fd_.get(), name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kShareAll,
        kFileOpen, kFileDirectoryFile | kFileOpenForBackupIntent | kFileOpenReparsePoint, &h);
    if (e == 0 && ((attributes_of_handle(h) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                   is_reparse_point_by_name(fd_.get(), name))) {
        ::CloseHandle(h);
        h = nullptr;
        e = ELOOP;
    }
    set_err(err, e);
    return Directory(h);
}

Directory Directory::open_below(std::string_view relative, int* err) const {
    // The relative path starts with a separator ("\a\b"); "" is this folder.
    HANDLE self = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), fd_.get(), ::GetCurrentProcess(), &self, 0, FALSE,
                           DUPLICATE_SAME_ACCESS)) {
        set_err(err, last_errno());
        return Directory();
    }
    Directory current(self);
    set_err(err, 0);
    std::size_t pos = 0;
    while (current.is_open() && pos < relative.size()) {
        const std::size_t start = pos + 1;
        const std::size_t end = std::min(relative.find(kPathSeparator, start), relative.size());
        current = current.open_child(relative.substr(start, end - start), err);
        pos = end;
    }
    return current;
}

int Directory::list(std::vector<Entry>& out) const {
    return list_handle(fd_.get(), out);
}

std::optional<FileStatus> Directory::status_of(std::string_view name, bool follow_links,
                                               int* err) const {
    HANDLE h = nullptr;
    const ULONG options = kFileOpenForBackupIntent | (follow_links ? 0 : kFileOpenReparsePoint);
    int e = open_relative(fd_.get(), name, FILE_READ_ATTRIBUTES, kShareAll, kFileOpen, options, &h);
    FileStatus st;
    if (e == 0) {
        e = status_of_handle(h, st);
        ::CloseHandle(h);
        if (e == 0 && !follow_links && is_reparse_point_by_name(fd_.get(), name)) {
            st.type = EntryType::kSystem;
        }
    }
    set_err(err, e);
    return e == 0 ? std::optional<FileStatus>(st) : std::nullopt;
}

std::optional<FileStatus> Directory::own_status(int* err) const {
    FileStatus st;
    const int e = status_of_handle(fd_.get(), st);
    set_err(err, e);
    return e == 0 ? std::optional<FileStatus>(st) : std::nullopt;
}

int Directory::make_folder(std::string_view name, std::uint32_t /*mode*/) const {
    HANDLE h = nullptr;
    const int err =
        open_relative(fd_.get(), name, FILE_LIST_DIRECTORY, kShareAll, kFileCreate,
                      kFileDirectoryFile | kFileOpenForBackupIntent, &h, FILE_ATTRIBUTE_NORMAL);
    if (h != nullptr) {
        ::CloseHandle(h);
    }
    return err;
}

int Directory::set_mode(std::uint32_t /*mode*/) const {
    return 0;  // Windows folders have no permission bits
}

int Directory::hold_copy_lock() const {
    // Nothing to take: each temporary file's own exclusive handle marks it
    // as in use (see create_temp_for), so the mark is always there.
    copy_lock_ = true;
    return 0;
}

int Directory::sync_file_system() const {
    return 0;
}

namespace {
// Deletes the plain file `name` below `dir` when nobody has it open: a copy
// in progress (or a staged one) holds its temporary file without sharing, so
// the open for deletion fails there. Never through a reparse point.
bool delete_if_unused(HANDLE dir, std::string_view name) {
    HANDLE h = nullptr;
    if (open_relative(dir, name, DELETE | FILE_READ_ATTRIBUTES, 0, kFileOpen,
                      kFileNonDirectoryFile | kFileOpenReparsePoint, &h) != 0) {
        return false;
    }
    FILE_DISPOSITION_INFO gone{TRUE};
    const bool removed = (attributes_of_handle(h) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                         ::SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
    ::CloseHandle(h);
    return removed;
}
}  // namespace

void Directory::remove_leftover_temp_files() const {
    std::vector<Entry> entries;
    if (!copy_lock_ || list_handle(fd_.get(), entries) != 0) {
        return;
    }
    for (const auto& entry : entries) {
        if (entry.name.starts_with(kTempPrefix)) {
            delete_if_unused(fd_.get(), entry.name);
        }
    }
}

int Directory::time_step_seconds() const {
    // 2001-01-01 00:00:01 UTC: an odd second, far from now. FAT keeps it
    // a second off, whichever way it rounds (Windows up, Linux down).
    FileStatus probe;
    probe.mtime_sec = probe.atime_sec = 978307201;
    std::string name = random_temp_name();
    TempFile out;
    if (create_temp_named(fd_.get(), name, out) != 0) {
        return 1;
    }
    // Renamed as every copy is, and read back once closed.
    const std::string moved = random_temp_name();
    if (set_times_and_attributes(out.get(), probe, FILE_ATTRIBUTE_NORMAL) != 0 ||
        out.rename_to(fd_.get(), moved) != 0) {
        return 1;  // out deletes the file
    }
    out.discard();
    const auto st = status_of(moved, false);
    delete_if_unused(fd_.get(), moved);
    if (!st) {
        return 1;
    }
    const double off = std::abs(static_cast<double>(st->mtime_sec - probe.mtime_sec) +
                                static_cast<double>(st->mtime_nsec - probe.mtime_nsec) / 1e9);
    return off < 1.0 ? 1 : off < 2.0 ? 2 : 0;
}

std::vector<int> Directory::coinciding_names(const std::vector<std::string>& names) const {
    std::vector<int> same(names.size(), -1);
    std::deque<TempFile> made;  // deleted when closed, at the end
    const std::string base = random_temp_name() + "-";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string probe = base + names[i];
        if (i > 0) {
            if (const auto st = status_of(probe, false)) {
                // Each probe's size is its index + 1.
                same[i] = static_cast<int>(
                    std::min<std::uint64_t>(std::max<std::uint64_t>(st->size, 1) - 1, i - 1));
                continue;
            }
        }
        TempFile& file = made.emplace_back();
        if (const int err = create_temp_named(fd_.get(), probe, file)) {
            // A name too long for a probe cannot be told: the first name's.
            same[i] = i > 0 && (err == ENAMETOOLONG || err == EILSEQ) ? 0 : -1;
            continue;
        }
        FILE_END_OF_FILE_INFO size{};
        size.EndOfFile.QuadPart = static_cast<LONGLONG>(i + 1);
        if (!::SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &size, sizeof size) &&
            i > 0) {
            same[i] = 0;
        }
    }
    return same;
}

bool is_locked_by_other_process(NativeHandle handle) {
    // Sharing reading only, a second open fails while any other open of the
    // file may write or delete it: another program is using it.
    const HANDLE probe = keep(::ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ, 0));
    if (probe == nullptr) {
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    }
    ::CloseHandle(probe);
    return false;
}

OpenFile OpenFile::open_at(const Directory& dir, std::string_view name, bool follow_links,
                           int* err) {
    OpenFile file;
    HANDLE h = nullptr;
    const ULONG options = kFileNonDirectoryFile | kFileOpenForBackupIntent |
                          (follow_links ? 0 : kFileOpenReparsePoint);
    int e =
        open_relative(dir.native_handle(), name, GENERIC_READ, kShareAll, kFileOpen, options, &h);
    if (e == ENOTDIR || e == EACCES) {
        // A folder opened as a file reports "access denied"; say what it is.
        if (const auto st = dir.status_of(name, false); st && st->type == EntryType::kFolder) {
            e = EISDIR;
        }
    }
    if (e != 0) {
        set_err(err, e);
        return file;
    }
    file.fd_.reset(h);
    if ((e = status_of_handle(h, file.status_)) == 0 && !follow_links &&
        (attributes_of_handle(h) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        e = ELOOP;
    }
    if (e != 0) {
        file.fd_.reset();
    }
    set_err(err, e);
    return file;
}

int copy_open_file(const OpenFile& source, const Directory& dst_dir, std::string_view dst_name,
                   const CopyOptions& options) {
    if (const int err = check_copy_source(source, options)) {
        return err;
    }
    const FileStatus& st = source.status();
    if (!options.target_known_absent) {
        HANDLE h = nullptr;
        const int err =
            open_relative(dst_dir.native_handle(), dst_name, FILE_READ_ATTRIBUTES, kShareAll,
                          kFileOpen, kFileOpenForBackupIntent | kFileOpenReparsePoint, &h);
        if (err == 0) {
            const DWORD attributes = attributes_of_handle(h);
            ::CloseHandle(h);
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                return EISDIR;
            }
            if (options.refuse_read_only_target && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
                return EACCES;
            }
        } else if (err != ENOENT) {
            return err;
        }
    }

    TempFile out;
    if (const int err =
            create_temp_for(dst_dir.native_handle(), dst_dir.holds_copy_lock(), dst_name, out)) {
        return err;
    }
    LARGE_INTEGER start{};
    ::SetFilePointerEx(source.native_handle(), start, nullptr, FILE_BEGIN);
    int err = copy_data(source.native_handle(), out.get(), st.size, options.between_chunks);
    const DWORD attributes =
        (st.mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (err == 0) {
        err = set_times_and_attributes(out.get(), st, attributes);
    }
    // No file system flush without administrator rights on Windows: each
    // copy is flushed before it is staged, so a batch's renames only ever
    // put flushed copies in place.
    if (err == 0 && !::FlushFileBuffers(out.get())) {
        err = last_errno();
    }
    if (err != 0) {
        return err;  // out removes the temporary file
    }
    StagedCopy staged;
    staged.dir_ = dst_dir.native_handle();
    staged.target_ = std::string(dst_name);
    staged.file_.reset(out.release());
    if (options.staged != nullptr) {
        *options.staged = std::move(staged);
        return 0;
    }
    return staged.commit();
}

StagedCopy::StagedCopy(StagedCopy&& other) noexcept
    : dir_(std::exchange(other.dir_, kInvalidHandle))
    , temp_(std::move(other.temp_))
    , target_(std::move(other.target_))
    , file_(std::move(other.file_)) {}

StagedCopy& StagedCopy::operator=(StagedCopy&& other) noexcept {
    if (this != &other) {
        discard();
        dir_ = std::exchange(other.dir_, kInvalidHandle);
        temp_ = std::move(other.temp_);
        target_ = std::move(other.target_);
        file_ = std::move(other.file_);
    }
    return *this;
}

int StagedCopy::commit() {
    if (!pending()) {
        return EINVAL;
    }
    // The rename goes through the still open handle; a copy that cannot be
    // renamed is deleted when the handle closes.
    TempFile out;
    out.adopt(file_.release());
    const int err = rename_replacing(std::exchange(dir_, kInvalidHandle), target_, out);
    out.discard();
    return err;
}

void StagedCopy::discard() {
    if (pending()) {
        TempFile out;
        out.adopt(file_.release());
        dir_ = kInvalidHandle;
    }
}

int copy_link_at(const Directory& /*src_dir*/, std::string_view /*src_name*/,
                 const Directory& /*dst_dir*/, std::string_view /*dst_name*/) {
    // Windows lists no links (reparse points are kSystem entries, never
    // copied): nothing here is a link to copy.
    return EINVAL;
}

int read_file(const std::string& path, std::string& out, std::size_t max_bytes) {
    out.clear();
    // Backup semantics open a folder too, so it can be told apart; a device
    // or a pipe opens without waiting and is refused before any read.
    UniqueHandle h(keep(::CreateFileW(native_path(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    if (!h.valid()) {
        return last_errno();
    }
    if (::GetFileType(h.get()) != FILE_TYPE_DISK ||
        (attributes_of_handle(h.get()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EINVAL;
    }
    std::array<char, 64 * 1024> buf;
    while (out.size() < max_bytes) {
        const auto want = static_cast<DWORD>(std::min(buf.size(), max_bytes - out.size()));
        DWORD got = 0;
        if (!::ReadFile(h.get(), buf.data(), want, &got, nullptr)) {
            return last_errno();
        }
        if (got == 0) {
            return 0;
        }
        out.append(buf.data(), got);
    }
    return 0;
}

int replace_file_contents(const std::string& path, std::string_view bytes, bool keep_old_tail) {
    const auto [parent, name] = split_parent(path);
    int err = 0;
    const Directory dir = Directory::open(parent, &err);
    if (!dir.is_open()) {
        return err;
    }
    // The new file keeps the old one's read-only attribute; anything but a
    // regular file (a folder, a device) is never renamed over.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    const auto old = dir.status_of(name, true);
    if (old && old->type != EntryType::kFile) {
        return EINVAL;
    }
    if (old) {
        attributes = (old->mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    }
    TempFile out;
    if ((err = create_temp_for(dir.native_handle(), true, name, out)) != 0) {
        return err;
    }
    err = write_all(out.get(), bytes.data(), bytes.size());
    if (err == 0 && keep_old_tail && old && old->size > bytes.size()) {
        // The old bytes past the new ones, read in pieces from the old file.
        HANDLE in = nullptr;
        err = open_relative(dir.native_handle(), name, GENERIC_READ, kShareAll, kFileOpen,
                            kFileNonDirectoryFile, &in);
        if (err == 0) {
            UniqueHandle old_file(in);
            LARGE_INTEGER from{};
            from.QuadPart = static_cast<LONGLONG>(bytes.size());
            err = ::SetFilePointerEx(in, from, nullptr, FILE_BEGIN)
                      ? copy_data(in, out.get(), old->size - bytes.size())
                      : last_errno();
        }
    }
    if (err == 0 && attributes != FILE_ATTRIBUTE_NORMAL) {
        err = set_attributes(out.get(), attributes);
    }
    if (err == 0 && !::FlushFileBuffers(out.get())) {
        err = last_errno();
    }
    if (err == 0) {
        err = rename_replacing(dir.native_handle(), name, out);
    }
    out.discard();
    return err;
}

int append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line) {
    UniqueHandle h(keep(::CreateFileW(native_path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!h.valid()) {
        return last_errno();
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h.get(), &size)) {
        return last_errno();
    }
    std::string data;
    if (start_on_new_line && size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char ch = '\n';
        DWORD got = 0;
        if (::SetFilePointerEx(h.get(), last, nullptr, FILE_BEGIN) &&
            ::ReadFile(h.get(), &ch, 1, &got, nullptr) && got == 1 && ch != '\n') {
            data = "\r\n";
        }
    }
    data.append(bytes);
    if (!::SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN)) {
        return last_errno();
    }
    if (const int err = write_all(h.get(), data.data(), data.size())) {
        // Take back what a failed write left, so the file ends where it did.
        ::SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(h.get());
        return err;
    }
    return ::CloseHandle(h.release()) ? 0 : last_errno();
}

int make_folder(const std::string& path, std::uint32_t /*mode*/) {
    return ::CreateDirectoryW(native_path(path).c_str(), nullptr) ? 0 : last_errno();
}

bool folder_writable(const std::string& path) {
    // A file of a name no copier uses, removed when its handle closes.
    const std::wstring probe = native_path(path + "\\" + random_temp_name());
    const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(h);
    return true;
}

std::string user_config_folder() {
    PWSTR folder = nullptr;
    std::string utf8;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder))) {
        utf8 = narrow(folder);
    }
    ::CoTaskMemFree(folder);
    return utf8;
}

OsVersion os_version() {
    // GetVersionExW answers 6.2 to programs without a compatibility manifest;
    // ntdll's RtlGetVersion tells the truth.
    OsVersion v;
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtl_get_version != nullptr && rtl_get_version(&info) == 0) {
        v.major = static_cast<int>(info.dwMajorVersion);
        v.minor = static_cast<int>(info.dwMinorVersion);
        v.build = static_cast<int>(info.dwBuildNumber);
        v.platform_id = static_cast<int>(info.dwPlatformId);
    }
    return v;
}

double monotonic_seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

LocalDateTime local_now() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return LocalDateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

double seconds_since_midnight() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
}

std::string executable_folder() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return "";  // the system cannot tell
        }
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    std::string exe = narrow(buf);
    if (exe.starts_with("\\\\?\\UNC\\")) {
        exe = "\\\\" + exe.substr(8);  // \\?\UNC\server\share -> \\server\share
    } else if (exe.starts_with("\\\\?\\")) {
        exe.erase(0, 4);
    }
    return split_parent(exe).first;
}

namespace {
// Set by the console's control handler, which runs on a thread of its own;
// taken by termination_requested() on the program's thread.
std::atomic<bool> g_termination_requested{false};

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_termination_requested = true;
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process as soon as this handler returns:
            // it waits while the program runs its shut-down sequence, which
            // ends the process (or the system does, after its grace period).
            g_termination_requested = true;
            ::Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}
}  // namespace

int watch_termination_signals() {
    if (!::SetConsoleCtrlHandler(on_console_event, TRUE)) {
        errno = last_errno();
        return -1;
    }
    return 0;  // nothing to watch: the front end asks termination_requested()
}

bool termination_requested() {
    return g_termination_requested.exchange(false);
}

std::string system_folder() {
    std::array<wchar_t, MAX_PATH + 1> buf{};
    return narrow_folder(buf.data(), ::GetWindowsDirectoryW(buf.data(), MAX_PATH));
}

std::string system_library_folder() {
    std::array<wchar_t, MAX_PATH + 1> buf{};
    return narrow_folder(buf.data(), ::GetSystemDirectoryW(buf.data(), MAX_PATH));
}

int spawn_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return EINVAL;
    }
    // One command line, each argument quoted the way the C runtime splits it.
    std::wstring line;
    for (const auto& arg : argv) {
        if (!line.empty()) {
            line += L' ';
        }
        line += L'"';
        std::size_t backslashes = 0;
        for (const wchar_t ch : widen(arg)) {
            if (ch == L'\\') {
                ++backslashes;
                continue;
            }
            line.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            line += ch;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &si,
                          &pi)) {
        return last_errno();
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return 0;
}

}  // namespace tarvenix::platform
