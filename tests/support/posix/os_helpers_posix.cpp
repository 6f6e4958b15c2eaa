#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <utility>

#include "support/os_helpers.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's count of the bytes the program has allocated and
// not freed (GCC ships no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tarvenix::testing {

std::size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = ::mallinfo2();
    return m.uordblks + m.hblkhd;  // in use from the arenas, and mapped on their own
#endif
}

bool resident_memory_counts() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#else
    return true;
#endif
}

LockHolder::LockHolder(const std::string& path, LockKind kind) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) {
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only its own two ends stay open: a holder forked later would
        // otherwise keep an earlier one's release end, which then never
        // sees its release.
        const auto [low, high] = std::minmax(ready[1], release[0]);
        ::close_range(3, static_cast<unsigned>(low) - 1, 0);
        ::close_range(static_cast<unsigned>(low) + 1, static_cast<unsigned>(high) - 1, 0);
        ::close_range(static_cast<unsigned>(high) + 1, ~0U, 0);
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

ScopedMedium::ScopedMedium(const std::string& parent, Medium medium)
    : image_(parent + "/medium.img") {
    path_ = parent + "/medium";
    ::mkdir(path_.c_str(), 0755);
    const std::string img = image_ + " ";
    const std::string blank =
        "truncate -s " + std::string(medium == Medium::kExt4 ? "512M " : "64M ") + img + "&& ";
    const std::pair<std::string, std::string> commands[] = {
        // making it, mounting it
        {blank + "mkfs.vfat -F 32 " + img, "fusefat -o rw+ " + img},
        {blank + "mkfs.exfat " + img, "mount.exfat-fuse $(losetup -f --show " + img + ") "},
        {blank + "mkntfs -q -F -f " + img, "lowntfs-3g -o ignore_case,windows_names " + img},
        {"mkdir " + img, TARVENIX_TEST_SUPPORT_DIR "/two_second_times.py " + img},
        {blank + "mkfs.ext4 -q -F " + img, "mount -o loop,noauto_da_alloc " + img},
        {"mkdir " + img + "&& printf '#!/bin/sh\\necho $$ >" + image_ +
             ".pid\\nexec /usr/lib/openssh/sftp-server\\n' >" + image_ + ".sh && chmod +x " +
             image_ + ".sh",
         "sshfs -o ssh_command=" + image_ + ".sh localhost:" + img},
        {blank + "mkfs.ext4 -q -F -O ^has_journal -E lazy_itable_init=0 " + img,
         "mount -o loop " + img},
    };
    const auto& [make, mount] = commands[static_cast<int>(medium)];
    mount_ = mount + path_ + " >/dev/null 2>&1 && mountpoint -q " + path_;
    if (std::system((make + " >/dev/null 2>&1").c_str()) != 0 || !remount()) {
        reason_ = "needs root, /dev/fuse and what scripts/setup.sh installs: " + make + "; " +
                  mount + path_;
    }
}

bool ScopedMedium::remount() {
    if (mounted_ && ::umount2(path_.c_str(), 0) != 0) {
        return false;  // still mounted, and detached when this goes
    }
    return mounted_ = std::system(mount_.c_str()) == 0;
}

bool ScopedMedium::cut_power() {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    std::uint32_t flag = 2;  // EXT4_GOING_FLAGS_NOLOGFLUSH
    const bool ok = fd >= 0 && ::ioctl(fd, _IOR('X', 125, std::uint32_t), &flag) == 0;
    ::close(fd);
    return ok;
}

// Throttles writes to the loop device, write-back included (0: none). cgroup
// v1: blkio of the root group. cgroup v2: io.max of a group of its own, with
// this process moved into it (write-back counts against the group that dirtied
// the pages) until the throttle ends, the group then removed.
bool ScopedMedium::throttle(unsigned long long bytes_per_second) {
    const std::string device = "$(mountpoint -d " + path_ + ")";
    const std::string pid = std::to_string(::getpid());
    const std::string group = "/sys/fs/cgroup/tarvenix-throttle-" + pid;
    std::string command;
    if (::access("/sys/fs/cgroup/blkio", F_OK) == 0) {
        command = "echo " + device + " " + std::to_string(bytes_per_second) +
                  " >/sys/fs/cgroup/blkio/blkio.throttle.write_bps_device";
    } else if (bytes_per_second > 0) {
        std::ifstream("/proc/self/cgroup") >> home_cgroup_;  // "0::/its/path"
        command = "cd /sys/fs/cgroup && echo +io >cgroup.subtree_control && mkdir " + group +
                  " && { (echo +memory >cgroup.subtree_control; true) && echo " + device +
                  " wbps=" + std::to_string(bytes_per_second) + " >" + group + "/io.max && echo " +
                  pid + " >" + group + "/cgroup.procs || { rmdir " + group + "; false; }; }";
    } else {
        command = "echo " + pid + " >/sys/fs/cgroup" + home_cgroup_.substr(3) +
                  "/cgroup.procs; rmdir " + group;
    }
    return throttled_ = mounted_ && std::system(command.c_str()) == 0;
}

bool ScopedMedium::hang(bool hung) {
    // The server's process id, as the script that starts it wrote it; a
    // signal, not a command: forking a process whose threads wait on the
    // share may itself wait until the share answers.
    pid_t server = 0;
    std::ifstream(image_ + ".pid") >> server;
    hung_ = hung;
    return server > 0 && ::kill(server, hung ? SIGSTOP : SIGCONT) == 0;
}

std::jthread ScopedMedium::answer_again_after(std::chrono::seconds after) {
    return std::jthread([this, after](const std::stop_token& stop) {
        std::mutex m;
        std::condition_variable_any destroyed;
        std::unique_lock lock(m);
        destroyed.wait_for(lock, stop, after, [] { return false; });
        if (!stop.stop_requested()) {
            hang(false);
        }
    });
}

ScopedMedium::~ScopedMedium() {
    if (throttled_) {
        throttle(0);
    }
    if (hung_) {
        hang(false);
    }
    // A loop device still in use goes once unmounted.
    std::system(
        ("for d in $(losetup -j " + image_ + " | cut -d: -f1); do losetup -d $d; done").c_str());
}

}  // namespace tarvenix::testing
