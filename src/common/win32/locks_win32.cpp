// Locks on Windows: sharing modes tell a file in use; a copy's temporary
// file, open without sharing until its rename, needs no folder lock.

#include "common/platform/copy.h"
#include "common/platform/locks.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform {

bool is_locked_by_other_process(NativeHandle handle) {
    // Sharing reading only, a second open fails while any other open of the
    // file may write or delete it: another program is using it.
    const HANDLE probe = detail::keep(::ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ, 0));
    if (probe == nullptr) {
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    }
    ::CloseHandle(probe);
    return false;
}

// Nothing to take: each temporary file's own exclusive handle marks it as
// in use, so the mark is always there.
CopyLock::CopyLock(const Directory& folder)
    : folder_(folder.native_handle())
    , held_(folder.is_open()) {}

CopyLock::~CopyLock() = default;

bool CopyLock::remove_if_leftover(std::string_view name) const {
    return held_ && is_temp_name(name) && detail::delete_if_unused(folder_, name);
}

void CopyLock::remove_leftover_temp_files() const {
    const auto entries =
        held_ ? detail::list_handle(folder_) : Result<std::vector<Directory::Entry>>(Error{EBADF});
    if (!entries) {
        return;
    }
    for (const auto& entry : *entries) {
        if (is_temp_name(entry.name)) {
            detail::delete_if_unused(folder_, entry.name);
        }
    }
}

// No staging folders here (kStagesInOtherFolders): none is made, so none
// is ever found in use or left over.
Result<std::pair<std::string, Directory>> make_staging_folder(const Directory& /*parent*/) {
    return Error{ENOTSUP};
}

bool still_named_in(const Directory& /*parent*/, std::string_view /*name*/,
                    const Directory& /*folder*/) {
    return false;
}

bool remove_staging_folder(const Directory& /*parent*/, std::string_view /*name*/) {
    return false;
}

}  // namespace tarvenix::platform
