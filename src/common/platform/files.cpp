// The part of files.h that every system does the same way, over its calls.

#include "common/platform/files.h"

#include <cerrno>

namespace tarvenix::platform {

Status make_folders(const std::string& path, std::uint32_t mode) {
    if (status(path, true)) {
        return {};
    }
    const auto [parent, name] = split_parent(path);
    if (!name.empty() && parent != path) {
        (void)make_folders(parent, mode);  // the last folder's own make tells
    }
    const Status made = make_folder(path, mode);
    return made.error() == EEXIST ? Status() : made;
}

}  // namespace tarvenix::platform
