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

// Removes the staging folder `name` (see locks.h) with its temporary files
// when its copier's lock can be taken exclusively: no copier uses it, and
// none will, as its name is no other's. A folder holding anything else
// stays.
bool remove_staging_folder_at(int folder, const std::string& name) {
    const int fd = ::openat(folder, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        std::vector<std::string> temps;
        (void)detail::for_each_name(fd, [&temps](const char* entry, unsigned char) {
            if (is_temp_name(entry)) {
                temps.emplace_back(entry);
            }
        });
        for (const auto& temp : temps) {
            remove_dead_temp(fd, temp);
        }
        removed = ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0;
    }
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
        std::vector<std::pair<std::string, unsigned char>> leftovers;
        (void)detail::for_each_name(folder_, [&leftovers](const char* name, unsigned char type) {
            if (is_temp_name(name)) {
                leftovers.emplace_back(name, type);
            }
        });
        for (const auto& [name, type] : leftovers) {
            struct stat st {};
            if (type == DT_DIR ||
                (type == DT_UNKNOWN &&
                 ::fstatat(folder_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISDIR(st.st_mode))) {
                remove_staging_folder_at(folder_, name);
            } else {
                remove_dead_temp(folder_, name);
            }
        }
    });
}

Result<std::pair<std::string, Directory>> make_staging_folder(const Directory& parent) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = detail::random_temp_name();
        if (const Status made = parent.make_folder(name, 0700); !made) {
            if (made.error() == EEXIST) {
                continue;
            }
            return Error{made.error()};
        }
        auto opened = parent.open_below(std::string(1, kPathSeparator) + name);
        if (!opened) {
            return Error{opened.error()};
        }
        return std::pair{std::move(name), std::move(*opened)};
    }
    return Error{EEXIST};
}

bool still_named_in(const Directory& parent, std::string_view name, const Directory& folder) {
    const auto named = parent.status_of(name, false);
    const auto own = folder.own_status();
    return named && own && named->device == own->device && named->inode == own->inode;
}

bool remove_staging_folder(const Directory& parent, std::string_view name) {
    return remove_staging_folder_at(parent.native_handle(), std::string(name));
}

}  // namespace tarvenix::platform
