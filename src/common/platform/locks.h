#pragma once

// Locks: whether another program is using a file, and the copy lock that
// lets copiers tell a dead copy's temporary file from a live one.
// posix/locks_posix.cpp (flock, record locks) and win32/locks_win32.cpp
// (sharing modes) implement it.

#include <string>
#include <string_view>
#include <utility>

#include "common/platform/files.h"

namespace tarvenix::platform {

// True when another process is using the open file: on Linux when it holds a
// flock or a POSIX/OFD record lock (a file that is merely open, without a
// lock, is invisible); on Windows when it has the file open for writing or
// deleting (a sharing violation on a second open that shares reading only).
bool is_locked_by_other_process(NativeHandle file);

// The mark of a folder being copied into, held until it is destroyed; the
// folder must stay open as long. Copies name their temporary file after the
// target, so the next copy of a file finds a dead copy's leftover (a killed
// program, a power cut) under that name. On Linux every copier holds a
// shared flock on the folder, which guards its staged copies (closed, and
// waiting for their rename); a file being written, or staged without that
// lock, holds an exclusive flock of its own. A leftover is a temporary file
// found while the folder's lock can be taken exclusively (nobody holds
// staged copies here) whose own lock can be taken too. On Windows a copy
// holds its temporary file open without sharing until the rename, so a file
// that can be opened for deletion is a leftover; the folder needs no lock.
// Only names of the exact form of temporary files (is_temp_name) are ever
// removed. The lock keeps the folder's handle, not the Directory: it stays
// valid when the Directory is moved, as long as the folder is open.
class CopyLock {
public:
    // Takes the mark, never waiting: when another program holds the folder
    // locked exclusively (or it is not open), the folder is copied into
    // without it (held() is false), and copies made there keep their own
    // lock until they are renamed.
    explicit CopyLock(const Directory& folder);
    ~CopyLock();
    CopyLock(const CopyLock&) = delete;
    CopyLock& operator=(const CopyLock&) = delete;

    bool held() const { return held_; }
    // The two removals below are for a lock that guards no staged copy yet
    // (on Linux they let go of the shared lock for a moment).
    // Removes the temporary file `name` of the folder when it is a dead
    // copy's leftover (a plain file, never through a link); true when it
    // was removed.
    bool remove_if_leftover(std::string_view name) const;
    // Removes every temporary file dead copies left in the folder, and
    // nothing else: also a staging folder no copier holds, with the
    // temporary files in it.
    void remove_leftover_temp_files() const;

private:
    const NativeHandle folder_;  // borrowed
    // Whether the shared lock is held; it may be lost when the folder is
    // cleaned up while another program takes the lock exclusively.
    mutable bool held_ = false;
};

// A staging folder: a folder of one copier's own in a folder it copies into,
// where it makes its temporary files (see CopyOptions::stage_in). It has a
// temporary file's name, so clean-ups know it, and the copier holds its
// copy lock (a CopyLock of the opened folder) while it uses it; a clean-up
// removes it only when that lock can be taken exclusively. Where the system
// cannot tell a staging folder in use (kStagesInOtherFolders false), none
// is made (ENOTSUP) and copies stage in their destination folder.
//
// Made and opened here; the caller takes its lock and then asks
// still_named_in, as a clean-up may have removed it before that.
Result<std::pair<std::string, Directory>> make_staging_folder(const Directory& parent);
// Whether `name` in `parent` is still the open folder `folder`.
bool still_named_in(const Directory& parent, std::string_view name, const Directory& folder);
// Removes the staging folder `name` of `parent` with the temporary files it
// holds, when no copier holds its lock; true when it is gone.
bool remove_staging_folder(const Directory& parent, std::string_view name);

}  // namespace tarvenix::platform
