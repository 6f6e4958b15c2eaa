// What a folder is stored on, on Windows: a share by its path, a mapped
// network drive or a removable drive by the drive's type, and a drive
// formatted as FAT or exFAT by its file system: many USB sticks, card readers
// and external disks call themselves fixed disks, while a disk inside the
// machine is formatted NTFS (or ReFS) nearly always.

#include <cwchar>
#include <string>

#include "common/platform/storage.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform {

StorageKind storage_kind(const Directory& folder) {
    // "\\??\\C:\\x" on a drive, "\\??\\UNC\\server\\share\\x" on a share.
    const auto nt = detail::folder_nt_path(folder.native_handle());
    if (!nt) {
        return StorageKind::kLocal;
    }
    const std::wstring path = nt->substr(4) + L'\\';
    if (path.starts_with(L"UNC\\")) {
        return StorageKind::kNetwork;
    }
    // The volume's root: a drive's, or the folder a volume is mounted in.
    // A path too long for the call is taken on its drive.
    std::wstring root(MAX_PATH + 1, L'\0');
    if (::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        root.resize(std::wcslen(root.c_str()));
    } else {
        root = path.substr(0, 3);
    }
    switch (::GetDriveTypeW(root.c_str())) {
        case DRIVE_REMOTE:
            return StorageKind::kNetwork;
        case DRIVE_REMOVABLE:
            return StorageKind::kRemovable;
        case DRIVE_FIXED:
            break;
        default:
            return StorageKind::kLocal;
    }
    wchar_t file_system[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, file_system,
                                 MAX_PATH + 1)) {
        return StorageKind::kLocal;
    }
    for (const wchar_t* fat : {L"FAT", L"FAT32", L"exFAT"}) {
        if (::_wcsicmp(file_system, fat) == 0) {
            return StorageKind::kRemovable;
        }
    }
    return StorageKind::kLocal;
}

}  // namespace tarvenix::platform
