// Real operating-system conditions for the tests on Windows.

#include <windows.h>

#include "common/win32/wide_text.h"
#include "support/os_helpers.h"

namespace tarvenix::testing {

FileOpenForWriting::FileOpenForWriting(const std::string& path) {
    // Sharing reading and writing, as editors and databases do: the file stays
    // readable, but it is in use.
    const HANDLE h = ::CreateFileW(platform::widen(path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
}

FileOpenForWriting::~FileOpenForWriting() {
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
    }
}

ScopedTmpfs::ScopedTmpfs(const std::string& parent, const std::string& /*size*/) {
    path_ = parent + "\\small-fs";
    reason_ = "Windows has no small file system a test can mount";
}

ScopedMount::~ScopedMount() = default;

}  // namespace tarvenix::testing
