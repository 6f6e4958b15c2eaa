#pragma once

// The operations of each system that the portable copy (copy.cpp) is written
// over: posix/copy_posix.cpp and win32/copy_win32.cpp. Only the platform
// layer includes this.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/platform/copy.h"
#include "common/platform/files.h"
#include "common/platform/result.h"

namespace tarvenix::platform {
class CopyLock;
}

namespace tarvenix::platform::detail {

// The temporary name every copier of `target` tries first: the same name for
// the same target, so the next copy finds a dead copy's leftover under it.
std::string temp_name_for(std::string_view target);
// A name no other copier picks, for when the usual one belongs to a live copy.
std::string random_temp_name();

// Counts the bytes a copy has written and calls the caller back after each
// kCopyChunkBytes of them, so a long copy can serve the user and be stopped.
class ChunkProgress {
public:
    ChunkProgress() = default;
    explicit ChunkProgress(const std::function<bool()>& between_chunks)
        : between_chunks_(&between_chunks) {}
    // ECANCELED when the caller asks to stop.
    Status advance(std::uint64_t bytes);

private:
    const std::function<bool()>* between_chunks_ = nullptr;
    std::uint64_t since_call_ = 0;
};

// A new temporary file in `folder` for `target` (see copy.cpp), with the
// permission bits `mode` less the umask; with the folder's copy lock and
// may_clean, a dead copy's leftover under the target's temporary name is
// removed first. While the lock is held the file takes no lock of its own.
// With stage_in the file is made there, under a random name, and `lock` is
// that folder's.
Result<StagedCopy> make_temp_for(const Directory& folder, const std::string& target,
                                 std::uint32_t mode, const CopyLock* lock, bool may_clean,
                                 const Directory* stage_in = nullptr);

// Creates the new file `name` in `folder` for writing, never through a link
// and refusing a name that is taken (EEXIST), with the permission bits
// `mode` less the umask where the system has them. It is marked as in use
// until it is closed: on Linux by an exclusive flock of its own (own_lock;
// a copy under its folder's shared copy lock needs none, since no clean-up
// runs there while that lock is held, and spares the calls), on Windows by
// being open without any sharing.
Result<UniqueHandle> create_new_file(const Directory& folder, const std::string& name,
                                     std::uint32_t mode, bool own_lock = true);
Status write_all(NativeHandle file, std::string_view bytes);
// Copies the source's data as it stood when it was opened: a file that
// grows meanwhile is copied up to its size at that moment; one that shrinks
// fails the copy (ENODATA) rather than give a short copy. Holes of a sparse
// file stay holes where the system can tell them.
Status copy_data(const OpenFile& source, NativeHandle out, ChunkProgress& progress);
// Gives a file made by create_new_file with the status's permission bits
// the status's times, and those bits where the umask took some (on Windows
// the read-only attribute).
Status set_times_and_mode(NativeHandle file, const FileStatus& status);
// Makes a written file ready for its rename: on Linux it is closed (a late
// write error shows there; the caller flushes the file system once for many
// copies, or with flush_data the file is flushed itself first), and with
// keep_own_lock a second descriptor keeps the file's lock (see
// create_new_file) until the rename or removal; on Windows, where only
// administrators may flush a file system, it is flushed to the disk and
// stays open, since its rename goes through the handle.
Status finish_file(UniqueHandle& file, bool keep_own_lock, bool flush_data = false);
// Renames the temporary file `temp` of `folder` over `target` in
// `target_folder` (the same folder, or another of its file system),
// replacing what stands there (a read-only old copy too).
Status rename_over(NativeHandle folder, const std::string& temp, UniqueHandle& file,
                   NativeHandle target_folder, const std::string& target);
// Removes the temporary file, open or not.
void remove_temp(NativeHandle folder, const std::string& temp, UniqueHandle& file);

}  // namespace tarvenix::platform::detail
