#pragma once

// The two history buttons: emptying the log and opening it in the desktop's
// viewer.

#include <string>

#include "common/ports.h"
#include "common/vostrel.h"

namespace tarvenix {

// Asks "履歴を全てクリアしますか？"; unless answered Cancel, leaves the log
// holding one empty line. Returns true when it cleared the log. A log that
// cannot be written is left as it was, silently.
bool clear_history(Vostrel& vostrel, BusyPointerPort& busy, const std::string& history_file_path);

// Opens the log with the program the desktop associates with it; a failure is
// told by the toolbox's own box.
void show_history(Vostrel& vostrel, const std::string& history_file_path);

}  // namespace tarvenix
