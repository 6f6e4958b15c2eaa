#pragma once

// Desktop implementations of the ports that need no window toolkit.

#include <string>
#include <vector>

#include "common/ports.h"

namespace tarvenix {

class SystemClock final : public ClockPort {
public:
    double seconds_since_midnight() override;
    LocalDateTime local_now() override;
    double monotonic_seconds() override;
};

// Each session port exists on its own system only (posix/, win32/).

// Ends the session through systemd-logind: "systemctl poweroff" and
// "systemctl reboot" (logind asks polkit whether the user may, and honours
// the inhibitors other programs hold, so they can still veto), and
// "loginctl terminate-session" for logging off.
class LogindSession final : public SessionPort {
public:
    void request_session_end(SessionRequest request) override;

    // The command that carries out a request (kept apart for testing).
    static std::vector<std::string> command_for(SessionRequest request,
                                                const std::string& session_id,
                                                const std::string& user);
};

// Ends the Windows session with ExitWindowsEx, after switching on the
// process's shut-down privilege for a shut-down or restart. No force flag:
// running programs can still veto.
class WindowsSession final : public SessionPort {
public:
    void request_session_end(SessionRequest request) override;

    // The ExitWindowsEx flags for a request on Windows of the given major
    // version: power off on NT 5 (2000, XP), plain shut down elsewhere.
    static unsigned flags_for(SessionRequest request, int major_version);
    // Switches on SeShutdownPrivilege for this process; 0 or a Windows
    // error code (ERROR_NOT_ALL_ASSIGNED when the account lacks it).
    static unsigned long enable_shutdown_privilege();
};

}  // namespace tarvenix
