#pragma once

// The thin layer over the operating system. Everything the program asks of
// the OS goes through these declarations; posix/platform_posix.cpp implements
// them for Linux, win32/platform_win32.cpp for Windows (CMake picks the
// folder, whose platform_native.h gives the handle type and the path
// separator). Errors come back as errno values (0 = success) so callers
// decide how to tell the user; the Windows layer maps its error codes onto
// them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ports.h"
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
// A path's folder and last name ("." for a bare name; a name directly under
// a root keeps the root, separator included).
std::pair<std::string, std::string> split_parent(const std::string& path);

// Status of a path. follow_links=false describes a link itself.
std::optional<FileStatus> status(const std::string& path, bool follow_links, int* err = nullptr);

// Open files: the program raises its own soft limit to the hard one at start
// (as long-running programs do: the default 1024, or 256 under some shells,
// is a relic of select()); on Windows there is no such limit. Returns 0 or
// an errno value.
int raise_open_file_limit();
// How many more files and folders the process can hold open now (its limit
// less what it holds); very large where the system sets no such limit.
std::size_t open_files_available();

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
    static Directory open(const std::string& path, int* err);
    // Opens the sub-folder `name` of this folder; a symbolic link there is
    // refused (ELOOP/ENOTDIR; on Windows any reparse point: symbolic links
    // and junctions), so a walk never leaves its tree through one.
    Directory open_child(std::string_view name, int* err) const;
    // Opens a folder below this one by its relative path ("/a/b", "" for
    // this folder itself), refusing a symbolic link anywhere on the way.
    Directory open_below(std::string_view relative, int* err) const;

    bool is_open() const { return fd_.valid(); }
    NativeHandle native_handle() const { return fd_.get(); }

    struct Entry {
        std::string name;
        EntryType type = EntryType::kUnknown;
        // Hidden from the user by the system's rule: a name that starts with
        // "." on Linux, the hidden or the system attribute on Windows.
        bool hidden = false;
    };
    // Every entry but "." and ".." in the order the file system yields them.
    int list(std::vector<Entry>& out) const;

    std::optional<FileStatus> status_of(std::string_view name, bool follow_links,
                                        int* err = nullptr) const;
    std::optional<FileStatus> own_status(int* err = nullptr) const;
    // Creates the folder `name` with the permission bits given, less the
    // umask (Windows folders have no permission bits: mode is not used).
    int make_folder(std::string_view name, std::uint32_t mode = 0777) const;
    // Gives this folder the permission bits (0777) given, exactly (Windows
    // folders have none: nothing to do there).
    int set_mode(std::uint32_t mode) const;
    // Marks this folder as being copied into, until the handle is closed;
    // see copy_open_file for what the mark protects. Never waits: when
    // another program holds the folder locked exclusively (EWOULDBLOCK), the
    // folder is copied into without the mark, and copies made here then
    // never remove another program's temporary files. (On Windows the
    // temporary file's own handle is the mark: the folder needs none.)
    int hold_copy_lock() const;
    bool holds_copy_lock() const { return copy_lock_; }
    // Makes the copies in this folder durable: flushes the whole file system
    // that holds it on Linux. Windows offers that only to administrators, so
    // there each copy flushes its own file before it is renamed into place.
    int sync_file_system() const;
    // Removes the temporary files (kTempPrefix) that dead copies left in this
    // folder, and nothing else: on Linux only while this handle holds the
    // copy lock and can take it exclusively (nobody else copies here, and no
    // other handle of this program holds staged copies here); on Windows a
    // file still open for a copy (a live copier's, or a staged copy of this
    // program) cannot be opened for deletion and stays.
    void remove_leftover_temp_files() const;
    // The step, in whole seconds, in which this folder's file system keeps
    // modification times, learned from a temporary file given the time of
    // an odd second and read back after a rename, as a copy does: 1 for a
    // second or finer (ext4, NTFS, exFAT), 2 for FAT (rounded down by Linux,
    // up by Windows), 0 when the time set is not kept at all (fusefat keeps
    // the time of the last change). 1 when it cannot be told (the folder
    // cannot be written).
    int time_step_seconds() const;
    // For names that might be one entry in a folder that does not tell case
    // apart: for each, the index of an earlier name that names the same
    // entry here, or -1. Asked of the folder itself, with temporary files
    // named after them; a name it cannot make such a file for (too long)
    // counts as the first name's.
    std::vector<int> coinciding_names(const std::vector<std::string>& names) const;

private:
    explicit Directory(NativeHandle fd)
        : fd_(fd) {}
    UniqueHandle fd_;
    // A failed lock conversion can drop the lock (see copy_open_file).
    mutable bool copy_lock_ = false;
};

// A file opened for reading, with its status taken from the open file.
class OpenFile {
public:
    OpenFile() = default;

    // Opens `name` in `dir` for reading. Opening never blocks (a FIFO that
    // slipped in cannot hang the caller); with follow_links=false a symbolic
    // link is refused (ELOOP).
    static OpenFile open_at(const Directory& dir, std::string_view name, bool follow_links,
                            int* err);

    bool is_open() const { return fd_.valid(); }
    NativeHandle native_handle() const { return fd_.get(); }
    const FileStatus& status() const { return status_; }

private:
    UniqueHandle fd_;
    FileStatus status_;
};

class StagedCopy;

struct CopyOptions {
    // Refuse (EACCES) when the existing target has no write permission bit,
    // whoever we run as. Otherwise a read-only old copy is replaced like any
    // other: the rename needs only the folder's write permission.
    bool refuse_read_only_target = false;
    // Refuse (EBUSY) when another process holds a lock on the source.
    bool refuse_locked_source = false;
    // Follow a symbolic link that stands where the source is.
    bool follow_source_link = true;
    // The caller knows nothing stands at the target (it made the folder in
    // this run), so the target need not be examined first.
    bool target_known_absent = false;
    // Called after each chunk of a large file's data (kCopyChunkBytes); an
    // answer of false stops the copy (ECANCELED), which removes the
    // temporary file and leaves the target as it was.
    std::function<bool()> between_chunks;
    // When given, the finished copy stays in its temporary file and is
    // handed over here instead of being renamed into place, so a caller can
    // flush many copies to the disk at once before it renames them.
    StagedCopy* staged = nullptr;
};

inline constexpr std::uint64_t kCopyChunkBytes = 16 * 1024 * 1024;

// A complete copy in its temporary file, waiting to be renamed over its
// target. The folder it lives in must stay open until then; destroying a
// pending copy removes its temporary file.
class StagedCopy {
public:
    StagedCopy() = default;
    ~StagedCopy() { discard(); }
    StagedCopy(StagedCopy&& other) noexcept;
    StagedCopy& operator=(StagedCopy&& other) noexcept;
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;

    bool pending() const { return dir_ != kInvalidHandle; }
    // Renames the copy over its target; on failure the temporary file is
    // removed and the target left as it was.
    int commit();
    // Removes the temporary file.
    void discard();

private:
    friend int copy_open_file(const OpenFile&, const Directory&, std::string_view,
                              const CopyOptions&);
    NativeHandle dir_ = kInvalidHandle;  // borrowed from the folder's Directory
    std::string temp_;
    std::string target_;
    // The temporary file, held open until the rename on Windows: its
    // exclusive handle is what tells another copier it is no leftover.
    UniqueHandle file_;
};

// Prefix of the temporary files a copy writes before it renames them into
// place. It starts with "." so listings never take them for the user's files.
inline constexpr std::string_view kTempPrefix = ".tarvenix-tmp-";

// The temporary name every copier of `target` tries first: the same name for
// the same target, so the next copy finds a dead copy's leftover under it.
std::string temp_name_for(std::string_view target);
// A name no other copier picks, for when the usual one belongs to a live copy.
std::string random_temp_name();

// What every copy checks first: the source is a file (EISDIR, EINVAL) and,
// when asked, no other program is using it (EBUSY).
int check_copy_source(const OpenFile& source, const CopyOptions& options);

// Copies an open regular file to dst_name in dst_dir: the data goes into a new
// temporary file in dst_dir, which takes the source's permission bits and
// modification time and is then renamed over the target. A failure at any
// point removes the temporary file and leaves an existing target untouched;
// a link standing where the target is gets replaced, never written through.
// The caller holds dst_dir's copy lock (hold_copy_lock) while it copies: it
// tells other programs that temporary files there are in use, not leftovers.
int copy_open_file(const OpenFile& source, const Directory& dst_dir, std::string_view dst_name,
                   const CopyOptions& options);

// Copies the symbolic link src_name of src_dir as a link (its target text,
// never followed, and its own modification time) to dst_name in dst_dir,
// replacing by rename whatever file or link stands there (EISDIR for a
// folder).
int copy_link_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                 std::string_view dst_name);

// The same, opening src_name in src_dir first.
int copy_file_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                 std::string_view dst_name, const CopyOptions& options);

// The same with full paths.
int copy_file(const std::string& src_path, const std::string& dst_path, const CopyOptions& options);

// True when another process is using the open file: on Linux when it holds a
// flock or a POSIX/OFD record lock (a file that is merely open, without a
// lock, is invisible); on Windows when it has the file open for writing or
// deleting (a sharing violation on a second open that shares reading only).
bool is_locked_by_other_process(NativeHandle handle);

// Reads a file from its start, at most max_bytes of it. Only a regular file
// (or a link to one) is read: a folder, FIFO, socket or device is refused with
// EINVAL without being read, and the open never blocks, so neither a FIFO nor
// a link to /dev/zero can hang the caller or fill its memory.
int read_file(const std::string& path, std::string& out,
              std::size_t max_bytes = static_cast<std::size_t>(-1));

// Replaces the file's contents as one step: the bytes go to a temporary file
// in the same folder, are flushed to the disk and renamed over the file, so a
// failure or a crash leaves either the old or the new file, never a mix. With
// keep_old_tail, the old file's bytes past the length of the new ones stay
// (copied in pieces, never held in memory). A target that exists and is not
// a regular file is refused with EINVAL and left alone.
int replace_file_contents(const std::string& path, std::string_view bytes,
                          bool keep_old_tail = false);

// Appends bytes at the end of the file (creating it). With start_on_new_line,
// a file whose last byte is not a line feed first gets "\r\n", so the new text
// never continues a line a crash or a full disk left unfinished. A write that
// fails part-way is cut back off, leaving the file as it was.
int append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line);

// Creates one folder (its parent must exist) with the permission bits given,
// less the umask (Windows folders have none: mode is not used).
int make_folder(const std::string& path, std::uint32_t mode = 0777);

// True when this process may create files in the folder: the system's own
// answer on Linux (permission bits, ACLs, a read-only mount), a file created
// there and removed again on Windows, whose ACLs only a try answers.
bool folder_writable(const std::string& path);

// The folder where a user's programs keep their settings: $XDG_CONFIG_HOME
// when it is a full path, else ~/.config on Linux; the roaming application
// data folder (%APPDATA%) on Windows. "" when the system does not say.
std::string user_config_folder();

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int platform_id = 0;
};
OsVersion os_version();

double monotonic_seconds();
LocalDateTime local_now();
double seconds_since_midnight();

// The folder that holds the running executable, without a trailing separator, as
// the bytes the file system holds (a name that is not UTF-8 stays as it is,
// so the folder can still be used); "" when the system cannot tell.
std::string executable_folder();

// Termination requests from the system (SIGTERM, SIGINT, SIGHUP): once
// watched, each such signal makes the returned handle readable instead of
// ending the program; the front end watches the handle in its event loop and
// calls termination_requested() to take what arrived. Returns -1 (errno
// set) when the signals cannot be watched. On Windows the requests are the
// console's (Ctrl+C, Ctrl+Break, its window closed, log-off, shut-down),
// there is no handle to watch (0 is returned): the front end asks
// termination_requested() on its timer, and a closing console waits for the
// program until the system's own grace period ends. A windowed program hears
// of the end of the session by WM_QUERYENDSESSION and WM_ENDSESSION.
int watch_termination_signals();
// True when a termination signal arrived since the last call.
bool termination_requested();

// The folder the system lives in and the folder of its libraries (WinDir and
// SysDir): /usr and /usr/lib on Linux, the Windows and the system folder on
// Windows. Empty when the system does not say.
std::string system_folder();
std::string system_library_folder();

// Starts a program (argv[0] looked up in PATH) without waiting for it.
// Returns 0 when it was started.
int spawn_detached(const std::vector<std::string>& argv);

}  // namespace tarvenix::platform
