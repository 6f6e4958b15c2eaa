// The Windows side of the copy: a temporary file opened without any
// sharing, read and written in 1 MiB pieces, flushed on its own (only
// administrators may flush a volume) and renamed over the target through
// its still open handle.

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/platform/copy_primitives.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform::detail {
namespace {

// Renames the open file over `target` in `dir`, replacing it. The rename
// goes through the handle, so the file stays ours until it has its name.
// The target is named by a full NT path made from the folder's handle (wine
// refuses a rename relative to a root folder).
Status rename_handle(HANDLE file, HANDLE dir, std::string_view target) {
    auto name = folder_nt_path(dir);
    if (!name) {
        return name.status();
    }
    *name += L'\\';
    *name += widen(target);
    std::vector<std::byte> buf(sizeof(FILE_RENAME_INFO) + name->size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name->size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name->data(), info->FileNameLength);
    return checked(
        ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buf.size())));
}

}  // namespace

Result<UniqueHandle> create_new_file(const Directory& folder, const std::string& name,
                                     std::uint32_t /*mode*/, bool /*own_lock*/) {
    // No sharing at all: while the file is written nobody else can open,
    // delete or rename it, which is how another copier tells it from a dead
    // copy's leftover.
    return open_relative(folder.native_handle(), name,
                         GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, kFileCreate,
                         kFileNonDirectoryFile, FILE_ATTRIBUTE_NORMAL);
}

Status write_all(NativeHandle file, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr)) {
            return last_error();
        }
        data += written;
        size -= written;
    }
    return {};
}

Status copy_rest(HANDLE in, HANDLE out, std::uint64_t size, ChunkProgress& progress) {
    std::vector<char> buf(1024 * 1024);
    for (std::uint64_t left = size; left > 0;) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, buf.size()));
        DWORD got = 0;
        if (!::ReadFile(in, buf.data(), want, &got, nullptr)) {
            return last_error();
        }
        if (got == 0) {
            return Error{ENODATA};  // the file shrank while we copied it
        }
        if (Status written = write_all(out, std::string_view(buf.data(), got)); !written) {
            return written;
        }
        left -= got;
        if (Status go_on = progress.advance(got); !go_on) {
            return go_on;
        }
    }
    return {};
}

Status copy_data(const OpenFile& source, NativeHandle out, ChunkProgress& progress) {
    LARGE_INTEGER start{};
    ::SetFilePointerEx(source.native_handle(), start, nullptr, FILE_BEGIN);
    return copy_rest(source.native_handle(), out, source.status().size, progress);
}

Status set_times_and_mode(NativeHandle file, const FileStatus& status) {
    return set_basic_info(
        file, (status.mode & 0222) == 0 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL, &status);
}

Status finish_file(UniqueHandle& file, bool /*keep_own_lock*/, bool /*flush_data*/) {
    // A batch's renames only ever put flushed copies in place, and a copy
    // renamed at once is flushed all the same.
    return checked(::FlushFileBuffers(file.get()));
}

// Windows refuses to replace a read-only file (wine does not): the old
// copy's attribute is cleared for the rename and put back when the rename
// still fails, so a failure leaves the old copy as it was.
Status rename_over(NativeHandle /*folder*/, const std::string& /*temp*/, UniqueHandle& file,
                   NativeHandle folder, const std::string& target) {
    // The rename goes through the open file, into `folder` wherever it was
    // made.
    Status renamed = rename_handle(file.get(), folder, target);
    if (renamed.error() != EACCES) {
        return renamed;
    }
    auto old =
        open_relative(folder, target, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                      kFileOpen, kFileOpenForBackupIntent | kFileOpenReparsePoint);
    if (!old) {
        return renamed;
    }
    const DWORD attributes = attributes_of_handle(old->get());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !set_basic_info(old->get(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        return renamed;
    }
    old->reset();  // an open file cannot be replaced
    renamed = rename_handle(file.get(), folder, target);
    if (!renamed) {
        if (auto back = open_relative(folder, target, FILE_WRITE_ATTRIBUTES, kShareAll, kFileOpen,
                                      kFileOpenForBackupIntent | kFileOpenReparsePoint)) {
            (void)set_basic_info(back->get(), attributes);
        }
    }
    return renamed;
}

void remove_temp(NativeHandle folder, const std::string& temp, UniqueHandle& file) {
    if (!file.valid()) {
        delete_if_unused(folder, temp);
        return;
    }
    FILE_DISPOSITION_INFO gone{TRUE};
    if (!::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone)) {
        // A copy already marked read-only cannot be deleted as it is.
        (void)set_basic_info(file.get(), FILE_ATTRIBUTE_NORMAL);
        ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
    }
    file.reset();
}

}  // namespace tarvenix::platform::detail

namespace tarvenix::platform {

Status copy_link_at(const Directory& /*src_dir*/, std::string_view /*src_name*/,
                    const Directory& /*dst_dir*/, std::string_view /*dst_name*/) {
    // Windows lists no links (reparse points are kSystem entries, never
    // copied): nothing here is a link to copy.
    return Error{EINVAL};
}

}  // namespace tarvenix::platform
