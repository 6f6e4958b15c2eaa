#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/os_helpers.h"

namespace tarvenix::testing {

LockHolder::LockHolder(const std::string& path, LockKind kind) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        ::close(release[1]);  // else the child would never see the release
        const int fd = ::open(path.c_str(), kind == LockKind::kFlock ? O_RDONLY : O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        const int record = kind == LockKind::kPosixRecord ? F_SETLK : F_OFD_SETLK;
        const bool ok = fd >= 0 && (kind == LockKind::kFlock ? ::flock(fd, LOCK_EX) == 0
                                                             : ::fcntl(fd, record, &lock) == 0);
        char byte = ok ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) == 1) {
            while (::read(release[0], &byte, 1) < 0 && errno == EINTR) {
            }
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_fd_ = release[1];
    char answer = 0;
    holding_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
}

LockHolder::~LockHolder() {
    ::close(release_fd_);  // the child's read returns and it exits
    if (pid_ > 0) {
        ::waitpid(pid_, nullptr, 0);
    }
}

ScopedTmpfs::ScopedTmpfs(const std::string& parent, const std::string& size) {
    path_ = parent + "/small-fs";
    ::mkdir(path_.c_str(), 0755);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                       ("size=" + size).c_str()) == 0;
    if (!mounted_) {
        reason_ = std::string("mounting a tmpfs failed (it needs root): ") + std::strerror(errno);
    }
}

ScopedMount::~ScopedMount() {
    if (mounted_) {
        ::umount2(path_.c_str(), MNT_DETACH);
    }
    ::rmdir(path_.c_str());
}

ScopedExt4::ScopedExt4(const std::string& parent, const std::string& options)
    : image_(parent + "/ext4.img")
    , options_(options) {
    path_ = parent + "/ext4";
    ::mkdir(path_.c_str(), 0755);
    if (::geteuid() != 0) {
        reason_ = "loop-mounting a file system needs root";
    } else if (std::system(("truncate -s 64M " + image_ + " && mkfs.ext4 -q -F " + image_ +
                            " >/dev/null 2>&1")
                               .c_str()) != 0) {
        reason_ = "mkfs.ext4 failed";
    } else if (!remount()) {
        reason_ = "mount -o loop failed";
    }
}

bool ScopedExt4::cut_power() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    std::uint32_t flag = 2;  // EXT4_GOING_FLAGS_NOLOGFLUSH
    const bool ok = fd >= 0 && ::ioctl(fd, _IOR('X', 125, std::uint32_t), &flag) == 0;
    ::close(fd);
    return ok;
}

bool ScopedExt4::remount() {
    if (mounted_) {
        ::umount2(path_.c_str(), 0);
    }
    mounted_ = std::system(("mount -o loop," + options_ + " " + image_ + " " + path_).c_str()) == 0;
    return mounted_;
}

ScopedExt4::~ScopedExt4() {
    ::unlink(image_.c_str());  // freed once the file system is unmounted
}

}  // namespace tarvenix::testing
