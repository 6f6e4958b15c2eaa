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
    kNetwork,    // a network file system or a mapped share: many at once
    kRemovable,  // FAT, exFAT or NTFS through FUSE, a removable drive: one at a time
};

// The kind of the file system the open folder is on; kLocal when it cannot
// be told.
StorageKind storage_kind(const Directory& folder);

}  // namespace tarvenix::platform
