// Whole-file writes on Linux: a replace is a temporary file, fsync and a
// rename; an append is O_APPEND, cut back when it fails part-way.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "common/platform/copy.h"
#include "common/platform/file_writes.h"
#include "common/posix/posix_internal.h"

namespace tarvenix::platform {

Status replace_file_contents(const std::string& path_in, std::string_view bytes,
                             bool keep_old_tail) {
    // Replace the file a link points to, not the link.
    std::string path = path_in;
    if (auto st = status(path, false); st && st->type == EntryType::kLink) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    const auto [parent, name] = split_parent(path);
    const auto dir = Directory::open(parent);
    if (!dir) {
        return dir.status();
    }
    struct stat old {};
    const bool old_exists = ::fstatat(dir->native_handle(), name.c_str(), &old, 0) == 0;
    if (old_exists && !S_ISREG(old.st_mode)) {
        return Error{EINVAL};  // never rename over a device, a FIFO or a folder
    }
    auto staged = detail::make_temp_for(*dir, name, 0600, nullptr, false);
    if (!staged) {
        return staged.status();
    }
    const int out = staged->file().get();
    const mode_t mode = old_exists ? (old.st_mode & 0777) : (0666 & ~detail::process_umask());
    Status done = detail::write_all(out, bytes);
    if (done && keep_old_tail && old_exists &&
        static_cast<std::uint64_t>(old.st_size) > bytes.size()) {
        const UniqueHandle in(
            ::openat(dir->native_handle(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        detail::ChunkProgress unwatched;
        done = !in.valid() ? Status(Error{errno})
                           : detail::copy_range(in.get(), out, static_cast<off_t>(bytes.size()),
                                                old.st_size, unwatched);
    }
    if (done) {
        done = detail::checked(::fchmod(out, mode));
    }
    if (done) {
        done = detail::checked(::fsync(out));
    }
    if (done) {
        done = staged->file().close();
    }
    if (done) {
        done = staged->commit();
    }
    if (done) {
        ::fsync(dir->native_handle());
    }
    return done;
}

Status append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line) {
    UniqueHandle fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        return Error{errno};
    }
    std::string data;
    if (start_on_new_line && st.st_size > 0) {
        char last = '\n';
        if (::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n') {
            data = "\r\n";
        }
    }
    data.append(bytes);
    if (Status written = detail::write_all(fd.get(), data); !written) {
        // Take back what a failed write left, so the file ends where it did.
        if (::ftruncate(fd.get(), st.st_size) != 0) {
            // Nothing more can be done; the next append starts on a new line.
        }
        return written;
    }
    return fd.close();
}

}  // namespace tarvenix::platform
