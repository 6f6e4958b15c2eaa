// Files and folders on Linux: folders are opened once and worked on relative
// to their descriptor, and no link below an open folder is ever followed.

#include <fcntl.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "common/posix/posix_internal.h"

namespace tarvenix::platform {
namespace detail {

FileStatus status_from_stat(const struct stat& st) {
    FileStatus s;
    s.type = S_ISREG(st.st_mode)   ? EntryType::kFile
             : S_ISDIR(st.st_mode) ? EntryType::kFolder
             : S_ISLNK(st.st_mode) ? EntryType::kLink
                                   : EntryType::kSystem;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mtime_sec = st.st_mtim.tv_sec;
    s.mtime_nsec = st.st_mtim.tv_nsec;
    s.atime_sec = st.st_atim.tv_sec;
    s.atime_nsec = st.st_atim.tv_nsec;
    s.allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
    s.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    return s;
}

mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

}  // namespace detail

namespace {

EntryType type_from_dirent(unsigned char d_type) {
    switch (d_type) {
        case DT_REG:
            return EntryType::kFile;
        case DT_DIR:
            return EntryType::kFolder;
        case DT_LNK:
            return EntryType::kLink;
        case DT_FIFO:
        case DT_SOCK:
        case DT_CHR:
        case DT_BLK:
            return EntryType::kSystem;
        default:
            return EntryType::kUnknown;
    }
}

// The status of what `fd` (a descriptor, or -1 on error) opened; a Directory
// or an OpenFile is made from it.
Result<FileStatus> status_of_fd(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return Error{errno};
    }
    return detail::status_from_stat(st);
}

}  // namespace

std::pair<std::string, std::string> split_parent(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool is_root_path(std::string_view path) {
    return path == "/";
}

bool is_full_path(std::string_view path) {
    return path.starts_with('/');
}

Result<bool> folder_within(const std::string& inner, const std::string& outer) {
    struct stat target {};
    if (::stat(outer.c_str(), &target) != 0) {
        return Error{errno};
    }
    // Up from `inner` by "..": the kernel takes it to the parent the folder
    // really has, whatever link led to it, and out of a mount to the folder
    // it is mounted on; the root is its own parent.
    UniqueHandle folder(::open(inner.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat here {};
    if (!folder.valid() || ::fstat(folder.get(), &here) != 0) {
        return Error{errno};
    }
    for (;;) {
        if (here.st_dev == target.st_dev && here.st_ino == target.st_ino) {
            return true;
        }
        UniqueHandle parent(::openat(folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (!parent.valid() || ::fstat(parent.get(), &above) != 0) {
            return Error{errno};
        }
        if (above.st_dev == here.st_dev && above.st_ino == here.st_ino) {
            return false;
        }
        folder = std::move(parent);
        here = above;
    }
}

Result<FileStatus> status(const std::string& path, bool follow_links) {
    struct stat st {};
    const int rc = follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) {
        return Error{errno};
    }
    return detail::status_from_stat(st);
}

void UniqueHandle::reset(NativeHandle handle) {
    if (handle_ >= 0) {
        ::close(handle_);
    }
    handle_ = handle;
}

Status UniqueHandle::close() {
    const int fd = release();
    return fd >= 0 ? detail::checked(::close(fd)) : Status();
}

Result<Directory> Directory::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? Result<Directory>(Error{errno}) : Directory(fd);
}

Result<Directory> Directory::open_child(std::string_view name) const {
    const std::string n(name);
    const int fd =
        ::openat(handle_.get(), n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? Result<Directory>(Error{errno}) : Directory(fd);
}

Result<Directory> Directory::open_below(std::string_view relative) const {
    // Appended rather than "." + string: GCC 12 at -O3 warns falsely
    // (-Wrestrict) about the operator+ form.
    std::string rel(".");
    rel.append(relative);
#ifdef SYS_openat2
    // One call that resolves the whole path and refuses any link on it.
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, handle_.get(), rel.c_str(), &how, sizeof how);
    if (fd >= 0) {
        return Directory(static_cast<int>(fd));
    }
    if (errno != ENOSYS && errno != EPERM && errno != EAGAIN) {
        return Error{errno};
    }
#endif
    // Older kernels: one component at a time, each refusing a link.
    auto current = open_child(".");
    std::size_t pos = 1;
    while (current && pos < rel.size()) {
        const std::size_t start = pos + 1;
        const std::size_t end = std::min(rel.find('/', start), rel.size());
        current = current->open_child(std::string_view(rel).substr(start, end - start));
        pos = end;
    }
    return current;
}

Result<std::vector<Directory::Entry>> Directory::list() const {
    std::vector<Entry> out;
    const Status listed =
        detail::for_each_name(handle_.get(), [&out](const char* name, unsigned char type) {
            out.push_back(Entry{name, type_from_dirent(type), name[0] == '.'});
        });
    if (!listed) {
        return Error{listed.error()};
    }
    return out;
}

Result<FileStatus> Directory::status_of(std::string_view name, bool follow_links) const {
    const std::string n(name);
    struct stat st {};
    if (::fstatat(handle_.get(), n.c_str(), &st, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        return Error{errno};
    }
    return detail::status_from_stat(st);
}

Result<FileStatus> Directory::own_status() const {
    return status_of_fd(handle_.get());
}

Status Directory::make_folder(std::string_view name, std::uint32_t mode) const {
    const std::string n(name);
    return detail::checked(::mkdirat(handle_.get(), n.c_str(), static_cast<mode_t>(mode & 07777)));
}

Status Directory::set_mode(std::uint32_t mode) const {
    return detail::checked(::fchmod(handle_.get(), static_cast<mode_t>(mode & 0777)));
}

Status Directory::sync_file_system() const {
    return detail::checked(::syncfs(handle_.get()));
}

Result<OpenFile> OpenFile::open_at(const Directory& dir, std::string_view name, bool follow_links) {
    const std::string n(name);
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it
    // changes nothing for the reads of a regular file.
    const int flags =
        O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (follow_links ? 0 : O_NOFOLLOW);
    OpenFile file;
    file.handle_.reset(::openat(dir.native_handle(), n.c_str(), flags));
    auto st = status_of_fd(file.handle_.get());
    if (!st) {
        return Error{st.error()};
    }
    file.status_ = *st;
    return file;
}

Result<std::string> read_file(const std::string& path, std::size_t max_bytes) {
    UniqueHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const auto st = status_of_fd(fd.get());
    if (!st) {
        return Error{st.error()};
    }
    if (st->type != EntryType::kFile) {
        return Error{EINVAL};
    }
    std::string out;
    std::array<char, 64 * 1024> buf;
    while (out.size() < max_bytes) {
        const ssize_t n =
            ::read(fd.get(), buf.data(), std::min(buf.size(), max_bytes - out.size()));
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{errno};
        }
        out.append(buf.data(), static_cast<std::size_t>(n));
    }
    return out;
}

Status make_folder(const std::string& path, std::uint32_t mode) {
    return detail::checked(::mkdir(path.c_str(), static_cast<mode_t>(mode & 07777)));
}

bool folder_writable(const std::string& path) {
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

namespace {

// $variable when it holds a full path (a relative one is invalid and is
// ignored, as the XDG base directory rules say), else the home folder's
// default_folder; "" when neither is known.
std::string xdg_folder(const char* variable, const char* default_folder) {
    const auto full_path = [](const char* value) {
        std::string path = value != nullptr && value[0] == '/' ? value : "";
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    };
    if (std::string folder = full_path(std::getenv(variable)); !folder.empty()) {
        return folder;
    }
    std::string home = full_path(std::getenv("HOME"));
    if (home.empty()) {
        std::array<char, 4096> buf{};
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found) {
            home = full_path(found->pw_dir);
        }
    }
    return home.empty() ? "" : (home == "/" ? "" : home) + default_folder;
}

}  // namespace

std::string user_config_folder() {
    return xdg_folder("XDG_CONFIG_HOME", "/.config");
}

std::string viewer_copy_folder() {
    const std::string cache = xdg_folder("XDG_CACHE_HOME", "/.cache");
    return cache.empty() ? "" : cache + "/tarvenix";
}

}  // namespace tarvenix::platform
