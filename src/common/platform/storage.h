#pragma once

// What a destination folder is stored on, as far as copying into it goes: a
// share answers each request after a network round trip, so many copies in
// flight at once hide the wait; a USB stick or memory card writes slower
// when written in several places at once. posix/storage_posix.cpp and
// win32/storage_win32.cpp tell them apart.

#include "common/platform/files.h"

namespace tarvenix::platform {

enum class StorageKind {
    kLocal,      // a disk of this machine (or memory): a few copies at once
    kNetwork,    // a network file system (NFS, SMB, sshfs...) or a mapped share:
                 // many at once
    kRemovable,  // FAT or exFAT, NTFS or HFS+ as sticks and external disks carry
                 // them (kernel or FUSE driver), a drive the system calls
                 // removable: one at a time
};

// The kind of the file system the open folder is on; kLocal when it cannot
// be told. It may read the system's tables (/proc/self/mountinfo, sysfs):
// ask once per destination and run, not per file.
StorageKind storage_kind(const Directory& folder);

}  // namespace tarvenix::platform
