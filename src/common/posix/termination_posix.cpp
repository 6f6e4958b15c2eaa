// Termination requests on Linux: SIGTERM, SIGINT and SIGHUP through a
// self-pipe the event loop watches.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include "common/platform/termination.h"

namespace tarvenix::platform {
namespace {

// The self-pipe: [0] is the end the event loop watches, [1] the end the
// signal handler writes to. It exists once per process, as the signal
// dispositions do.
int g_termination_pipe[2] = {-1, -1};

void on_termination_signal(int /*signal_number*/) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending request: nothing is lost.
    [[maybe_unused]] const ssize_t written = ::write(g_termination_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

int watch_termination_signals() {
    if (g_termination_pipe[0] < 0 && ::pipe2(g_termination_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal_number, &action, nullptr) != 0) {
            return -1;
        }
    }
    return g_termination_pipe[0];
}

bool termination_requested() {
    if (g_termination_pipe[0] < 0) {
        return false;
    }
    bool any = false;
    std::array<char, 64> buf;
    ssize_t n = 0;
    while ((n = ::read(g_termination_pipe[0], buf.data(), buf.size())) > 0 ||
           (n < 0 && errno == EINTR)) {
        any = any || n > 0;
    }
    return any;
}

bool peer_closed(int descriptor) {
    pollfd watched{descriptor, POLLIN, 0};
    if (::poll(&watched, 1, 0) <= 0) {
        return false;
    }
    if ((watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    // Readable: either data (the peer is there) or the end of the stream.
    char byte = 0;
    return ::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

}  // namespace tarvenix::platform
