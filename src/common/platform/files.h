#pragma once

// Files and folders: statuses, open folders and files, listings, making
// folders, reading a file. posix/files_posix.cpp and win32/files_win32.cpp
// implement it; the folder's platform_native.h gives the handle type and
// the path separator.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/platform/result.h"
#include "platform_native.h"

namespace tarvenix::platform {

enum class EntryType : std::uint8_t {
    kFile,     // a regular file
    kFolder,   // a directory
    kLink,     // a symbolic link (not followed; Windows reports none, see kSystem)
    kSystem,   // a FIFO, socket or device, and on Windows any reparse point
               // (symbolic link, junction): never followed nor copied
    kUnknown,  // the listing did not say; ask status()
};

struct FileStatus {
    EntryType type = EntryType::kUnknown;
    std::uint64_t size = 0;
    std::int64_t mtime_sec = 0;
    std::int64_t mtime_nsec = 0;
    std::int64_t atime_sec = 0;
    std::int64_t atime_nsec = 0;
    std::uint64_t allocated = 0;  // bytes the file takes on the disk
    std::uint32_t mode = 0;       // permission bits (0777)
    std::uint64_t device = 0;     // file system the entry lives on
    std::uint64_t inode = 0;
};

// True when the path names the root of a file system: "/" on Linux, a drive
// root such as "C:\\" on Windows.
bool is_root_path(std::string_view path);
// True when the path names its folder from a root: "/..." on Linux; on
// Windows a drive and its separator ("C:\\...") or a network share
// ("\\\\server\\share"). Any other path would be taken from the folder the
// program happens to be started in.
bool is_full_path(std::string_view path);
// A path's folder and last name ("." for a bare name; a name directly under
// a root keeps the root, separator included).
std::pair<std::string, std::string> split_parent(const std::string& path);

// Status of a path. follow_links=false describes a link itself.
Result<FileStatus> status(const std::string& path, bool follow_links);

// Whether the folder `inner` is the folder `outer` or lies anywhere below
// it. Told by the folders' identities (file system and node, the file id on
// Windows) from `inner` up to its root, so a link or a second mount on the
// way to either cannot hide it.
Result<bool> folder_within(const std::string& inner, const std::string& outer);

// Owns one open handle of the operating system and closes it.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(NativeHandle handle)
        : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    NativeHandle get() const { return handle_; }
    bool valid() const { return handle_ != kInvalidHandle; }
    NativeHandle release() {
        const NativeHandle h = handle_;
        handle_ = kInvalidHandle;
        return h;
    }
    void reset(NativeHandle handle = kInvalidHandle);
    // Closes the handle, with the error the close gives (a late write error
    // on some file systems).
    Status close();

private:
    NativeHandle handle_ = kInvalidHandle;
};

// An open folder; the engine works relative to it (openat and friends on
// Linux, NtCreateFile with a root folder on Windows), which saves the kernel
// a path lookup per file and keeps a walk inside the folder it opened even
// when someone renames or swaps folders above it.
class Directory {
public:
    Directory() = default;

    // Opens a folder by path, following links in the path.
    static Result<Directory> open(const std::string& path);
    // Opens a folder below this one by its relative path ("/a/b", "" for
    // this folder itself), refusing a symbolic link anywhere on the way
    // (ELOOP or ENOTDIR; on Windows any reparse point: symbolic links and
    // junctions), so a walk never leaves its tree through one.
    Result<Directory> open_below(std::string_view relative) const;

    bool is_open() const { return handle_.valid(); }
    NativeHandle native_handle() const { return handle_.get(); }

    struct Entry {
        std::string name;
        EntryType type = EntryType::kUnknown;
        // Hidden from the user by the system's rule: a name that starts with
        // "." on Linux, the hidden or the system attribute on Windows.
        bool hidden = false;
    };
    // Every entry but "." and ".." in the order the file system yields them.
    Result<std::vector<Entry>> list() const;

    Result<FileStatus> status_of(std::string_view name, bool follow_links) const;
    Result<FileStatus> own_status() const;
    // Creates the folder `name` with the permission bits given, less the
    // umask (Windows folders have no permission bits: mode is not used).
    Status make_folder(std::string_view name, std::uint32_t mode = 0777) const;
    // Gives this folder the permission bits (0777) given, exactly (Windows
    // folders have none: nothing to do there).
    Status set_mode(std::uint32_t mode) const;
    // Makes the copies in this folder durable: flushes the whole file system
    // that holds it on Linux. Windows offers that only to administrators, so
    // there each copy flushes its own file before it is renamed into place
    // (kEachCopyFlushed) and this has nothing left to do.
    Status sync_file_system() const;

private:
    explicit Directory(NativeHandle handle)
        : handle_(handle) {}
    Result<Directory> open_child(std::string_view name) const;
    UniqueHandle handle_;
};

// A file opened for reading, with its status taken from the open file.
class OpenFile {
public:
    OpenFile() = default;

    // Opens `name` in `dir` for reading. Opening never blocks (a FIFO that
    // slipped in cannot hang the caller); with follow_links=false a symbolic
    // link is refused (ELOOP).
    static Result<OpenFile> open_at(const Directory& dir, std::string_view name, bool follow_links);

    bool is_open() const { return handle_.valid(); }
    NativeHandle native_handle() const { return handle_.get(); }
    const FileStatus& status() const { return status_; }

private:
    UniqueHandle handle_;
    FileStatus status_;
};

// Reads a file from its start, at most max_bytes of it. Only a regular file
// (or a link to one) is read: a folder, FIFO, socket or device is refused with
// EINVAL without being read, and the open never blocks, so neither a FIFO nor
// a link to /dev/zero can hang the caller or fill its memory.
Result<std::string> read_file(const std::string& path,
                              std::size_t max_bytes = static_cast<std::size_t>(-1));

// Creates one folder (its parent must exist) with the permission bits given,
// less the umask (Windows folders have none: mode is not used).
Status make_folder(const std::string& path, std::uint32_t mode = 0777);
// Creates the folder and the missing ones above it, each with `mode`; a
// path that is there already is no failure.
Status make_folders(const std::string& path, std::uint32_t mode);

// True when this process may create files in the folder: the system's own
// answer on Linux (permission bits, ACLs, a read-only mount), a file created
// there and removed again on Windows, whose ACLs only a try answers.
bool folder_writable(const std::string& path);

// The folder where a user's programs keep their settings: $XDG_CONFIG_HOME
// when it is a full path, else ~/.config on Linux; the roaming application
// data folder (%APPDATA%) on Windows. "" when the system does not say.
std::string user_config_folder();

// Where a text file in code page 932 is copied in UTF-8 for the desktop's
// viewer, which reads UTF-8 on Linux: $XDG_CACHE_HOME/tarvenix when it is a
// full path, else ~/.cache/tarvenix. "" on Windows, whose viewers read the
// file as it is, and when the system does not say.
std::string viewer_copy_folder();

}  // namespace tarvenix::platform
