#include "history/history_commands.h"

#include "common/platform/file_writes.h"

namespace tarvenix {

bool clear_history(Vostrel& vostrel, BusyPointerPort& busy, const std::string& history_file_path) {
    if (vostrel.Msg_Box(vostrel.KindOkc, "履歴を全てクリアしますか？") == button::kCancel) {
        return false;
    }
    busy.set_busy(true);
    const bool cleared = platform::replace_file_contents(history_file_path, "\r\n").ok();
    busy.set_busy(false);
    return cleared;
}

void show_history(Vostrel& vostrel, const std::string& history_file_path) {
    vostrel.Shell_Excute(0, history_file_path);
}

}  // namespace tarvenix
