#pragma once

#include <functional>

// The program's link to the X server its windows are on. A log-out ends the
// X server before the programs of the session; Qt then ends the program on
// the spot at its next event pass ("The X11 connection broke"), in the middle
// of whatever it was doing. So the program looks itself before every pass it
// asks for, and once the display is gone it never hands Qt an event pass nor
// a window to draw again: it ends as on a termination request, unseen.

namespace tarvenix::qt {

// True once the X server has gone: Qt's connection to it broke, or its end
// of the connection is closed. Stays true. False where the program is not on
// X11.
bool display_lost();
// Once the display is lost, the program's end: nothing is left on a screen
// to close, and a return to Qt's event loop would end it there, in Qt's way.
void end_if_display_lost();
// The descriptor of Qt's connection to the X server, -1 when not on X11.
int display_descriptor();
// Xlib ends the program (status 1) as soon as one of Qt's calls finds the
// connection broken, which can come before the program's own watch of the
// connection has run the shut-down sequence: an idle program would then end
// without its close-time backup. From now on `lost` runs there instead, on
// the user-interface thread; should it return, the failed call returns and
// the program goes on to its end as after the watch. `lost` must outlive
// Qt's connection. Nothing changes where the program is not on X11.
void on_display_lost_in_a_call(const std::function<void()>* lost);

}  // namespace tarvenix::qt
