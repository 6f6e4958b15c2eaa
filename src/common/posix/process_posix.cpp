// The running program and the system on Linux.

#include <dirent.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>

#include "common/platform/files.h"
#include "common/platform/process.h"

namespace tarvenix::platform {

std::string executable_folder() {
    // The link's target is taken as bytes, whatever their encoding; a name
    // longer than the buffer is read again with a larger one.
    std::string exe(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
        if (n <= 0) {
            return "";
        }
        if (static_cast<std::size_t>(n) < exe.size()) {
            exe.resize(static_cast<std::size_t>(n));
            break;
        }
        exe.resize(exe.size() * 2);
    }
    // A program replaced or removed while it runs reads as "<path> (deleted)";
    // its folder is still the one it was started from.
    if (exe.empty() || exe.front() != '/') {
        return "";
    }
    const auto slash = exe.rfind('/');
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

void raise_open_file_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::size_t open_files_available() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return static_cast<std::size_t>(-1);
    }
    // What the process holds: its descriptors, less the one that lists them.
    std::size_t held = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d)) {
            held += e->d_name[0] != '.' ? 1 : 0;
        }
        ::closedir(d);
        held = held > 0 ? held - 1 : 0;
    } else {
        held = static_cast<std::size_t>(limit.rlim_cur / 2);  // cannot tell: assume half in use
    }
    return limit.rlim_cur > held ? static_cast<std::size_t>(limit.rlim_cur) - held : 0;
}

OsVersion os_version() {
    OsVersion v;
    struct utsname u {};
    if (::uname(&u) == 0) {
        std::sscanf(u.release, "%d.%d.%d", &v.major, &v.minor, &v.build);
    }
    // A multi-user system with privileges: the family the program calls "NT".
    v.platform_id = 2;
    return v;
}

std::string system_folder() {
    return status("/usr", true) ? "/usr" : "";
}

std::string system_library_folder() {
    return status("/usr/lib", true) ? "/usr/lib" : "";
}

}  // namespace tarvenix::platform
