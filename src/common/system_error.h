#pragma once

// The one error type for everything unexpected, and the reporter that shows it.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

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

// How the core answers above the platform layer: success, or the SystemError
// to tell the user of. The function that failed tells no one; its caller in
// the application decides whether the error is shown (SystemErrorReporter) or
// passed on. Exceptions are left for programming errors.
class [[nodiscard]] SystemStatus {
public:
    SystemStatus() = default;
    SystemStatus(SystemError error)  // NOLINT(google-explicit-constructor): `return error;`
        : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only after a failure.
    const SystemError& error() const { return *error_; }

private:
    std::optional<SystemError> error_;
};

// A value, or the SystemError that says why there is none.
template <class T>
class [[nodiscard]] SystemResult {
public:
    SystemResult(T value)  // NOLINT(google-explicit-constructor): `return value;`
        : state_(std::in_place_index<0>, std::move(value)) {}
    SystemResult(SystemError error)  // NOLINT(google-explicit-constructor)
        : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    // Only after a failure.
    const SystemError& error() const { return std::get<1>(state_); }
    SystemStatus status() const { return ok() ? SystemStatus() : SystemStatus(error()); }

    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }

private:
    std::variant<T, SystemError> state_;
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
    // The same for a failed status; nothing for success.
    void report_if_failed(const SystemStatus& status) noexcept {
        if (!status) {
            report_system_error(status.error());
        }
    }

    static std::string compose_message(const SystemError& error);

private:
    MessageBoxPort& boxes_;
    ProgressVisibility* progress_ = nullptr;
};

}  // namespace tarvenix
