#pragma once

// Desktop implementations of the ports that need no window toolkit.

#include <functional>
#include <string>
#include <string_view>
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
// "loginctl terminate-session" of the program's own session for logging off.
// Without a session of its own, logging off would have to end some other
// session of the user: it is refused and the failure reported instead.
class LogindSession final : public SessionPort {
public:
    using Runner = std::function<void(const std::vector<std::string>&)>;
    using Reporter = std::function<void(std::string_view)>;
    using SessionLookup = std::function<std::string()>;

    // By default the command is started detached, the session looked up by
    // own_session(), and a failure written to stderr.
    explicit LogindSession(Runner run = {}, SessionLookup own_session = {});
    void set_failure_reporter(Reporter report) { report_ = std::move(report); }

    void request_session_end(SessionRequest request) override;

    // The command that carries out a request; empty when there is none.
    static std::vector<std::string> command_for(SessionRequest request,
                                                const std::string& session_id);
    // The logind session this process belongs to, "" when it belongs to none:
    // the session scope of its control group first (what sd_pid_get_session
    // reads), then its audit session, which logind names its sessions after,
    // then XDG_SESSION_ID.
    static std::string own_session();
    // The same from the texts of /proc/self/cgroup, /proc/self/sessionid and
    // XDG_SESSION_ID.
    static std::string session_from(std::string_view cgroup, std::string_view audit_session,
                                    std::string_view environment);
    static constexpr std::string_view kNoSessionMessage =
        "ログオフできません！\rこのプログラムのログインセッションが見つかりません";

private:
    Runner run_;
    SessionLookup own_session_;
    Reporter report_;
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
