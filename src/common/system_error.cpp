#include "common/system_error.h"

#include <cerrno>

#include "platform_native.h"  // the errno values the platform layer gives

namespace tarvenix {

SystemError::SystemError(std::int32_t code, std::string text, HelpReference help)
    : std::runtime_error(text)
    , code_(code)
    , text_(std::move(text))
    , help_(std::move(help)) {}

std::string_view describe_error_code(std::int32_t code) {
    switch (code) {
        case error_code::kInvalidArgument:
            return "プロシージャの呼び出し、または引数が不正です。";
        case error_code::kOverflow:
            return "オーバーフローしました。";
        case error_code::kOutOfMemory:
            return "メモリが不足しています。";
        case error_code::kTypeMismatch:
            return "型が一致しません。";
        case error_code::kInternal:
            return "内部エラーです。";
        case error_code::kBadFileName:
            return "ファイル名または番号が不正です。";
        case error_code::kFileNotFound:
            return "ファイルが見つかりません。";
        case error_code::kFileAlreadyOpen:
            return "ファイルは既に開かれています。";
        case error_code::kDeviceIo:
            return "デバイス I/O エラーです。";
        case error_code::kFileExists:
            return "既に同名のファイルが存在しています。";
        case error_code::kDiskFull:
            return "ディスクの空き容量が不足しています。";
        case error_code::kTooManyFiles:
            return "ファイルが多すぎます。";
        case error_code::kDeviceUnavailable:
            return "デバイスが準備されていません。";
        case error_code::kPermissionDenied:
            return "書き込みできません。";
        case error_code::kDiskNotReady:
            return "ディスクが準備されていません。";
        case error_code::kPathFileAccess:
            return "パス名が無効です。";
        case error_code::kPathNotFound:
            return "パスが見つかりません。";
        case error_code::kUnencodableText:
            return "シフト JIS で表せない文字が含まれています。";
        default:
            return "";
    }
}

namespace {

std::int32_t code_for_errno(int err) {
    switch (err) {
        case ENOENT:
            return error_code::kFileNotFound;
        case ENOTDIR:
            return error_code::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return error_code::kPermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return error_code::kDiskFull;
        case EIO:
            return error_code::kDeviceIo;
        case EEXIST:
            return error_code::kFileExists;
        case EMFILE:
        case ENFILE:
            return error_code::kTooManyFiles;
        case ENOMEM:
            return error_code::kOutOfMemory;
        case ENAMETOOLONG:
        case EILSEQ:
            return error_code::kBadFileName;
        case ENXIO:
        case ENODEV:
        case ENOTCONN:   // a share whose connection is lost
        case ETIMEDOUT:  // or whose server did not answer in time
            return error_code::kDeviceUnavailable;
        case EBUSY:
        case ETXTBSY:
            return error_code::kFileAlreadyOpen;
        case EINVAL:
            return error_code::kInvalidArgument;
        default:
            return error_code::kPathFileAccess;
    }
}

}  // namespace

std::string error_detail(std::string_view what, std::string_view path) {
    std::string detail = "（";
    detail += what;
    if (!path.empty()) {
        detail += "：";
        detail += path;
    }
    return detail + "）";
}

SystemError error_from_errno(int err, FileOperation what, std::string_view path) {
    const std::int32_t code = code_for_errno(err);
    std::string_view operation;
    switch (what) {
        case FileOperation::kRead:
            operation = "読み込み";
            break;
        case FileOperation::kWrite:
            operation = "書き込み";
            break;
        case FileOperation::kCreateFolder:
            operation = "フォルダの作成";
            break;
        case FileOperation::kFlush:
            operation = "ディスクへの書き出し";
            break;
    }
    return SystemError(code,
                       std::string(describe_error_code(code)) + error_detail(operation, path));
}

SystemErrorReporter::SystemErrorReporter(MessageBoxPort& boxes)
    : boxes_(boxes) {}

std::string SystemErrorReporter::compose_message(const SystemError& error) {
    return "エラー番号" + std::to_string(error.code()) + " " + error.text();
}

void SystemErrorReporter::report_system_error(const SystemError& error) noexcept {
    try {
        const std::string message = compose_message(error);
        const HelpReference* help = error.help().file.empty() ? nullptr : &error.help();
        boxes_.show_box("システムエラー", message, box_style::kOk, help);
    } catch (...) {
        // The last line of defence must not fail; the hide below still runs.
    }
    if (progress_ != nullptr) {
        try {
            progress_->hide();
        } catch (...) {
        }
    }
}

}  // namespace tarvenix
