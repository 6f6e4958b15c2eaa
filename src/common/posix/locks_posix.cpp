// Locks on Linux: record locks and flock() on sources, a shared flock on
// every folder copied into.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/platform/copy.h"
#include "common/platform/locks.h"
#include "common/posix/posix_internal.h"

namespace tarvenix::platform {
namespace {

// The copy lock taken exclusively, which works only while no other program
// (and no other handle of this one) holds the folder's shared lock. A
// conversion that fails may have dropped the shared lock already (flock
// converts by unlocking first): it is taken again, without waiting, and
// `held` says whether that worked.
bool lock_exclusively(int folder, bool& held) {
    if (!held || ::flock(folder, LOCK_EX | LOCK_NB) == 0) {
        return held;
    }
    held = ::flock(folder, LOCK_SH | LOCK_NB) == 0;
    return false;
}

// Removes a plain file, never a link or anything else of that name.
bool remove_plain_file(int folder, const std::string& name) {
    struct stat st {};
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
           ::unlinkat(folder, name.c_str(), 0) == 0;
}

}  // namespace

bool is_locked_by_other_process(NativeHandle fd) {
    // Record locks (POSIX and open-file-description): ask, never set; setting
    // and dropping a POSIX lock would release locks this process holds.
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
        return true;
    }
    // flock() locks: the only way to see one is to try to take it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    ::flock(fd, LOCK_UN);
    return false;
}

CopyLock::CopyLock(const Directory& folder)
    : folder_(folder.native_handle())
    , held_(::flock(folder_, LOCK_SH | LOCK_NB) == 0) {}

CopyLock::~CopyLock() {
    if (held_) {
        ::flock(folder_, LOCK_UN);
    }
}

bool CopyLock::remove_if_leftover(std::string_view name) const {
    // Without our own lock we cannot tell a leftover from a live copy.
    if (!lock_exclusively(folder_, held_)) {
        return false;
    }
    const bool removed = remove_plain_file(folder_, std::string(name));
    held_ = ::flock(folder_, LOCK_SH | LOCK_NB) == 0;  // back to the copier's shared lock
    return removed;
}

void CopyLock::remove_leftover_temp_files() const {
    if (!lock_exclusively(folder_, held_)) {
        return;  // another copier may be writing here: its files are no leftovers
    }
    std::vector<std::string> leftovers;
    (void)detail::for_each_name(folder_, [&leftovers](const char* name, unsigned char) {
        if (std::string_view(name).starts_with(kTempPrefix)) {
            leftovers.emplace_back(name);
        }
    });
    for (const auto& name : leftovers) {
        remove_plain_file(folder_, name);
    }
    held_ = ::flock(folder_, LOCK_SH | LOCK_NB) == 0;  // back to the copier's shared lock
}

}  // namespace tarvenix::platform
