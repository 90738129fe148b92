#pragma once
// Format: the system's printf-style text builder, with the conventions its
// messages were written for:
//   %d %u    decimal; a precision pads with leading zeros ("%.5d" of 1 is "00001")
//   %x       hexadecimal with upper-case digits; 32-bit arguments print as
//            unsigned 32-bit ("%.8x" of -1 is "FFFFFFFF")
//   %s       text (a precision truncates)
//   %f %e %g floating point; %f has two decimals unless a precision is given
//   %%       a percent sign
// A width pads with blanks, "-" pads on the right. Arguments are bound by
// type: a mismatch (or too few arguments) raises EConvertError.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/exception.h"

namespace wbx {

class FormatArg {
public:
    enum class Kind { Integer, Float, Text };

    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    FormatArg(T value)  // NOLINT(google-explicit-constructor)
        : kind_(Kind::Integer),
          integer_(static_cast<int64_t>(value)),
          bits_(sizeof(T) <= 4 ? 32 : 64),
          unsigned_(std::is_unsigned_v<T>) {}
    FormatArg(bool value) : kind_(Kind::Integer), integer_(value ? 1 : 0) {}        // NOLINT
    FormatArg(double value) : kind_(Kind::Float), float_(value) {}                  // NOLINT
    FormatArg(float value) : kind_(Kind::Float), float_(value) {}                   // NOLINT
    FormatArg(std::string_view value) : kind_(Kind::Text), text_(value) {}          // NOLINT
    FormatArg(const std::string& value) : kind_(Kind::Text), text_(value) {}        // NOLINT
    FormatArg(const char* value) : kind_(Kind::Text), text_(value ? value : "") {}  // NOLINT

    Kind kind() const { return kind_; }
    int64_t integer() const { return integer_; }
    int bits() const { return bits_; }
    bool isUnsigned() const { return unsigned_; }
    double floating() const { return float_; }
    std::string_view text() const { return text_; }

private:
    Kind kind_;
    int64_t integer_ = 0;
    int bits_ = 32;
    bool unsigned_ = false;
    double float_ = 0;
    std::string_view text_;
};

std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args);

template <class... Args>
std::string Format(std::string_view format, const Args&... args) {
    return FormatList(format, {FormatArg(args)...});
}

}  // namespace wbx
