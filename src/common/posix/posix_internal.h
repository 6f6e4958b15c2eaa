#pragma once

// What the Linux files of the platform layer share. Not for use outside it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform/copy_primitives.h"
#include "common/platform/files.h"
#include "common/platform/result.h"

namespace tarvenix::platform::detail {

// The result of a call that answers 0 or -1 with errno.
inline Status checked(int rc) {
    return rc == 0 ? Status() : Status(Error{errno});
}

FileStatus status_from_stat(const struct stat& st);

// The umask, read once: reading it means setting it for a moment.
mode_t process_umask();

// Writes all of data at *offset (advanced), or at the file's own position.
Status write_at(int fd, const char* data, std::size_t size, off_t* offset);

// Copies bytes [begin, end) of `in` to the same offsets of `out`, chunk by
// chunk. ENODATA when `in` ends before `end`: a copy that misses bytes never
// counts as done.
Status copy_range(int in, int out, off_t begin, off_t end, ChunkProgress& progress);

// Calls f(name, d_type) for every entry of the open folder but "." and "..".
template <class F>
Status for_each_name(int dir_fd, F f) {
    // fdopendir takes over the descriptor it is given: hand it a duplicate.
    const int dup_fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dup_fd < 0) {
        return Error{errno};
    }
    DIR* d = ::fdopendir(dup_fd);
    if (d == nullptr) {
        const int e = errno;
        ::close(dup_fd);
        return Error{e};
    }
    int result = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(d);
        if (e == nullptr) {
            result = errno;
            break;
        }
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            f(e->d_name, e->d_type);
        }
    }
    ::closedir(d);
    return Status::from_code(result);
}

}  // namespace tarvenix::platform::detail
