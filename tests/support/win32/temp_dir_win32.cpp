// The file details of the tests on Windows.

#include <windows.h>

#include <stdexcept>

#include "common/win32/wide_text.h"
#include "support/temp_dir.h"

namespace tarvenix::testing {

using platform::widen;

constexpr long long kTicksPerSecond = 10'000'000;
constexpr long long kEpochDifference = 11'644'473'600LL;  // 1601 to 1970, seconds

static WIN32_FILE_ATTRIBUTE_DATA attributes_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
        throw std::runtime_error("no attributes for " + path);
    }
    return data;
}

void set_mtime(const std::string& path, long long seconds) {
    const HANDLE h = ::CreateFileW(widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const auto ticks =
        static_cast<unsigned long long>((seconds + kEpochDifference) * kTicksPerSecond);
    FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFFU), static_cast<DWORD>(ticks >> 32)};
    const bool ok = h != INVALID_HANDLE_VALUE && ::SetFileTime(h, nullptr, &ft, &ft);
    ::CloseHandle(h);
    if (!ok) {
        throw std::runtime_error("cannot set the time of " + path);
    }
}

long long mtime_of(const std::string& path) {
    const FILETIME ft = attributes_of(path).ftLastWriteTime;
    const auto ticks =
        (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>(ticks / kTicksPerSecond) - kEpochDifference;
}

unsigned mode_of(const std::string& path) {
    const DWORD a = attributes_of(path).dwFileAttributes;
    const unsigned base = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0777 : 0666;
    return (a & FILE_ATTRIBUTE_READONLY) != 0 ? (base & ~0222U) : base;
}

}  // namespace tarvenix::testing
