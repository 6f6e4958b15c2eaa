// Whole-file writes on Windows: a replace is a temporary file, flushed and
// renamed through its handle; an append is cut back when it fails part-way.

#include "common/platform/copy_primitives.h"
#include "common/platform/file_writes.h"
#include "common/platform/locks.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform {

Status replace_file_contents(const std::string& path, std::string_view bytes, bool keep_old_tail) {
    const auto [parent, name] = split_parent(path);
    const auto dir = Directory::open(parent);
    if (!dir) {
        return dir.status();
    }
    // The new file keeps the old one's read-only attribute; anything but a
    // regular file (a folder, a device) is never renamed over.
    const auto old = dir->status_of(name, true);
    if (old && old->type != EntryType::kFile) {
        return Error{EINVAL};
    }
    // A save killed before its rename left a temporary file of this name:
    // a new save removes it.
    const CopyLock lock(*dir);
    auto staged = detail::make_temp_for(*dir, name, old ? old->mode : 0666, &lock, true);
    if (!staged) {
        return staged.status();
    }
    const HANDLE out = staged->file().get();
    Status done = detail::write_all(out, bytes);
    if (done && keep_old_tail && old && old->size > bytes.size()) {
        // The old bytes past the new ones, read in pieces from the old file.
        auto in = OpenFile::open_at(*dir, name, true);
        LARGE_INTEGER from{};
        from.QuadPart = static_cast<LONGLONG>(bytes.size());
        detail::ChunkProgress unwatched;
        done =
            !in ? in.status()
            : !::SetFilePointerEx(in->native_handle(), from, nullptr, FILE_BEGIN)
                ? Status(detail::last_error())
                : detail::copy_rest(in->native_handle(), out, old->size - bytes.size(), unwatched);
    }
    if (done && old && (old->mode & 0222) == 0) {
        done = detail::set_basic_info(out, FILE_ATTRIBUTE_READONLY);
    }
    if (done) {
        done = detail::finish_file(staged->file(), true);
    }
    return done ? staged->commit() : done;
}

Status append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line) {
    UniqueHandle h(
        detail::keep(::CreateFileW(detail::native_path(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr)));
    LARGE_INTEGER size{};
    if (!h.valid() || !::GetFileSizeEx(h.get(), &size)) {
        return detail::last_error();
    }
    std::string data;
    if (start_on_new_line && size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char ch = '\n';
        DWORD got = 0;
        if (::SetFilePointerEx(h.get(), last, nullptr, FILE_BEGIN) &&
            ::ReadFile(h.get(), &ch, 1, &got, nullptr) && got == 1 && ch != '\n') {
            data = "\r\n";
        }
    }
    data.append(bytes);
    if (!::SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN)) {
        return detail::last_error();
    }
    if (Status written = detail::write_all(h.get(), data); !written) {
        // Take back what a failed write left, so the file ends where it did.
        ::SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(h.get());
        return written;
    }
    return h.close();
}

}  // namespace tarvenix::platform
