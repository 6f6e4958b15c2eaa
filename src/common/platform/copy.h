#pragma once

// Copying a file so that a failure or a power cut never costs the old copy:
// the data goes to a temporary file in the destination folder, which takes
// the source's times and permission bits and is then renamed over the target
// (at once, or later by the caller, after one flush of many copies). Written
// once in copy.cpp over the operations of each system
// (posix/copy_posix.cpp, win32/copy_win32.cpp), as are the two questions a
// destination folder answers with temporary files of its own.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/files.h"
#include "common/platform/result.h"

namespace tarvenix::platform {

class CopyLock;
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
    // The destination folder's copy lock, when the caller holds it: only
    // then may a copy that finds its temporary name taken remove what is
    // there as a dead copy's leftover, and only when it stages nothing (see
    // CopyLock). A copy staged while the lock is held is marked by it.
    const CopyLock* lock = nullptr;
    // Called after each chunk of a large file's data (kCopyChunkBytes); an
    // answer of false stops the copy (ECANCELED), which removes the
    // temporary file and leaves the target as it was.
    std::function<bool()> between_chunks;
    // When given, the finished copy stays in its temporary file and is
    // handed over here instead of being renamed into place, so a caller can
    // flush many copies to the disk at once before it renames them.
    StagedCopy* staged = nullptr;
    // The copy is flushed to the disk on its own, for a copy renamed at
    // once that no flush of many copies covers: a power cut must not leave
    // a copy in place whose data never reached the disk.
    bool flush_before_rename = false;
    // A folder of the destination's file system where the temporary file is
    // made instead of the destination folder, under a name of its own; its
    // copy lock is `lock`. A share holds a folder's lock for every file
    // made or renamed there: made elsewhere, a copy waits for it only at
    // its rename (see make_staging_folder in locks.h).
    const Directory* stage_in = nullptr;
};

inline constexpr std::uint64_t kCopyChunkBytes = 16 * 1024 * 1024;

// Prefix of the temporary files a copy writes before it renames them into
// place. It starts with "." so listings never take them for the user's files.
inline constexpr std::string_view kTempPrefix = ".tarvenix-tmp-";

// True for a name of the exact form this program gives its temporary files:
// the prefix, 16 lowercase hexadecimal digits and, for a probe of a folder,
// "-" and the name probed; or the 10 lowercase letters and digits earlier
// versions used in place of the hexadecimal digits. A user's own file that
// merely begins with the prefix (".tarvenix-tmp-my-notes.txt") is no
// leftover of ours.
bool is_temp_name(std::string_view name);

// A file under a temporary name in an open folder, waiting to be renamed
// over its target in that folder or, staged elsewhere, in `target_folder`
// (of the same file system): a complete copy, or a probe of the folder. The
// folders must stay open until then; destroying a pending one removes it.
class StagedCopy {
public:
    StagedCopy() = default;
    StagedCopy(NativeHandle folder, std::string temp, std::string target, UniqueHandle file,
               NativeHandle target_folder = kInvalidHandle);
    ~StagedCopy() { discard(); }
    StagedCopy(StagedCopy&& other) noexcept;
    StagedCopy& operator=(StagedCopy&& other) noexcept;
    StagedCopy(const StagedCopy&) = delete;
    StagedCopy& operator=(const StagedCopy&) = delete;

    bool pending() const { return folder_ != kInvalidHandle; }
    // Renames the file over its target; on failure it is removed and the
    // target left as it was.
    Status commit();
    // Removes the file.
    void discard();
    // The open file while it is written (Windows keeps it open until the
    // rename: its exclusive handle tells other copiers it is in use).
    UniqueHandle& file() { return file_; }

private:
    NativeHandle folder_ = kInvalidHandle;         // borrowed from the folder's Directory
    NativeHandle target_folder_ = kInvalidHandle;  // borrowed too
    std::string temp_;
    std::string target_;
    UniqueHandle file_;
};

// Copies an open regular file to dst_name in dst_dir: the data goes into a new
// temporary file in dst_dir, which takes the source's permission bits and
// modification time and is then renamed over the target. A failure at any
// point removes the temporary file and leaves an existing target untouched;
// a link standing where the target is gets replaced, never written through.
// A source that is no file is refused (EISDIR, EINVAL), as is, when asked,
// one another program is using (EBUSY).
Status copy_open_file(const OpenFile& source, const Directory& dst_dir, std::string_view dst_name,
                      const CopyOptions& options);

// The same with full paths, holding the destination folder's copy lock.
Status copy_file(const std::string& src_path, const std::string& dst_path,
                 const CopyOptions& options);

// Copies the symbolic link src_name of src_dir as a link (its target text,
// never followed, and its own modification time) to dst_name in dst_dir,
// replacing by rename whatever file or link stands there (EISDIR for a
// folder). Windows lists no links to copy: EINVAL there.
Status copy_link_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                    std::string_view dst_name);

// The step, in whole seconds, in which the folder's file system keeps
// modification times, learned from a temporary file given the time of an
// odd second and read back after a rename, as a copy does: 1 for a second
// or finer (ext4, NTFS, exFAT), 2 for FAT (rounded down by Linux, up by
// Windows), 0 when the time set is not kept at all (fusefat keeps the time
// of the last change). 1 when it cannot be told (the folder cannot be
// written).
int time_step_seconds(const Directory& folder);

// For names that might be one entry in a folder that does not tell case
// apart: for each, the index of an earlier name that names the same entry
// there, or -1. Asked of the folder itself, with temporary files named after
// them; a name it cannot make such a file for (too long) counts as the
// first name's.
std::vector<int> coinciding_names(const Directory& folder, const std::vector<std::string>& names);

}  // namespace tarvenix::platform
