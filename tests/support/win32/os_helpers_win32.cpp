// Real operating-system conditions for the tests on Windows.

#include <windows.h>

#include "support/os_helpers.h"

namespace tarvenix::testing {

FileOpenForWriting::FileOpenForWriting(const std::string& path) {
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    // Sharing reading and writing, as editors and databases do: the file stays
    // readable, but it is in use.
    const HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    handle_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
}

FileOpenForWriting::~FileOpenForWriting() {
    if (handle_ != nullptr) {
        ::CloseHandle(handle_);
    }
}

ScopedTmpfs::ScopedTmpfs(const std::string& parent, const std::string& /*size*/)
    : path_(parent + "\\small-fs")
    , reason_("Windows has no small file system a test can mount") {}

ScopedTmpfs::~ScopedTmpfs() = default;

}  // namespace tarvenix::testing
