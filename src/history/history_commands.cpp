#include "history/history_commands.h"

#include <cerrno>

#include "common/platform/file_writes.h"
#include "common/platform/files.h"
#include "common/text_codec.h"

namespace tarvenix {

SystemStatus clear_history(const Boxes& boxes, BusyPointerPort& busy,
                           const std::string& history_file_path) {
    if (boxes.show(Boxes::kOkc, "履歴を全てクリアしますか？") == button::kCancel) {
        return {};
    }
    busy.set_busy(true);
    const int err = platform::replace_file_contents(history_file_path, "\r\n").error();
    busy.set_busy(false);
    if (err != 0) {
        return error_from_errno(err, FileOperation::kWrite, history_file_path);
    }
    return {};
}

SystemStatus show_history(ShellPort& shell, const Boxes& boxes,
                          const std::string& history_file_path) {
    const std::string folder = platform::viewer_copy_folder();
    auto log = folder.empty() ? platform::Result<std::string>(platform::Error{ENOENT})
                              : platform::read_file(history_file_path);
    if (!log) {
        // The log itself, also when it is not written yet: the error box
        // then names the file that is missing.
        open_document_or_tell(shell, boxes, history_file_path);
        return {};
    }
    const std::string copy = folder + platform::kPathSeparator + "history.txt";
    int err = platform::make_folders(folder, 0700).error();
    if (err == 0) {
        err = platform::replace_file_contents(copy, text::from_cp932(*log)).error();
    }
    if (err != 0) {
        return error_from_errno(err, FileOperation::kWrite, copy);
    }
    open_document_or_tell(shell, boxes, copy);
    return {};
}

}  // namespace tarvenix
