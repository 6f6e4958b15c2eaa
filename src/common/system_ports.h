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
    // platform::own_login_session, and a failure written to stderr.
    explicit LogindSession(Runner run = {}, SessionLookup own_session = {});
    void set_failure_reporter(Reporter report) { report_ = std::move(report); }

    void request_session_end(SessionRequest request) override;

    // The command that carries out a request; empty when there is none.
    static std::vector<std::string> command_for(SessionRequest request,
                                                const std::string& session_id);
    static constexpr std::string_view kNoSessionMessage =
        "ログオフできません！\rこのプログラムのログインセッションが見つかりません";

private:
    Runner run_;
    SessionLookup own_session_;
    Reporter report_;
};

}  // namespace tarvenix
