#pragma once

// Termination requests from the system. posix/termination_posix.cpp (a
// self-pipe written by the signal handler) and win32/termination_win32.cpp
// (a console control handler) implement it.

namespace tarvenix::platform {

// Termination requests from the system (SIGTERM, SIGINT, SIGHUP): once
// watched, each such signal makes the returned descriptor readable instead of
// ending the program; the front end watches it in its event loop and calls
// termination_requested() to take what arrived. Returns -1 (errno set) when
// the signals cannot be watched. On Windows the requests are the console's
// (Ctrl+C, Ctrl+Break, its window closed, log-off, shut-down), there is no
// descriptor to watch (0 is returned): the front end asks
// termination_requested() on its timer, and a closing console waits for the
// program until the system's own grace period ends. A windowed program hears
// of the end of the session by WM_QUERYENDSESSION and WM_ENDSESSION.
int watch_termination_signals();
// True when a termination request arrived since the last call.
bool termination_requested();
// True when the other end of the connected stream socket `descriptor` has
// closed it: the display server a Linux desktop program talks to has ended
// (a log-out ends it before the programs of the session). Never waits; false
// on Windows, where no program's display goes away under it.
bool peer_closed(int descriptor);

}  // namespace tarvenix::platform
