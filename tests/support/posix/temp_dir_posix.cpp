// The file details of the tests on Linux.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "support/temp_dir.h"

namespace tarvenix::testing {

void set_mtime(const std::string& path, long long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        throw std::runtime_error("utimensat failed on " + path);
    }
}

static struct stat status_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw std::runtime_error("stat failed on " + path);
    }
    return st;
}

long long mtime_of(const std::string& path) {
    return status_of(path).st_mtim.tv_sec;
}

unsigned mode_of(const std::string& path) {
    return status_of(path).st_mode & 07777;
}

bool running_as_root() {
    return ::geteuid() == 0;
}

}  // namespace tarvenix::testing
