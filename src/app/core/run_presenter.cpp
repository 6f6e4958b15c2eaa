#include "app/core/run_presenter.h"

namespace tarvenix {
namespace {
constexpr std::int32_t kDefaultBeep = 0;
}  // namespace

RunPresenter::RunPresenter(const SettingsState& settings, HistoryLog& history, Boxes boxes,
                           SystemErrorReporter& reporter, ProgressView& progress, SoundPort& sound)
    : settings_(settings)
    , history_(history)
    , boxes_(boxes)
    , reporter_(reporter)
    , progress_(progress)
    , sound_(sound) {}

void RunPresenter::error_box(const std::string& message) {
    boxes_.show(Boxes::kErr, message);
}

void RunPresenter::write_history(int kind, std::int16_t trigger, std::string_view text) {
    reporter_.report_if_failed(history_.write_history(kind, trigger, text));
}

void RunPresenter::run_started(std::int16_t trigger) {
    write_history(history_kind::kStart, trigger, "");
    progress_.show();
}

void RunPresenter::set_skipped(const std::string& src_folder) {
    if (history_on()) {
        write_history(history_kind::kSkippedSet, run_trigger::kNone, src_folder);
    }
}

void RunPresenter::set_started(const std::string& src_folder, const std::string& dst_folder) {
    progress_.set_label(ProgressLabel::srcfld, src_folder);
    progress_.set_label(ProgressLabel::dstfld, dst_folder);
}

void RunPresenter::set_refused(SetRefusal why, const std::string& folder) {
    const std::string_view first_line =
        why == SetRefusal::kSourceMissing ? "コピー元フォルダが見つかりません！"
        : why == SetRefusal::kDestinationMissing ? "コピー先フォルダが見つかりません！"
                                                 : kSourceInDestination;
    error_box(std::string(first_line) + "\r" + folder + "\rバックアップを中止します！");
}

void RunPresenter::folder_entered(const std::string& relative) {
    progress_.set_label(ProgressLabel::subfld, relative);
}

void RunPresenter::file_started(std::string_view name, std::uint64_t bytes) {
    progress_.file_started(name, bytes);
}

void RunPresenter::file_finished() {
    progress_.file_finished();
}

void RunPresenter::file_skipped(const std::string& dst_path, SkipReason /*why*/, int /*error*/) {
    // One line whatever the reason: the history names what is missing from
    // the copy, and the user looks at the file to learn why.
    write_history(history_kind::kSkippedFile, run_trigger::kNone, dst_path);
}

void RunPresenter::copy_failed(const std::string& src_path, const std::string& dst_path,
                               SkipReason /*why*/, int /*error*/) {
    error_box("ファイルをコピーできません！\r\rコピー元 = " + src_path + "\rコピー先 = " +
              dst_path + "\r\rファイルの属性やフォルダの権限等を確認して下さい。");
}

void RunPresenter::path_too_long(bool folder, const std::string& path) {
    std::string message =
        folder ? "フォルダの長さが長すぎます！" : "フォルダ+ファイルの長さが長すぎます！";
    message += "\rフルパスで255文字以内にして下さい\r\r";
    message += path;
    error_box(message);
}

void RunPresenter::open_files_option_unreadable(std::string_view value) {
    reporter_.report_system_error(SystemError(
        error_code::kTypeMismatch,
        std::string(describe_error_code(error_code::kTypeMismatch)) +
            error_detail("オープン中のファイルの設定", "「" + std::string(value) + "」")));
}

void RunPresenter::system_error(const SystemError& error) {
    reporter_.report_system_error(error);
}

void RunPresenter::run_ended(RunOutcome outcome, std::int16_t trigger) {
    switch (outcome) {
        case RunOutcome::kCompleted:
            if (history_on()) {
                write_history(history_kind::kSuccess, trigger, "");
            }
            sound_.message_beep(kDefaultBeep);
            progress_.hide();
            break;
        case RunOutcome::kStopped:
            error_box("バックアップが中止されました！");
            progress_.hide();
            if (history_on()) {
                write_history(history_kind::kCancel, trigger, "");
            }
            break;
        case RunOutcome::kMissingFolder:
            progress_.hide();
            if (history_on()) {
                write_history(history_kind::kFail, trigger, "");
            }
            break;
        case RunOutcome::kSystemError:
            progress_.hide();
            break;
        case RunOutcome::kRefused:
            break;  // the run in progress goes on: its dialog stays
    }
}

}  // namespace tarvenix
