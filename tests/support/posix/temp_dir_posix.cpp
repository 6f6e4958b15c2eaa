// The temporary folders and file details of the tests on Linux.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/temp_dir.h"

namespace tarvenix::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    path_ = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarvenix-test-XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
}

TempDir::~TempDir() {
    // Tests make folders unreadable or read-only: give them back first.
    std::error_code ec;
    for (int pass = 0; pass < 3 && fs::exists(path_, ec); ++pass) {
        ::chmod(path_.c_str(), 0700);
        for (auto it = fs::recursive_directory_iterator(
                 path_, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                ::chmod(it->path().c_str(), 0700);
            }
        }
        fs::remove_all(path_, ec);
    }
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

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
