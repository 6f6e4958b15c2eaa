// The Linux side of the copy: copy_file_range in chunks, holes kept, the
// temporary file renamed with renameat; and links copied as links.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "common/platform/copy.h"
#include "common/posix/posix_internal.h"

namespace tarvenix::platform {
namespace detail {

Result<UniqueHandle> create_new_file(const Directory& folder, const std::string& name,
                                     std::uint32_t mode, bool own_lock) {
    const int fd = ::openat(folder.native_handle(), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                            static_cast<mode_t>(mode & 0777));
    if (fd < 0) {
        return Error{errno};
    }
    // The file holds a lock of its own while it is written, which tells a
    // clean-up of leftovers that it is live. A clean-up may have opened it
    // and taken that lock before us: then it is removed (or is being), and
    // the name counts as taken. Where the file system keeps no locks, no
    // clean-up can take one either.
    UniqueHandle file(fd);
    if (!own_lock) {
        return file;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Result<UniqueHandle>(Error{EEXIST}) : std::move(file);
    }
    struct stat own {};
    struct stat named {};
    if (::fstat(fd, &own) != 0 ||
        ::fstatat(folder.native_handle(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        own.st_ino != named.st_ino || own.st_dev != named.st_dev) {
        return Error{EEXIST};
    }
    return file;
}

Status write_at(int fd, const char* data, std::size_t size, off_t* offset) {
    while (size > 0) {
        const ssize_t n =
            offset != nullptr ? ::pwrite(fd, data, size, *offset) : ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{errno};
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        if (offset != nullptr) {
            *offset += n;
        }
    }
    return {};
}

Status write_all(NativeHandle file, std::string_view bytes) {
    return write_at(file, bytes.data(), bytes.size(), nullptr);
}

// copy_file_range answering 0 early is not taken for the end of the file
// (some file systems answer so for data they cannot copy that way): plain
// reads decide.
Status copy_range(int in, int out, off_t begin, off_t end, ChunkProgress& progress) {
    off_t in_off = begin;
    off_t out_off = begin;
    bool use_copy_range = true;
    while (use_copy_range && in_off < end) {
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(end - in_off, static_cast<off_t>(kCopyChunkBytes)));
        const ssize_t n = ::copy_file_range(in, &in_off, out, &out_off, want, 0);
        if (n > 0) {
            if (Status go_on = progress.advance(static_cast<std::uint64_t>(n)); !go_on) {
                return go_on;
            }
        } else if (n == 0) {
            use_copy_range = false;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                   errno == EPERM) {
            use_copy_range = false;  // not offered here: plain reads and writes
        } else {
            return Error{errno};
        }
    }
    if (in_off >= end) {
        return {};
    }
    std::vector<char> buf(256 * 1024);
    while (in_off < end) {
        const auto want =
            static_cast<std::size_t>(std::min<off_t>(end - in_off, static_cast<off_t>(buf.size())));
        const ssize_t n = ::pread(in, buf.data(), want, in_off);
        if (n == 0) {
            return Error{ENODATA};  // the file shrank while we copied it
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{errno};
        }
        if (Status written = write_at(out, buf.data(), static_cast<std::size_t>(n), &out_off);
            !written) {
            return written;
        }
        in_off += n;
        if (Status go_on = progress.advance(static_cast<std::uint64_t>(n)); !go_on) {
            return go_on;
        }
    }
    return {};
}

// A file with holes keeps them: only its data is copied, so a sparse disk
// image does not turn into gigabytes of zeros.
Status copy_data(const OpenFile& source, NativeHandle out, ChunkProgress& progress) {
    const int in = source.native_handle();
    const auto size = static_cast<off_t>(source.status().size);
    if (size >= (off_t{1} << 20)) {
        // Large files are read front to back: let the kernel read ahead far.
        ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    if (source.status().allocated >= source.status().size) {
        return copy_range(in, out, 0, size, progress);
    }
    off_t pos = 0;
    while (pos < size) {
        const off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // only a hole remains, or the file shrank: see below
            }
            return copy_range(in, out, pos, size, progress);  // no hole support here
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size) {
            hole = size;
        }
        if (Status copied = copy_range(in, out, data, hole, progress); !copied) {
            return copied;
        }
        pos = hole;
    }
    struct stat now {};
    if (::fstat(in, &now) == 0 && now.st_size < size) {
        return Error{ENODATA};
    }
    return checked(::ftruncate(out, size));
}

Status set_times_and_mode(NativeHandle file, const FileStatus& status) {
    const auto mode = static_cast<mode_t>(status.mode & 0777);
    if ((mode & process_umask()) != 0 && ::fchmod(file, mode) != 0) {
        return Error{errno};
    }
    const std::array<timespec, 2> times{timespec{status.atime_sec, status.atime_nsec},
                                        timespec{status.mtime_sec, status.mtime_nsec}};
    return checked(::futimens(file, times.data()));
}

Status finish_file(UniqueHandle& file, bool keep_own_lock, bool flush_data) {
    if (flush_data && ::fsync(file.get()) != 0) {
        return Error{errno};
    }
    if (!keep_own_lock) {
        return file.close();
    }
    // A second descriptor of the same open file keeps its lock past the
    // close, which still reports a late write error.
    const int kept = ::fcntl(file.get(), F_DUPFD_CLOEXEC, 0);
    if (kept < 0) {
        return Error{errno};
    }
    const Status closed = file.close();
    file = UniqueHandle(kept);
    return closed;
}

Status rename_over(NativeHandle folder, const std::string& temp, UniqueHandle& file,
                   NativeHandle target_folder, const std::string& target) {
    const Status renamed = checked(::renameat(folder, temp.c_str(), target_folder, target.c_str()));
    file.reset();  // the file's own lock goes only now
    return renamed;
}

void remove_temp(NativeHandle folder, const std::string& temp, UniqueHandle& file) {
    ::unlinkat(folder, temp.c_str(), 0);
    file.reset();
}

}  // namespace detail

Status copy_link_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                    std::string_view dst_name) {
    const std::string src(src_name);
    const std::string dst(dst_name);
    struct stat st {};
    if (::fstatat(src_dir.native_handle(), src.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return Error{errno};
    }
    if (!S_ISLNK(st.st_mode)) {
        return Error{EINVAL};
    }
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    const ssize_t n = ::readlinkat(src_dir.native_handle(), src.c_str(), text.data(), text.size());
    if (n < 0) {
        return Error{errno};
    }
    if (static_cast<std::size_t>(n) >= text.size()) {
        return Error{EAGAIN};  // the link changed since its status was read
    }
    text.resize(static_cast<std::size_t>(n));
    if (const auto target = dst_dir.status_of(dst, false);
        target && target->type == EntryType::kFolder) {
        return Error{EISDIR};
    }
    const int folder = dst_dir.native_handle();
    std::string tmp_name;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        tmp_name = detail::random_temp_name();
        err = ::symlinkat(text.c_str(), folder, tmp_name.c_str()) == 0 ? 0 : errno;
    }
    if (err != 0) {
        return Error{err};
    }
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if (::utimensat(folder, tmp_name.c_str(), times.data(), AT_SYMLINK_NOFOLLOW) != 0 ||
        ::renameat(folder, tmp_name.c_str(), folder, dst.c_str()) != 0) {
        err = errno;
        ::unlinkat(folder, tmp_name.c_str(), 0);
        return Error{err};
    }
    return {};
}

}  // namespace tarvenix::platform
