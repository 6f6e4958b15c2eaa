// Ending the session on Windows: ExitWindowsEx.

#include <windows.h>

#include "common/platform/process.h"
#include "common/system_ports.h"

namespace tarvenix {

unsigned WindowsSession::flags_for(SessionRequest request, int major_version) {
    switch (request) {
        case SessionRequest::kLogOff:
            return EWX_LOGOFF;
        case SessionRequest::kPowerOff:
            return major_version == 5 ? EWX_POWEROFF : EWX_SHUTDOWN;
        case SessionRequest::kReboot:
            return EWX_REBOOT;
    }
    return EWX_LOGOFF;
}

unsigned long WindowsSession::enable_shutdown_privilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return ::GetLastError();
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD result = ERROR_SUCCESS;
    if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) ||
        !::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) {
        result = ::GetLastError();
    } else {
        // AdjustTokenPrivileges succeeds even when the account lacks the
        // privilege; only the last error tells.
        result = ::GetLastError();
    }
    ::CloseHandle(token);
    return result;
}

void WindowsSession::request_session_end(SessionRequest request) {
    if (request != SessionRequest::kLogOff) {
        enable_shutdown_privilege();
    }
    // Nothing is reported back: a denied privilege or a veto leaves the
    // program running. The reason tells the event log the end was planned.
    ::ExitWindowsEx(
        flags_for(request, platform::os_version().major),
        SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED);
}

}  // namespace tarvenix
