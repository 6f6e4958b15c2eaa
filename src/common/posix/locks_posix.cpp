// Locks on Linux: record locks and flock() on sources, a shared flock on
// every folder copied into, and an exclusive flock on each temporary file
// while it is written.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "common/platform/copy.h"
#include "common/platform/locks.h"
#include "common/posix/posix_internal.h"

namespace tarvenix::platform {
namespace {

// Removes the temporary file `name` when it is a dead copy's: a plain file
// whose own lock can be taken (a live copy holds it while it writes the
// file and until it renames it), and which is still the file under that
// name once the lock is ours. Removed while the lock is held, so a copier
// that makes a new file of that name meanwhile never loses it.
bool remove_dead_temp(int folder, const std::string& name) {
    struct stat own {};
    struct stat named {};
    if (::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(named.st_mode)) {
        return false;  // never opened: a device might act on it
    }
    const int fd =
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool dead = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &own) == 0 &&
                      S_ISREG(own.st_mode) &&
                      ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                      named.st_dev == own.st_dev && named.st_ino == own.st_ino;
    const bool removed = dead && ::unlinkat(folder, name.c_str(), 0) == 0;
    ::close(fd);
    return removed;
}

// Runs `removal` while the folder's lock is held exclusively, when it can be
// taken so; false when it could not. The shared lock is let go on purpose
// rather than converted: a failed conversion would drop it anyway, and the
// caller's lock guards no staged copy yet. Taken exclusively, the lock says
// that no copier holds staged copies here; the shared lock comes back by a
// conversion from the exclusive one, which the kernel makes at once.
bool while_alone(int folder, bool& held, const std::function<void()>& removal) {
    if (held) {
        ::flock(folder, LOCK_UN);
    }
    const bool alone = ::flock(folder, LOCK_EX | LOCK_NB) == 0;
    if (alone) {
        removal();
    }
    held = ::flock(folder, LOCK_SH | LOCK_NB) == 0;
    return alone;
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
    bool removed = false;
    if (is_temp_name(name)) {
        while_alone(folder_, held_,
                    [&] { removed = remove_dead_temp(folder_, std::string(name)); });
    }
    return removed;
}

void CopyLock::remove_leftover_temp_files() const {
    while_alone(folder_, held_, [this] {
        std::vector<std::string> leftovers;
        (void)detail::for_each_name(folder_, [&leftovers](const char* name, unsigned char) {
            if (is_temp_name(name)) {
                leftovers.emplace_back(name);
            }
        });
        for (const auto& name : leftovers) {
            remove_dead_temp(folder_, name);
        }
    });
}

}  // namespace tarvenix::platform
