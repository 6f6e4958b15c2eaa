#pragma once

// What the platform interface (common/platform/) takes from Windows. CMake
// puts this folder on the include path of the Windows build only; the
// interface itself stays free of <windows.h>.

#include <cerrno>

// The platform layer reports Windows errors as errno values (see
// win32_internal.h). The C runtime lacks a value for an exceeded quota,
// which the core's error table names; Windows Sockets' number stands in.
#ifndef EDQUOT
#define EDQUOT 10069
#endif

namespace tarvenix::platform {

// A Windows HANDLE; nullptr when there is none (a failed CreateFileW gives
// INVALID_HANDLE_VALUE, which the layer never keeps).
using NativeHandle = void*;
inline constexpr NativeHandle kInvalidHandle = nullptr;

// The separator between the components of a path.
inline constexpr char kPathSeparator = '\\';

// A rename over a folder fails only as "access denied": a copy looks at its
// target first, so a folder there is told as one before any data is copied.
inline constexpr bool kRenameRefusesFolders = false;

// No staging folders (see locks.h): a folder's handles here share deletion,
// so nothing would tell another copier's clean-up that one is in use; each
// copy's temporary file, open without sharing, stays in its own folder.
inline constexpr bool kStagesInOtherFolders = false;

// The program's own folder inside user_config_folder().
inline constexpr char kUserFolderName[] = "Tarvenix";

// The system's HTML Help (hhctrl.ocx) shows CHM help files.
inline constexpr bool kShowsHelpFiles = true;

}  // namespace tarvenix::platform
