// Code page 932 through glibc's iconv ("CP932").

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

#include "common/cp932_converter.h"

namespace tarvenix::text::detail {
namespace {

// One iconv descriptor per direction and thread; iconv_open is expensive and
// the engine measures every path it walks.
class Converter {
public:
    Converter(const char* to, const char* from)
        : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::size_t> convert(std::string_view in, char* out, std::size_t out_size) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in_ptr = const_cast<char*>(in.data());
        std::size_t in_left = in.size();
        char* out_ptr = out;
        std::size_t out_left = out_size;
        if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1) ||
            in_left != 0) {
            return std::nullopt;
        }
        return out_size - out_left;
    }

    std::optional<std::string> convert_all(std::string_view in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 2 + 4, '\0');
        char* in_ptr = const_cast<char*>(in.data());
        std::size_t in_left = in.size();
        char* out_ptr = out.data();
        std::size_t out_left = out.size();
        while (in_left > 0) {
            if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) ==
                static_cast<std::size_t>(-1)) {
                if (errno != E2BIG) {
                    return std::nullopt;
                }
                const std::size_t used = out.size() - out_left;
                out.resize(out.size() * 2);
                out_ptr = out.data() + used;
                out_left = out.size() - used;
            }
        }
        out.resize(out.size() - out_left);
        return out;
    }

private:
    iconv_t cd_;
};

Converter& converter(Direction direction) {
    thread_local Converter to("CP932", "UTF-8");
    thread_local Converter from("UTF-8", "CP932");
    return direction == Direction::kToCp932 ? to : from;
}

}  // namespace

std::optional<std::size_t> convert_unit(Direction direction, std::string_view in, char* out,
                                        std::size_t out_size) {
    return converter(direction).convert(in, out, out_size);
}

std::optional<std::string> convert_all(Direction direction, std::string_view in) {
    return converter(direction).convert_all(in);
}

}  // namespace tarvenix::text::detail
