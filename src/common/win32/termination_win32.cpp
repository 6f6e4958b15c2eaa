// Termination requests on Windows: the console's control events.

#include <windows.h>

#include <atomic>
#include <cerrno>

#include "common/platform/termination.h"
#include "common/win32/win32_internal.h"

namespace tarvenix::platform {
namespace {

// Set by the console's control handler, which runs on a thread of its own;
// taken by termination_requested() on the program's thread.
std::atomic<bool> g_termination_requested{false};

BOOL WINAPI on_console_event(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_termination_requested = true;
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process as soon as this handler returns:
            // it waits while the program runs its shut-down sequence, which
            // ends the process (or the system does, after its grace period).
            g_termination_requested = true;
            ::Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

int watch_termination_signals() {
    if (!::SetConsoleCtrlHandler(on_console_event, TRUE)) {
        errno = detail::last_error().code;
        return -1;
    }
    return 0;  // nothing to watch: the front end asks termination_requested()
}

bool termination_requested() {
    return g_termination_requested.exchange(false);
}

bool peer_closed(int /*descriptor*/) {
    return false;
}

}  // namespace tarvenix::platform
