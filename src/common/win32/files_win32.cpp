// Files and folders on Windows: open folder handles, entries below them
// opened with NtCreateFile relative to the handle, reparse points never
// followed (see win32_internal.h).

// clang-format off
#include "common/win32/win32_internal.h"
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstring>

#include "common/platform/copy_primitives.h"

// In ntdll, but not declared by every SDK's winternl.h.
extern "C" NTSTATUS NTAPI NtQueryAttributesFile(POBJECT_ATTRIBUTES attributes,
                                                PFILE_BASIC_INFORMATION information);

// Not in every SDK's winerror.h: a write refused because the user's disk
// quota is used up.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif

namespace tarvenix::platform {

using namespace detail;

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

namespace detail {

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
        case ERROR_DISK_QUOTA_EXCEEDED:
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

Error last_error() {
    return Error{errno_from_win32(::GetLastError())};
}

Error error_from_status(NTSTATUS status) {
    return Error{errno_from_win32(::RtlNtStatusToDosError(status))};
}

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

}  // namespace detail

namespace {

// A name as the NT calls take it: below an open folder, or a full NT path.
class NtName {
public:
    NtName(HANDLE dir, std::wstring wide)
        : wide_(std::move(wide)) {
        ustr_.Buffer = wide_.data();
        ustr_.Length =
            static_cast<USHORT>(std::min<std::size_t>(wide_.size(), 32767) * sizeof(wchar_t));
        ustr_.MaximumLength = ustr_.Length;
        InitializeObjectAttributes(&attr_, &ustr_, OBJ_CASE_INSENSITIVE, dir, nullptr);
    }
    NtName(const NtName&) = delete;
    NtName& operator=(const NtName&) = delete;

    // ENOENT for an empty name, ENAMETOOLONG for one the system cannot take.
    int error() const { return wide_.empty() ? ENOENT : wide_.size() > 32767 ? ENAMETOOLONG : 0; }
    OBJECT_ATTRIBUTES* attributes() { return &attr_; }

private:
    std::wstring wide_;
    UNICODE_STRING ustr_{};
    OBJECT_ATTRIBUTES attr_{};
};

// True when the name below `dir` is a reparse point, as the folder's
// listing tells. The handle of an entry opened as itself tells it on
// Windows; wine reports a Linux link to a folder only by name, and only
// for a full path.
bool is_reparse_point_by_name(HANDLE dir, std::string_view name) {
    NtName rel(dir, widen(name));
    FILE_BASIC_INFORMATION info{};
    if (rel.error() != 0) {
        return false;
    }
    if (::NtQueryAttributesFile(rel.attributes(), &info) < 0) {
        auto full = folder_nt_path(dir);
        if (!full) {
            return false;
        }
        NtName absolute(nullptr, *full + L'\\' + widen(name));
        if (::NtQueryAttributesFile(absolute.attributes(), &info) < 0) {
            return false;
        }
    }
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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

// Opens a path; with follow_links=false a reparse point is opened as itself.
Result<UniqueHandle> open_path(const std::string& path, DWORD access, bool follow_links) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    UniqueHandle h(keep(::CreateFileW(native_path(path).c_str(), access, kShareAll, nullptr,
                                      OPEN_EXISTING, flags, nullptr)));
    if (!h.valid()) {
        return last_error();
    }
    return h;
}

Result<FileStatus> status_of(HANDLE h) {
    FileStatus st;
    if (Status read = status_of_handle(h, st); !read) {
        return Error{read.error()};
    }
    return st;
}

}  // namespace

namespace detail {

Result<UniqueHandle> open_relative(HANDLE dir, std::string_view name, ACCESS_MASK access,
                                   ULONG share, ULONG disposition, ULONG options,
                                   ULONG attributes) {
    NtName rel(dir, widen(name));
    if (const int err = rel.error()) {
        return Error{err};
    }
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    const NTSTATUS status =
        ::NtCreateFile(&h, access | SYNCHRONIZE, rel.attributes(), &io, nullptr, attributes, share,
                       disposition, options | kFileSynchronousIoNonalert, nullptr, 0);
    if (status < 0) {
        return error_from_status(status);
    }
    return UniqueHandle(h);
}

Result<std::wstring> folder_nt_path(HANDLE dir) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(dir, buf.data(), static_cast<DWORD>(buf.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) {
            return last_error();
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
    std::wstring out = L"\\??\\" + buf;  // "\\??\\UNC\\server\\share" for a network folder
    while (out.size() > 4 && out.back() == L'\\') {
        out.pop_back();  // a drive root comes with its separator
    }
    return out;
}

std::int64_t join_time(std::int64_t sec, std::int64_t nsec) {
    return (sec + kEpochDifference) * kTicksPerSecond + nsec / 100;
}

DWORD attributes_of_handle(HANDLE h) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return basic.FileAttributes;
}

Status status_of_handle(HANDLE h, FileStatus& out) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        return last_error();
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
    return {};
}

Status set_basic_info(HANDLE h, DWORD attributes, const FileStatus* times) {
    FILE_BASIC_INFO basic{};
    if (times != nullptr) {
        basic.LastWriteTime.QuadPart = join_time(times->mtime_sec, times->mtime_nsec);
        basic.LastAccessTime.QuadPart = join_time(times->atime_sec, times->atime_nsec);
    }
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return checked(::SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic));
}

Result<std::vector<Directory::Entry>> list_handle(HANDLE dir) {
    std::vector<Directory::Entry> out;
    std::vector<std::byte> buf(64 * 1024);
    FILE_INFO_BY_HANDLE_CLASS info_class = FileFullDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(dir, info_class, buf.data(),
                                            static_cast<DWORD>(buf.size()))) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_NO_MORE_FILES) {
                return out;
            }
            return Error{errno_from_win32(code)};
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

bool delete_if_unused(HANDLE dir, std::string_view name) {
    const auto h = open_relative(dir, name, DELETE | FILE_READ_ATTRIBUTES, 0, kFileOpen,
                                 kFileNonDirectoryFile | kFileOpenReparsePoint);
    if (!h) {
        return false;
    }
    FILE_DISPOSITION_INFO gone{TRUE};
    return (attributes_of_handle(h->get()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
           ::SetFileInformationByHandle(h->get(), FileDispositionInfo, &gone, sizeof gone);
}

}  // namespace detail

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

bool is_full_path(std::string_view path) {
    return is_root_path(path.substr(0, 3)) || path.starts_with("\\\\");
}

Result<bool> folder_within(const std::string& inner, const std::string& outer) {
    const auto target = status(outer, true);
    if (!target) {
        return Error{target.error()};
    }
    const auto folder = open_path(inner, FILE_READ_ATTRIBUTES, true);
    if (!folder) {
        return Error{folder.error()};
    }
    // The folder's own path, links and junctions resolved ("\\??\\C:\\x\\S",
    // "\\??\\UNC\\server\\share\\x"): its ancestors are its leading parts,
    // down to the drive's root or the share.
    const auto nt = folder_nt_path(folder->get());
    if (!nt) {
        return Error{nt.error()};
    }
    std::wstring path = L"\\\\?\\" + nt->substr(4);
    const bool share = path.starts_with(L"\\\\?\\UNC\\");
    std::size_t root = share ? path.find(L'\\', path.find(L'\\', 8) + 1) : 6;
    root = std::min(root, path.size());
    for (;;) {
        if (!share && path.size() == root) {
            path += L'\\';  // "\\\\?\\C:" alone names the drive, not its root folder
        }
        const UniqueHandle h(
            keep(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
        FileStatus here;
        if (!h.valid()) {
            return last_error();
        }
        if (Status read = status_of_handle(h.get(), here); !read) {
            return Error{read.error()};
        }
        if (here.device == target->device && here.inode == target->inode) {
            return true;
        }
        const std::size_t sep = path.rfind(L'\\');
        if (path.size() <= root + 1 || sep == std::wstring::npos || sep < root) {
            return false;
        }
        path.resize(sep);
    }
}

Result<FileStatus> status(const std::string& path, bool follow_links) {
    const auto h = open_path(path, FILE_READ_ATTRIBUTES, follow_links);
    if (!h) {
        return Error{h.error()};
    }
    return status_of(h->get());
}

void UniqueHandle::reset(NativeHandle handle) {
    if (handle_ != kInvalidHandle) {
        ::CloseHandle(handle_);
    }
    handle_ = handle;
}

Status UniqueHandle::close() {
    const HANDLE h = release();
    return h != kInvalidHandle ? checked(::CloseHandle(h)) : Status();
}

Result<Directory> Directory::open(const std::string& path) {
    auto h = open_path(
        path, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, true);
    if (!h) {
        return Error{h.error()};
    }
    if ((attributes_of_handle(h->get()) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Error{ENOTDIR};
    }
    return Directory(h->release());
}

Result<Directory> Directory::open_child(std::string_view name) const {
    auto h = open_relative(
        handle_.get(), name, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES, kShareAll,
        kFileOpen, kFileDirectoryFile | kFileOpenForBackupIntent | kFileOpenReparsePoint);
    if (!h) {
        return Error{h.error()};
    }
    if ((attributes_of_handle(h->get()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        is_reparse_point_by_name(handle_.get(), name)) {
        return Error{ELOOP};
    }
    return Directory(h->release());
}

Result<Directory> Directory::open_below(std::string_view relative) const {
    // The relative path starts with a separator ("\a\b"); "" is this folder.
    HANDLE self = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), handle_.get(), ::GetCurrentProcess(), &self, 0,
                           FALSE, DUPLICATE_SAME_ACCESS)) {
        return last_error();
    }
    Result<Directory> current = Directory(self);
    std::size_t pos = 0;
    while (current && pos < relative.size()) {
        const std::size_t start = pos + 1;
        const std::size_t end = std::min(relative.find(kPathSeparator, start), relative.size());
        current = current->open_child(relative.substr(start, end - start));
        pos = end;
    }
    return current;
}

Result<std::vector<Directory::Entry>> Directory::list() const {
    return list_handle(handle_.get());
}

Result<FileStatus> Directory::status_of(std::string_view name, bool follow_links) const {
    const ULONG options = kFileOpenForBackupIntent | (follow_links ? 0 : kFileOpenReparsePoint);
    const auto h =
        open_relative(handle_.get(), name, FILE_READ_ATTRIBUTES, kShareAll, kFileOpen, options);
    if (!h) {
        return Error{h.error()};
    }
    auto st = platform::status_of(h->get());
    if (st && !follow_links && is_reparse_point_by_name(handle_.get(), name)) {
        st->type = EntryType::kSystem;
    }
    return st;
}

Result<FileStatus> Directory::own_status() const {
    return platform::status_of(handle_.get());
}

Status Directory::make_folder(std::string_view name, std::uint32_t /*mode*/) const {
    return open_relative(handle_.get(), name, FILE_LIST_DIRECTORY, kShareAll, kFileCreate,
                         kFileDirectoryFile | kFileOpenForBackupIntent, FILE_ATTRIBUTE_NORMAL)
        .status();
}

Status Directory::set_mode(std::uint32_t /*mode*/) const {
    return {};  // Windows folders have no permission bits
}

Status Directory::sync_file_system() const {
    return {};  // each copy flushed its own file (finish_file)
}

Result<OpenFile> OpenFile::open_at(const Directory& dir, std::string_view name, bool follow_links) {
    const ULONG options = kFileNonDirectoryFile | kFileOpenForBackupIntent |
                          (follow_links ? 0 : kFileOpenReparsePoint);
    auto h = open_relative(dir.native_handle(), name, GENERIC_READ, kShareAll, kFileOpen, options);
    if (!h) {
        if (h.error() == ENOTDIR || h.error() == EACCES) {
            // A folder opened as a file reports "access denied"; say what it is.
            if (const auto st = dir.status_of(name, false); st && st->type == EntryType::kFolder) {
                return Error{EISDIR};
            }
        }
        return Error{h.error()};
    }
    OpenFile file;
    file.handle_ = std::move(*h);
    if (Status read = status_of_handle(file.handle_.get(), file.status_); !read) {
        return Error{read.error()};
    }
    if (!follow_links &&
        (attributes_of_handle(file.handle_.get()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Error{ELOOP};
    }
    return file;
}

Result<std::string> read_file(const std::string& path, std::size_t max_bytes) {
    // Backup semantics open a folder too, so it can be told apart; a device
    // or a pipe opens without waiting and is refused before any read.
    const auto h = open_path(path, GENERIC_READ, true);
    if (!h) {
        return Error{h.error()};
    }
    if (::GetFileType(h->get()) != FILE_TYPE_DISK ||
        (attributes_of_handle(h->get()) & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Error{EINVAL};
    }
    std::string out;
    std::array<char, 64 * 1024> buf;
    while (out.size() < max_bytes) {
        const auto want = static_cast<DWORD>(std::min(buf.size(), max_bytes - out.size()));
        DWORD got = 0;
        if (!::ReadFile(h->get(), buf.data(), want, &got, nullptr)) {
            return last_error();
        }
        if (got == 0) {
            break;
        }
        out.append(buf.data(), got);
    }
    return out;
}

Status make_folder(const std::string& path, std::uint32_t /*mode*/) {
    return checked(::CreateDirectoryW(native_path(path).c_str(), nullptr));
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

std::string viewer_copy_folder() {
    return "";
}

}  // namespace tarvenix::platform
