// Code page 932 through the Win32 conversion functions, by way of UTF-16.
// Without the strict flags Windows converts "best fit": U+00A5 YEN SIGN to
// 0x5C (a backslash), U+301C WAVE DASH to a look-alike, an invalid byte to a
// default character. MB_ERR_INVALID_CHARS, WC_NO_BEST_FIT_CHARS and the
// used-default-char check make every such conversion fail instead.

#include <windows.h>

#include <cstring>

#include "common/cp932_converter.h"

namespace tarvenix::text::detail {
namespace {

constexpr UINT kCodePage932 = 932;

std::optional<std::wstring> to_wide(UINT code_page, std::string_view in) {
    if (in.empty()) {
        return std::wstring();
    }
    const int in_size = static_cast<int>(in.size());
    const int n =
        ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), in_size, nullptr, 0);
    if (n <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), in_size, wide.data(),
                              n) != n) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> from_wide(UINT code_page, const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int in_size = static_cast<int>(wide.size());
    // The used-default-char flag may only be asked for code pages that can
    // lack a character; UTF-8 holds them all and rejects the flag.
    const bool strict_cp = code_page != CP_UTF8;
    const DWORD flags = strict_cp ? WC_NO_BEST_FIT_CHARS : WC_ERR_INVALID_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = strict_cp ? &used_default : nullptr;
    const int n =
        ::WideCharToMultiByte(code_page, flags, wide.data(), in_size, nullptr, 0, nullptr, used);
    if (n <= 0 || used_default) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(code_page, flags, wide.data(), in_size, out.data(), n, nullptr,
                              used) != n ||
        used_default) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<std::string> convert_all(Direction direction, std::string_view in) {
    const bool to_cp932 = direction == Direction::kToCp932;
    const auto wide = to_wide(to_cp932 ? CP_UTF8 : kCodePage932, in);
    if (!wide) {
        return std::nullopt;
    }
    return from_wide(to_cp932 ? kCodePage932 : CP_UTF8, *wide);
}

std::optional<std::size_t> convert_unit(Direction direction, std::string_view in, char* out,
                                        std::size_t out_size) {
    const auto converted = convert_all(direction, in);
    if (!converted || converted->size() > out_size) {
        return std::nullopt;
    }
    std::memcpy(out, converted->data(), converted->size());
    return converted->size();
}

}  // namespace tarvenix::text::detail
