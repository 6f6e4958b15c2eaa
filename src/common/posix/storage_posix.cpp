// What a folder is stored on, on Linux: the file system's magic number from
// fstatfs tells kernel file systems apart. FUSE file systems all share one
// magic number, so for them the mount's own type (and where it comes from)
// is read from /proc/self/mountinfo; for a kernel file system on a block
// device, sysfs says whether the device is removable.

#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/platform/storage.h"
#include "common/posix/posix_internal.h"

namespace tarvenix::platform {
namespace {

constexpr std::uint32_t kFuseMagic = 0x65735546;

// Kernel clients of network file systems.
constexpr std::array<std::uint32_t, 11> kNetworkMagics = {
    0x6969,      // NFS
    0x517B,      // SMB (smbfs)
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2 (cifs speaking SMB 2 and 3)
    0x5346414F,  // AFS (OpenAFS)
    0x6B414653,  // kAFS
    0x00C36400,  // Ceph
    0x01021997,  // 9P (also a virtual machine's host folders)
    0x73757245,  // Coda
    0x564C,      // NCP (NetWare)
    0x0BD00BD0,  // Lustre
};

// What USB sticks, memory cards and external disks carry.
constexpr std::array<std::uint32_t, 6> kRemovableMagics = {
    0x4D44,      // FAT (msdos, vfat)
    0x2011BAB0,  // exFAT
    0x5346544E,  // NTFS (the old kernel driver)
    0x7366746E,  // NTFS (ntfs3)
    0x482B,      // HFS+
    0x4244,      // HFS
};

// FUSE drivers that reach a server: by the name after "fuse." in the
// mount's type.
constexpr std::array<std::string_view, 9> kNetworkFuse = {
    "sshfs",     "rclone",    "s3fs",     "gvfsd-fuse", "davfs",
    "curlftpfs", "glusterfs", "smbnetfs", "gcsfuse",
};

// FUSE drivers of the file systems Windows writes on sticks and external
// disks, by the name they give their mount. On a real device they mount as
// "fuseblk" (any FUSE driver on a block device), which counts as removable
// too; ntfs-3g on an image file names no driver ("fuse") and counts as local,
// as the disk holding the image is.
constexpr std::array<std::string_view, 6> kRemovableFuse = {
    "fusefat", "exfat", "exfat-fuse", "ntfs-3g", "lowntfs-3g", "ntfs",
};

template <class List, class T>
bool listed(const List& list, const T& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// The next field of a mountinfo line (separated by single spaces; a space
// inside a field is written \040, so none needs unescaping to be compared).
std::string_view next_field(std::string_view& line) {
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(std::min(end + 1, line.size()));
    return field;
}

// A remote file system's mount names its server as its source: "user@host:/path"
// (sshfs), "remote:path" (rclone), "http://host/dav" (davfs), while a local one
// names a device, a file or nothing much ("/dev/sdb1", "fusefat").
bool names_a_server(std::string_view source) {
    const std::size_t colon = source.find(':');
    return !source.starts_with('/') && colon != std::string_view::npos && colon > 0 &&
           colon < source.find('/');
}

StorageKind kind_of_removable_device(dev_t device) {
    if (::major(device) == 0) {
        return StorageKind::kLocal;  // no block device: tmpfs, overlay, btrfs' subvolumes
    }
    // A partition has no flag of its own: its disk, the folder above, has it.
    const std::string block =
        "/sys/dev/block/" + std::to_string(::major(device)) + ":" + std::to_string(::minor(device));
    auto flag = read_file(block + "/removable", 16);
    if (!flag) {
        flag = read_file(block + "/../removable", 16);
    }
    return flag && flag->starts_with('1') ? StorageKind::kRemovable : StorageKind::kLocal;
}

// The kind of the FUSE mount whose device is major:minor, told from its line
// in `mountinfo` (the text of /proc/self/mountinfo): its driver and its
// source; kLocal when no line has that device.
StorageKind fuse_storage_kind(std::string_view mountinfo, unsigned major, unsigned minor) {
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    while (!mountinfo.empty()) {
        const std::size_t end = std::min(mountinfo.find('\n'), mountinfo.size());
        std::string_view line = mountinfo.substr(0, end);
        mountinfo.remove_prefix(std::min(end + 1, mountinfo.size()));
        // "36 35 0:41 / /mnt/share rw,relatime shared:7 - fuse.sshfs host:/x rw,...":
        // the number, its parent, the device, the root, the mount point, its
        // options, optional fields up to "-", then type, source, options.
        next_field(line);
        next_field(line);
        if (next_field(line) != device) {
            continue;
        }
        const std::size_t dash = line.find(" - ");
        if (dash == std::string_view::npos) {
            continue;
        }
        line.remove_prefix(dash + 3);
        const std::string_view type = next_field(line);
        const std::string_view source = next_field(line);
        const std::string_view driver = type.starts_with("fuse.") ? type.substr(5) : "";
        if (listed(kNetworkFuse, driver) || names_a_server(source)) {
            return StorageKind::kNetwork;
        }
        return type == "fuseblk" || listed(kRemovableFuse, driver) ? StorageKind::kRemovable
                                                                   : StorageKind::kLocal;
    }
    return StorageKind::kLocal;
}

}  // namespace

StorageKind storage_kind(const Directory& folder) {
    struct statfs fs {};
    const auto own = folder.own_status();
    if (::fstatfs(folder.native_handle(), &fs) != 0 || !own) {
        return StorageKind::kLocal;
    }
    // f_type is a signed word: CIFS's magic would be negative on 32 bits.
    const auto magic = static_cast<std::uint32_t>(fs.f_type);
    if (listed(kNetworkMagics, magic)) {
        return StorageKind::kNetwork;
    }
    if (listed(kRemovableMagics, magic)) {
        return StorageKind::kRemovable;
    }
    const auto device = static_cast<dev_t>(own->device);
    if (magic == kFuseMagic) {
        // fuseblk's device is its block device's; other FUSE mounts get one
        // of their own. Either is the mount's number in mountinfo.
        const auto mounts = read_file("/proc/self/mountinfo", std::size_t{16} << 20);
        return mounts ? fuse_storage_kind(*mounts, ::major(device), ::minor(device))
                      : StorageKind::kLocal;
    }
    return kind_of_removable_device(device);
}

}  // namespace tarvenix::platform
