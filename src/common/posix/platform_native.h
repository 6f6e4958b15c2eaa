#pragma once

// What the platform interface (common/platform/) takes from Linux. CMake puts
// this folder on the include path of the Linux build only.

namespace tarvenix::platform {

// A file descriptor.
using NativeHandle = int;
inline constexpr NativeHandle kInvalidHandle = -1;

// The separator between the components of a path.
inline constexpr char kPathSeparator = '/';

// rename(2) refuses by itself to put a file where a folder is (EISDIR): a
// copy's target needs no look first for that.
inline constexpr bool kRenameRefusesFolders = true;

// A staging folder in use is told by its flock (see locks.h).
inline constexpr bool kStagesInOtherFolders = true;

// The program's own folder inside user_config_folder().
inline constexpr char kUserFolderName[] = "tarvenix";

// CHM help files are shown only by a viewer the user installs (xchm, kchmviewer).
inline constexpr bool kShowsHelpFiles = false;

}  // namespace tarvenix::platform
