#pragma once

// How the platform layer answers: a value, or why there is none. The reason
// is an errno value on every system (the Windows layer maps its own codes
// onto them), so the core has one table of error texts. Nothing is thrown
// across the layer; the core turns an unexpected failure into a SystemError
// where it can tell the user what it was doing.

#include <cerrno>
#include <optional>
#include <utility>

namespace tarvenix::platform {

// A failure to return: `return Error{ENOENT};`. A code of 0 (a forgotten
// errno) still counts as a failure, as EIO: a failure is never reported as
// success.
struct Error {
    int code;
};

// Success, or the errno value of a failure.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error)  // NOLINT(google-explicit-constructor): `return Error{...}`
        : code_(error.code != 0 ? error.code : EIO) {}
    // 0 for success, as the system calls answer.
    static Status from_code(int code) { return code == 0 ? Status() : Status(Error{code}); }

    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    // The errno value; 0 for success.
    int error() const { return code_; }

private:
    int code_ = 0;
};

// A value, or the errno value that says why there is none.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value)  // NOLINT(google-explicit-constructor): `return value;`
        : value_(std::move(value)) {}
    Result(Error error)  // NOLINT(google-explicit-constructor)
        : code_(Status(error).error()) {}

    bool ok() const { return value_.has_value(); }
    bool has_value() const { return ok(); }
    explicit operator bool() const { return ok(); }
    int error() const { return code_; }
    Status status() const { return Status::from_code(code_); }

    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    // The value, or `fallback` after a failure.
    T value_or(T fallback) && { return ok() ? std::move(*value_) : std::move(fallback); }

private:
    std::optional<T> value_;
    int code_ = 0;
};

}  // namespace tarvenix::platform
