#pragma once

// The frame of the program's fixed dialogs (the splash, About, the progress
// dialog and the message boxes): a caption bar with the icon, the title and,
// where the dialog has one, a close button; nothing to minimise or maximise.
//
// The program draws it itself on X11 and Wayland, for the frames there cannot
// be asked to do without those buttons: openbox gives every dialog an iconify
// button whatever its hints say, and where a Wayland compositor leaves the
// frame to the program (weston, GNOME), Qt's title bar always has all three.
// Elsewhere (the offscreen platform of the tests) the dialog is left as it is.

class QWidget;

namespace tarvenix::qt {

// Call once the dialog's controls are placed and its size is fixed.
void give_fixed_dialog_frame(QWidget* dialog, bool close_button);

}  // namespace tarvenix::qt
