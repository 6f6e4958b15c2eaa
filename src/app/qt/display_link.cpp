#include "app/qt/display_link.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

#include "common/platform/termination.h"

namespace tarvenix::qt {
namespace {

xcb_connection_t* x_connection() {
    const auto* x11 = qGuiApp == nullptr
                          ? nullptr
                          : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
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

int display_descriptor() {
    xcb_connection_t* connection = x_connection();
    return connection == nullptr ? -1 : xcb_get_file_descriptor(connection);
}

}  // namespace tarvenix::qt
