#pragma once

// The two history buttons: emptying the log and opening it in the desktop's
// viewer.

#include <string>

#include "common/ports.h"
#include "common/system_error.h"
#include "common/toolbox_ports.h"

namespace tarvenix {

// Asks "履歴を全てクリアしますか？"; unless answered Cancel, leaves the log
// holding one empty line. A log that cannot be written is left as it was and
// the error returned, for the system-error box as for every write of it.
SystemStatus clear_history(const Boxes& boxes, BusyPointerPort& busy,
                           const std::string& history_file_path);

// Opens the log with the program the desktop associates with it; a failure is
// told in an error box (open_document_or_tell). Where that program reads UTF-8 (Linux), it
// opens a copy of the log in UTF-8 made afresh in the user's cache folder;
// the error of a copy that cannot be made is returned, for the system-error box.
SystemStatus show_history(ShellPort& shell, const Boxes& boxes,
                          const std::string& history_file_path);

}  // namespace tarvenix
