#include "app/qt/display_link.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "common/platform/termination.h"

// Last: Xlib's header defines macros (Status, Bool, None) that would clash.
#include <X11/Xlib.h>

namespace tarvenix::qt {
namespace {

const QNativeInterface::QX11Application* x11_application() {
    return qGuiApp == nullptr ? nullptr
                              : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

xcb_connection_t* x_connection() {
    const auto* x11 = x11_application();
    return x11 == nullptr ? nullptr : x11->connection();
}

}  // namespace

bool display_lost() {
    // The closed socket is seen before Qt's reader thread has read the end of
    // the stream and marked the connection broken.
    xcb_connection_t* connection = x_connection();
    return connection != nullptr && (xcb_connection_has_error(connection) != 0 ||
                                     platform::peer_closed(xcb_get_file_descriptor(connection)));
}

void end_if_display_lost() {
    if (display_lost()) {
        std::exit(0);
    }
}

void on_display_lost_in_a_call(const std::function<void()>* lost) {
    const auto* x11 = x11_application();
    Display* display = x11 == nullptr ? nullptr : x11->display();
    if (display == nullptr) {
        return;
    }
    // Qt's handler hands a broken connection over to Xlib's, which ends the
    // program on the spot; this one leaves that to the exit handler, which
    // Xlib calls next, where it would otherwise end the program.
    XSetIOErrorHandler([](Display*) {
        std::fputs("tarvenix: the connection to the X server broke\n", stderr);
        return 0;
    });
    XSetIOErrorExitHandler(
        display,
        [](Display*, void* data) {
            if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
                std::exit(1);  // the shut-down sequence belongs to the user-interface thread
            }
            (*static_cast<const std::function<void()>*>(data))();
        },
        const_cast<std::function<void()>*>(lost));
}

int display_descriptor() {
    xcb_connection_t* connection = x_connection();
    return connection == nullptr ? -1 : xcb_get_file_descriptor(connection);
}

}  // namespace tarvenix::qt
