#pragma once

// The one error type for everything unexpected, and the reporter that shows it.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/ports.h"

namespace tarvenix {

// Error numbers shown in the system-error box ("エラー番号"). Each stands for
// one kind of failure on both systems, whatever the system's own code was, so
// a number a user reads out means the same everywhere: never renumber one.
namespace error_code {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kInternal = 51;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kFileAlreadyOpen = 55;
inline constexpr std::int32_t kDeviceIo = 57;
inline constexpr std::int32_t kFileExists = 58;
inline constexpr std::int32_t kDiskFull = 61;
inline constexpr std::int32_t kTooManyFiles = 67;
inline constexpr std::int32_t kDeviceUnavailable = 68;
inline constexpr std::int32_t kPermissionDenied = 70;
inline constexpr std::int32_t kDiskNotReady = 71;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kPathNotFound = 76;
inline constexpr std::int32_t kUnencodableText = 93;
}  // namespace error_code

class SystemError : public std::runtime_error {
public:
    SystemError(std::int32_t code, std::string text, HelpReference help = {});

    std::int32_t code() const { return code_; }
    const std::string& text() const { return text_; }
    const HelpReference& help() const { return help_; }

private:
    std::int32_t code_;
    std::string text_;
    HelpReference help_;
};

// The standard description of an error number ("" for one we do not know).
std::string_view describe_error_code(std::int32_t code);

// What the program was doing to a file or folder when the system refused.
enum class FileOperation { kRead, kWrite, kCreateFolder, kFlush };

// An error from the operating system (an errno value) while doing `what` to
// `path`: the code the user sees and its description, then, in the box's own
// language, what was being done and to which path (the system's own text of
// the error would be in another language, and tells no more than the code).
SystemError error_from_errno(int err, FileOperation what, std::string_view path);

// The detail that ends an error's text: "（" what "：" path "）", or
// "（" what "）" with no path.
std::string error_detail(std::string_view what, std::string_view path = {});

// Something that can hide the progress dialog; the reporter must take it off
// the screen whatever was running.
class ProgressVisibility {
public:
    virtual ~ProgressVisibility() = default;
    virtual void hide() = 0;
};

class SystemErrorReporter {
public:
    explicit SystemErrorReporter(MessageBoxPort& boxes);

    // The window that shows the progress of a run, once it exists.
    void set_progress(ProgressVisibility* progress) { progress_ = progress; }

    // Shows "システムエラー" with the error's number and text, then hides the
    // progress dialog. Never throws.
    void report_system_error(const SystemError& error) noexcept;

    static std::string compose_message(const SystemError& error);

private:
    MessageBoxPort& boxes_;
    ProgressVisibility* progress_ = nullptr;
};

}  // namespace tarvenix
