// The running program and the system on Windows.

#include <array>

#include "common/platform/files.h"
#include "common/platform/process.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform {
namespace {

std::string narrow_folder(const wchar_t* buffer, UINT length) {
    return length == 0 ? std::string() : narrow(std::wstring_view(buffer, length));
}

}  // namespace

std::string executable_folder() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return "";  // the system cannot tell
        }
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    std::string exe = narrow(buf);
    if (exe.starts_with("\\\\?\\UNC\\")) {
        exe = "\\\\" + exe.substr(8);  // \\?\UNC\server\share -> \\server\share
    } else if (exe.starts_with("\\\\?\\")) {
        exe.erase(0, 4);
    }
    return split_parent(exe).first;
}

void raise_open_file_limit() {
    // A process may hold millions of handles: nothing to raise.
}

std::size_t open_files_available() {
    return std::size_t{1} << 20;
}

OsVersion os_version() {
    // GetVersionExW answers 6.2 to programs without a compatibility manifest;
    // ntdll's RtlGetVersion tells the truth.
    OsVersion v;
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtl_get_version != nullptr && rtl_get_version(&info) == 0) {
        v.major = static_cast<int>(info.dwMajorVersion);
        v.minor = static_cast<int>(info.dwMinorVersion);
        v.build = static_cast<int>(info.dwBuildNumber);
        v.platform_id = static_cast<int>(info.dwPlatformId);
    }
    return v;
}

std::string system_folder() {
    std::array<wchar_t, MAX_PATH + 1> buf{};
    return narrow_folder(buf.data(), ::GetWindowsDirectoryW(buf.data(), MAX_PATH));
}

std::string system_library_folder() {
    std::array<wchar_t, MAX_PATH + 1> buf{};
    return narrow_folder(buf.data(), ::GetSystemDirectoryW(buf.data(), MAX_PATH));
}

}  // namespace tarvenix::platform
