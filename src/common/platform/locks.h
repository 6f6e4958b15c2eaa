#pragma once

// Locks: whether another program is using a file, and the copy lock that
// lets copiers tell a dead copy's temporary file from a live one.
// posix/locks_posix.cpp (flock, record locks) and win32/locks_win32.cpp
// (sharing modes) implement it.

#include <string_view>

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
// shared flock on the folder: a copier that can take it exclusively knows
// nobody else copies there, so what it finds is a leftover. On Windows a
// copy holds its temporary file open without sharing until the rename, so a
// file that can be opened for deletion is a leftover; the folder needs no
// lock. A copier that does not hold the mark removes nothing.
// The lock keeps the folder's handle, not the Directory: it stays valid
// when the Directory is moved, as long as the folder is open.
class CopyLock {
public:
    // Takes the mark, never waiting: when another program holds the folder
    // locked exclusively (or it is not open), the folder is copied into
    // without it (held() is false), and copies made there never remove
    // another program's files.
    explicit CopyLock(const Directory& folder);
    ~CopyLock();
    CopyLock(const CopyLock&) = delete;
    CopyLock& operator=(const CopyLock&) = delete;

    bool held() const { return held_; }
    // Removes the temporary file `name` of the folder when it is a dead
    // copy's leftover (a plain file, never through a link); true when it
    // was removed.
    bool remove_if_leftover(std::string_view name) const;
    // Removes every temporary file (kTempPrefix) dead copies left in the
    // folder, and nothing else: on Linux only while the lock can be taken
    // exclusively (nobody else copies here, and no other handle of this
    // program holds staged copies here); on Windows a file still open for a
    // copy (a live copier's, or a staged copy of this program) cannot be
    // opened for deletion and stays.
    void remove_leftover_temp_files() const;

private:
    const NativeHandle folder_;  // borrowed
    // A failed conversion to the exclusive lock can drop the shared one.
    mutable bool held_ = false;
};

}  // namespace tarvenix::platform
