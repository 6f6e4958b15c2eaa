#pragma once

// The running program and the system it runs on: where the executable and
// the system live, the open-file limit, the system's version.
// posix/process_posix.cpp and win32/process_win32.cpp implement it.

#include <cstddef>
#include <string>

namespace tarvenix::platform {

// The folder that holds the running executable, without a trailing separator, as
// the bytes the file system holds (a name that is not UTF-8 stays as it is,
// so the folder can still be used); "" when the system cannot tell.
std::string executable_folder();

// Open files: the program raises its own soft limit to the hard one at start
// (as long-running programs do: the default 1024, or 256 under some shells,
// is a relic of select()); on Windows there is no such limit. A limit that
// cannot be raised stays as it was: the batches then hold fewer folders.
void raise_open_file_limit();
// How many more files and folders the process can hold open now (its limit
// less what it holds); very large where the system sets no such limit.
std::size_t open_files_available();

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int platform_id = 0;
};
OsVersion os_version();

// The folder the system lives in and the folder of its libraries (WinDir and
// SysDir): /usr and /usr/lib on Linux, the Windows and the system folder on
// Windows. Empty when the system does not say.
std::string system_folder();
std::string system_library_folder();

}  // namespace tarvenix::platform
