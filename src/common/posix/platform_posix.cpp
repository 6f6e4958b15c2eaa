// Linux implementation of the platform layer.

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "common/platform.h"

extern char** environ;

namespace tarvenix::platform {
namespace {

// A handle that reports the error close() gives (a late write error on some
// file systems) when it is closed on purpose.
class UniqueFd : public UniqueHandle {
public:
    using UniqueHandle::UniqueHandle;
    explicit operator bool() const { return valid(); }
    int close_checked() {
        const int fd = release();
        return (fd >= 0 && ::close(fd) != 0) ? errno : 0;
    }
};

void set_err(int* err, int value) {
    if (err != nullptr) {
        *err = value;
    }
}

EntryType type_from_mode(mode_t mode) {
    if (S_ISREG(mode)) {
        return EntryType::kFile;
    }
    if (S_ISDIR(mode)) {
        return EntryType::kFolder;
    }
    if (S_ISLNK(mode)) {
        return EntryType::kLink;
    }
    return EntryType::kSystem;
}

FileStatus status_from_stat(const struct stat& st) {
    FileStatus s;
    s.type = type_from_mode(st.st_mode);
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

// The umask, read once: reading it means setting it for a moment.
mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Creates a new temporary file in dir_fd; returns its fd and name.
int create_temp(int dir_fd, std::string& name, UniqueFd& fd, mode_t mode = 0600) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = random_temp_name();
        const int f = ::openat(dir_fd, name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (f >= 0) {
            fd.reset(f);
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

// The copy lock taken exclusively, which works only while no other program
// (and no other handle of this one) holds the folder's shared lock. A
// conversion that fails may have dropped the shared lock already (flock
// converts by unlocking first): it is taken again, without waiting.
bool lock_exclusively(int dir_fd) {
    if (::flock(dir_fd, LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    ::flock(dir_fd, LOCK_SH | LOCK_NB);
    return false;
}

// Calls f(name, d_type) for every entry of the open folder but "." and "..".
template <class F>
int for_each_name(int dir_fd, F f) {
    // fdopendir takes over the descriptor it is given: hand it a duplicate.
    const int dup_fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dup_fd < 0) {
        return errno;
    }
    DIR* d = ::fdopendir(dup_fd);
    if (d == nullptr) {
        const int e = errno;
        ::close(dup_fd);
        return e;
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
    return result;
}

// The temporary file for a target has a name of its own (a hash of the
// target's name). Every program copying into a folder holds a shared flock on
// the folder (Directory::hold_copy_lock). A copy that finds the name taken
// while it can take that lock exclusively knows nobody else is copying here:
// the file is a dead copy's leftover (a killed program, a power cut), which it
// removes, so leftovers do not pile up. Otherwise another program is copying
// the same file right now, and a random name is used.
int create_temp_for(int dir_fd, bool holds_lock, std::string_view target, std::string& name,
                    UniqueFd& fd, mode_t mode) {
    name = temp_name_for(target);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int f = ::openat(dir_fd, name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (f >= 0) {
            fd.reset(f);
            return 0;
        }
        if (errno != EEXIST || attempt > 0 || !holds_lock) {
            break;  // without our own lock we cannot tell a leftover from a live copy
        }
        if (!lock_exclusively(dir_fd)) {
            break;
        }
        struct stat leftover {};
        const bool removed = ::fstatat(dir_fd, name.c_str(), &leftover, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISREG(leftover.st_mode) && ::unlinkat(dir_fd, name.c_str(), 0) == 0;
        ::flock(dir_fd, LOCK_SH | LOCK_NB);  // back to the copier's shared lock
        if (!removed) {
            break;
        }
    }
    return create_temp(dir_fd, name, fd, mode);
}

// Writes all of data, at *offset (advanced) when given, else at the file's
// own position.
int write_all(int fd, const char* data, std::size_t size, off_t* offset = nullptr) {
    while (size > 0) {
        const ssize_t n =
            offset != nullptr ? ::pwrite(fd, data, size, *offset) : ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        if (offset != nullptr) {
            *offset += n;
        }
    }
    return 0;
}

// Where a copy of file data stands; the caller is called back after each
// chunk, so a long copy can serve the user and be stopped.
struct CopyProgress {
    const std::function<bool()>* between_chunks = nullptr;
    std::uint64_t since_call = 0;
    // Counts n copied bytes; ECANCELED when the caller asks to stop.
    int advance(std::uint64_t n) {
        since_call += n;
        if (since_call < kCopyChunkBytes) {
            return 0;
        }
        since_call = 0;
        return (between_chunks != nullptr && *between_chunks && !(*between_chunks)()) ? ECANCELED
                                                                                      : 0;
    }
};

// Copies bytes [begin, end) of `in` to the same offsets of `out`, chunk by
// chunk. ENODATA when `in` ends before `end`: a copy that misses bytes never
// counts as done. copy_file_range answering 0 early is not taken for the end
// of the file (some file systems answer so for data they cannot copy that
// way): plain reads decide.
int copy_range(int in, int out, off_t begin, off_t end, CopyProgress& progress) {
    off_t in_off = begin;
    off_t out_off = begin;
    bool use_copy_range = true;
    while (use_copy_range && in_off < end) {
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(end - in_off, static_cast<off_t>(kCopyChunkBytes)));
        const ssize_t n = ::copy_file_range(in, &in_off, out, &out_off, want, 0);
        if (n > 0) {
            if (const int err = progress.advance(static_cast<std::uint64_t>(n))) {
                return err;
            }
        } else if (n == 0) {
            use_copy_range = false;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                   errno == EPERM) {
            use_copy_range = false;  // not offered here: plain reads and writes
        } else {
            return errno;
        }
    }
    if (in_off >= end) {
        return 0;
    }
    std::vector<char> buf(256 * 1024);
    while (in_off < end) {
        const auto want =
            static_cast<std::size_t>(std::min<off_t>(end - in_off, static_cast<off_t>(buf.size())));
        const ssize_t n = ::pread(in, buf.data(), want, in_off);
        if (n == 0) {
            return ENODATA;  // the file shrank while we copied it
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (const int err = write_all(out, buf.data(), static_cast<std::size_t>(n), &out_off)) {
            return err;
        }
        in_off += n;
        if (const int err = progress.advance(static_cast<std::uint64_t>(n))) {
            return err;
        }
    }
    return 0;
}

// Copies the file's contents as they stood when it was opened: a file that
// grows meanwhile is copied up to its size at that moment; one that shrinks
// while it is copied fails the copy (ENODATA) rather than give a short copy.
// A file with holes keeps them: only its data is copied, so a sparse disk
// image does not turn into gigabytes of zeros.
int copy_data(int in, int out, const FileStatus& st, const std::function<bool()>& between_chunks) {
    const auto size = static_cast<off_t>(st.size);
    const bool sparse = st.allocated < st.size;
    CopyProgress progress{&between_chunks};
    if (size >= (off_t{1} << 20)) {
        // Large files are read front to back: let the kernel read ahead far.
        ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    if (!sparse) {
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
        if (const int err = copy_range(in, out, data, hole, progress)) {
            return err;
        }
        pos = hole;
    }
    struct stat now {};
    if (::fstat(in, &now) == 0 && now.st_size < size) {
        return ENODATA;
    }
    return ::ftruncate(out, size) == 0 ? 0 : errno;
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

std::optional<FileStatus> status(const std::string& path, bool follow_links, int* err) {
    struct stat st {};
    const int rc = follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) {
        set_err(err, errno);
        return std::nullopt;
    }
    set_err(err, 0);
    return status_from_stat(st);
}

int raise_open_file_limit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return errno;
    }
    if (limit.rlim_cur == limit.rlim_max) {
        return 0;
    }
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 ? 0 : errno;
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

void UniqueHandle::reset(NativeHandle handle) {
    if (handle_ >= 0) {
        ::close(handle_);
    }
    handle_ = handle;
}

Directory Directory::open(const std::string& path, int* err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    set_err(err, fd < 0 ? errno : 0);
    return Directory(fd);
}

Directory Directory::open_child(std::string_view name, int* err) const {
    const std::string n(name);
    const int fd = ::openat(fd_.get(), n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    set_err(err, fd < 0 ? errno : 0);
    return Directory(fd);
}

Directory Directory::open_below(std::string_view relative, int* err) const {
    // Appended rather than "." + string: GCC 12 at -O3 warns falsely
    // (-Wrestrict) about the operator+ form.
    std::string rel(".");
    rel.append(relative);
#ifdef SYS_openat2
    // One call that resolves the whole path and refuses any link on it.
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, fd_.get(), rel.c_str(), &how, sizeof how);
    if (fd >= 0) {
        set_err(err, 0);
        return Directory(static_cast<int>(fd));
    }
    if (errno != ENOSYS && errno != EPERM && errno != EAGAIN) {
        set_err(err, errno);
        return Directory();
    }
#endif
    // Older kernels: one component at a time, each refusing a link.
    Directory current = open_child(".", err);
    std::size_t pos = 1;
    while (current.is_open() && pos < rel.size()) {
        const std::size_t start = pos + 1;
        const std::size_t end = std::min(rel.find('/', start), rel.size());
        current = current.open_child(std::string_view(rel).substr(start, end - start), err);
        pos = end;
    }
    return current;
}

int Directory::list(std::vector<Entry>& out) const {
    out.clear();
    return for_each_name(fd_.get(), [&out](const char* name, unsigned char type) {
        out.push_back(Entry{name, type_from_dirent(type), name[0] == '.'});
    });
}

std::optional<FileStatus> Directory::status_of(std::string_view name, bool follow_links,
                                               int* err) const {
    const std::string n(name);
    struct stat st {};
    if (::fstatat(fd_.get(), n.c_str(), &st, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        set_err(err, errno);
        return std::nullopt;
    }
    set_err(err, 0);
    return status_from_stat(st);
}

std::optional<FileStatus> Directory::own_status(int* err) const {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) {
        set_err(err, errno);
        return std::nullopt;
    }
    set_err(err, 0);
    return status_from_stat(st);
}

int Directory::make_folder(std::string_view name, std::uint32_t mode) const {
    const std::string n(name);
    return ::mkdirat(fd_.get(), n.c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
}

int Directory::set_mode(std::uint32_t mode) const {
    return ::fchmod(fd_.get(), static_cast<mode_t>(mode & 0777)) == 0 ? 0 : errno;
}

int Directory::hold_copy_lock() const {
    copy_lock_ = ::flock(fd_.get(), LOCK_SH | LOCK_NB) == 0;
    return copy_lock_ ? 0 : errno;
}

int Directory::sync_file_system() const {
    return ::syncfs(fd_.get()) == 0 ? 0 : errno;
}

void Directory::remove_leftover_temp_files() const {
    if (!copy_lock_ || !lock_exclusively(fd_.get())) {
        return;  // another copier may be writing here: its files are no leftovers
    }
    std::vector<std::string> leftovers;
    for_each_name(fd_.get(), [&leftovers](const char* name, unsigned char) {
        if (std::string_view(name).starts_with(kTempPrefix)) {
            leftovers.emplace_back(name);
        }
    });
    for (const auto& name : leftovers) {
        struct stat st {};
        if (::fstatat(fd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            ::unlinkat(fd_.get(), name.c_str(), 0);
        }
    }
    ::flock(fd_.get(), LOCK_SH | LOCK_NB);  // back to the copier's shared lock
}

int Directory::time_step_seconds() const {
    // 2001-01-01 00:00:01 UTC: an odd second, far from now. FAT keeps it
    // a second off, whichever way it rounds (Linux down, Windows up).
    constexpr timespec kProbe{978307201, 0};
    std::string name;
    UniqueFd fd;
    if (create_temp(fd_.get(), name, fd) != 0) {
        return 1;
    }
    const std::array<timespec, 2> times{kProbe, kProbe};
    const bool set = ::futimens(fd.get(), times.data()) == 0 && fd.close_checked() == 0;
    // Renamed as every copy is: some file systems lose the time there.
    if (std::string moved = random_temp_name();
        ::renameat(fd_.get(), name.c_str(), fd_.get(), moved.c_str()) == 0) {
        name = std::move(moved);
    }
    struct stat st {};
    const bool read = ::fstatat(fd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::unlinkat(fd_.get(), name.c_str(), 0);
    if (!set || !read) {
        return 1;
    }
    const double off = std::abs(static_cast<double>(st.st_mtim.tv_sec - kProbe.tv_sec) +
                                static_cast<double>(st.st_mtim.tv_nsec - kProbe.tv_nsec) / 1e9);
    return off < 1.0 ? 1 : off < 2.0 ? 2 : 0;
}

std::vector<int> Directory::coinciding_names(const std::vector<std::string>& names) const {
    std::vector<int> same(names.size(), -1);
    std::vector<std::string> made;
    const std::string base = random_temp_name() + "-";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string probe = base + names[i];
        struct stat st {};
        if (i > 0 && ::fstatat(fd_.get(), probe.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // Each probe's size is its index + 1: FUSE file systems may give
            // one entry a node number per name, so sizes tell them apart.
            same[i] = static_cast<int>(std::clamp<off_t>(st.st_size - 1, 0, off_t(i) - 1));
            continue;
        }
        const int f = ::openat(fd_.get(), probe.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (f < 0) {
            same[i] = i > 0 && errno == ENAMETOOLONG ? 0 : -1;
            continue;
        }
        made.push_back(probe);
        const std::string size(i + 1, 'x');
        if (write_all(f, size.data(), size.size()) != 0 && i > 0) {
            same[i] = 0;  // cannot be told: counted as the first name's
        }
        ::close(f);
    }
    for (const auto& probe : made) {
        ::unlinkat(fd_.get(), probe.c_str(), 0);
    }
    return same;
}

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

OpenFile OpenFile::open_at(const Directory& dir, std::string_view name, bool follow_links,
                           int* err) {
    OpenFile file;
    const std::string n(name);
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it
    // changes nothing for the reads of a regular file.
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (!follow_links) {
        flags |= O_NOFOLLOW;
    }
    const int fd = ::openat(dir.native_handle(), n.c_str(), flags);
    if (fd < 0) {
        set_err(err, errno);
        return file;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        set_err(err, errno);
        ::close(fd);
        return file;
    }
    file.fd_.reset(fd);
    file.status_ = status_from_stat(st);
    set_err(err, 0);
    return file;
}

int copy_open_file(const OpenFile& source, const Directory& dst_dir, std::string_view dst_name,
                   const CopyOptions& options) {
    if (const int err = check_copy_source(source, options)) {
        return err;
    }
    const FileStatus& st = source.status();
    const std::string dst(dst_name);
    // Only a read-only target needs a look first: the rename itself refuses
    // a folder standing at the target (EISDIR) and replaces anything else.
    if (options.refuse_read_only_target && !options.target_known_absent) {
        struct stat target {};
        if (::fstatat(dst_dir.native_handle(), dst.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(target.st_mode)) {
                return EISDIR;
            }
            if (options.refuse_read_only_target && S_ISREG(target.st_mode) &&
                (target.st_mode & 0222) == 0) {
                return EACCES;
            }
        } else if (errno != ENOENT) {
            return errno;
        }
    }

    // The temporary file is born with the source's permission bits where the
    // umask lets it, which spares a chmod for most files.
    const auto mode = static_cast<mode_t>(st.mode & 0777);
    std::string tmp_name;
    UniqueFd out;
    if (const int err = create_temp_for(dst_dir.native_handle(), dst_dir.holds_copy_lock(), dst,
                                        tmp_name, out, mode)) {
        return err;
    }
    int err = copy_data(source.native_handle(), out.get(), st, options.between_chunks);
    if (err == 0 && (mode & process_umask()) != 0 && ::fchmod(out.get(), mode) != 0) {
        err = errno;
    }
    if (err == 0) {
        const std::array<timespec, 2> times{timespec{st.atime_sec, st.atime_nsec},
                                            timespec{st.mtime_sec, st.mtime_nsec}};
        if (::futimens(out.get(), times.data()) != 0) {
            err = errno;
        }
    }
    if (const int close_err = out.close_checked(); err == 0) {
        err = close_err;
    }
    StagedCopy staged;
    staged.dir_ = dst_dir.native_handle();
    staged.temp_ = std::move(tmp_name);
    staged.target_ = dst;
    if (err != 0) {
        return err;  // staged removes the temporary file
    }
    if (options.staged != nullptr) {
        *options.staged = std::move(staged);
        return 0;
    }
    return staged.commit();
}

StagedCopy::StagedCopy(StagedCopy&& other) noexcept
    : dir_(std::exchange(other.dir_, -1))
    , temp_(std::move(other.temp_))
    , target_(std::move(other.target_)) {}

StagedCopy& StagedCopy::operator=(StagedCopy&& other) noexcept {
    if (this != &other) {
        discard();
        dir_ = std::exchange(other.dir_, -1);
        temp_ = std::move(other.temp_);
        target_ = std::move(other.target_);
    }
    return *this;
}

int StagedCopy::commit() {
    if (dir_ < 0) {
        return EINVAL;
    }
    if (::renameat(dir_, temp_.c_str(), dir_, target_.c_str()) != 0) {
        const int err = errno;
        discard();
        return err;
    }
    dir_ = -1;
    return 0;
}

void StagedCopy::discard() {
    if (dir_ >= 0) {
        ::unlinkat(dir_, temp_.c_str(), 0);
        dir_ = -1;
    }
}

int copy_link_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                 std::string_view dst_name) {
    const std::string src(src_name);
    const std::string dst(dst_name);
    struct stat st {};
    if (::fstatat(src_dir.native_handle(), src.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISLNK(st.st_mode)) {
        return EINVAL;
    }
    std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
    const ssize_t n = ::readlinkat(src_dir.native_handle(), src.c_str(), text.data(), text.size());
    if (n < 0) {
        return errno;
    }
    if (static_cast<std::size_t>(n) >= text.size()) {
        return EAGAIN;  // the link changed since its status was read
    }
    text.resize(static_cast<std::size_t>(n));
    struct stat target {};
    if (::fstatat(dst_dir.native_handle(), dst.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(target.st_mode)) {
        return EISDIR;
    }
    std::string tmp_name;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        tmp_name = random_temp_name();
        err = ::symlinkat(text.c_str(), dst_dir.native_handle(), tmp_name.c_str()) == 0 ? 0 : errno;
    }
    if (err != 0) {
        return err;
    }
    const std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    if (::utimensat(dst_dir.native_handle(), tmp_name.c_str(), times.data(), AT_SYMLINK_NOFOLLOW) !=
            0 ||
        ::renameat(dst_dir.native_handle(), tmp_name.c_str(), dst_dir.native_handle(),
                   dst.c_str()) != 0) {
        err = errno;
        ::unlinkat(dst_dir.native_handle(), tmp_name.c_str(), 0);
    }
    return err;
}

int read_file(const std::string& path, std::string& out, std::size_t max_bytes) {
    out.clear();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return EINVAL;
    }
    std::array<char, 64 * 1024> buf;
    while (out.size() < max_bytes) {
        const ssize_t n =
            ::read(fd.get(), buf.data(), std::min(buf.size(), max_bytes - out.size()));
        if (n == 0) {
            return 0;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        out.append(buf.data(), static_cast<std::size_t>(n));
    }
    return 0;
}

int replace_file_contents(const std::string& path_in, std::string_view bytes, bool keep_old_tail) {
    // Replace the file a link points to, not the link.
    std::string path = path_in;
    if (auto st = status(path, false); st && st->type == EntryType::kLink) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    const auto [parent, name] = split_parent(path);
    int err = 0;
    const Directory dir = Directory::open(parent, &err);
    if (!dir.is_open()) {
        return err;
    }
    struct stat old {};
    const bool old_exists = ::fstatat(dir.native_handle(), name.c_str(), &old, 0) == 0;
    if (old_exists && !S_ISREG(old.st_mode)) {
        return EINVAL;  // never rename over a device, a FIFO or a folder
    }
    std::string tmp_name;
    UniqueFd out;
    if ((err = create_temp(dir.native_handle(), tmp_name, out)) != 0) {
        return err;
    }
    const mode_t mode = old_exists ? (old.st_mode & 0777) : (0666 & ~process_umask());
    err = write_all(out.get(), bytes.data(), bytes.size());
    if (err == 0 && keep_old_tail && old_exists &&
        static_cast<std::uint64_t>(old.st_size) > bytes.size()) {
        UniqueFd in(::openat(dir.native_handle(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        CopyProgress unwatched;
        err = !in ? errno
                  : copy_range(in.get(), out.get(), static_cast<off_t>(bytes.size()), old.st_size,
                               unwatched);
    }
    if (err == 0 && ::fchmod(out.get(), mode) != 0) {
        err = errno;
    }
    if (err == 0 && ::fsync(out.get()) != 0) {
        err = errno;
    }
    if (const int close_err = out.close_checked(); err == 0) {
        err = close_err;
    }
    if (err == 0 &&
        ::renameat(dir.native_handle(), tmp_name.c_str(), dir.native_handle(), name.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlinkat(dir.native_handle(), tmp_name.c_str(), 0);
        return err;
    }
    ::fsync(dir.native_handle());
    return 0;
}

int append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (!fd) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errno;
    }
    std::string data;
    if (start_on_new_line && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n') {
            data = "\r\n";
        }
    }
    data.append(bytes);
    int err = write_all(fd.get(), data.data(), data.size());
    if (err != 0) {
        // Take back what a failed write left, so the file ends where it did.
        if (::ftruncate(fd.get(), st.st_size) != 0) {
            // Nothing more can be done; the next append starts on a new line.
        }
        return err;
    }
    return fd.close_checked();
}

int make_folder(const std::string& path, std::uint32_t mode) {
    return ::mkdir(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0 ? 0 : errno;
}

bool folder_writable(const std::string& path) {
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string user_config_folder() {
    const auto full_path = [](const char* value) {
        std::string path = value != nullptr && value[0] == '/' ? value : "";
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        return path;
    };
    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG base
    // directory rules say.
    if (std::string config = full_path(std::getenv("XDG_CONFIG_HOME")); !config.empty()) {
        return config;
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
    return home.empty() ? "" : (home == "/" ? "" : home) + "/.config";
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

double monotonic_seconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

namespace {
struct LocalParts {
    std::tm tm{};
    long nsec = 0;
};
LocalParts local_parts() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    LocalParts p;
    ::localtime_r(&ts.tv_sec, &p.tm);
    p.nsec = ts.tv_nsec;
    return p;
}
}  // namespace

LocalDateTime local_now() {
    const auto p = local_parts();
    return LocalDateTime{p.tm.tm_year + 1900, p.tm.tm_mon + 1, p.tm.tm_mday,
                         p.tm.tm_hour,        p.tm.tm_min,     p.tm.tm_sec};
}

double seconds_since_midnight() {
    const auto p = local_parts();
    return p.tm.tm_hour * 3600.0 + p.tm.tm_min * 60.0 + p.tm.tm_sec +
           static_cast<double>(p.nsec) / 1e9;
}

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

namespace {
// The self-pipe: [0] is the end the event loop watches, [1] the end the
// signal handler writes to. It exists once per process, as the signal
// dispositions do.
int g_termination_pipe[2] = {-1, -1};

void on_termination_signal(int /*signal_number*/) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending request: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(g_termination_pipe[1], &byte, 1);
    errno = saved;
}
}  // namespace

int watch_termination_signals() {
    if (g_termination_pipe[0] < 0 && ::pipe2(g_termination_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal_number, &action, nullptr) != 0) {
            return -1;
        }
    }
    return g_termination_pipe[0];
}

bool termination_requested() {
    if (g_termination_pipe[0] < 0) {
        return false;
    }
    bool any = false;
    std::array<char, 64> buf;
    ssize_t n = 0;
    while ((n = ::read(g_termination_pipe[0], buf.data(), buf.size())) > 0 ||
           (n < 0 && errno == EINTR)) {
        any = any || n > 0;
    }
    return any;
}

std::string system_folder() {
    return status("/usr", true) ? "/usr" : "";
}

std::string system_library_folder() {
    return status("/usr/lib", true) ? "/usr/lib" : "";
}

int spawn_detached(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return EINVAL;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    // Fork twice so the program is not our child: nobody has to reap it.
    const pid_t child = ::fork();
    if (child < 0) {
        return errno;
    }
    if (child == 0) {
        ::setsid();
        pid_t pid = 0;
        const int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
        ::_exit(rc == 0 ? 0 : 127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return (WIFEXITED(status) && WEXITSTATUS(status) == 0) ? 0 : ENOENT;
}

}  // namespace tarvenix::platform
