#include "base/format.h"

#include <cstdio>
#include <vector>

namespace wbx {

namespace {

struct Directive {
    bool leftAlign = false;
    int width = -1;
    int precision = -1;
    char type = 0;
};

int ParseNumber(std::string_view format, size_t& i) {
    int value = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        value = value * 10 + (format[i] - '0');
        if (value > 100000) throw EConvertError("Format: width or precision too large");
        ++i;
    }
    return value;
}

std::string Pad(std::string body, const Directive& directive) {
    if (directive.width > 0 && static_cast<int>(body.size()) < directive.width) {
        const std::string fill(static_cast<size_t>(directive.width) - body.size(), ' ');
        body = directive.leftAlign ? body + fill : fill + body;
    }
    return body;
}

std::string Digits(uint64_t magnitude, int base, int precision) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), kDigits[magnitude % static_cast<uint64_t>(base)]);
        magnitude /= static_cast<uint64_t>(base);
    } while (magnitude != 0);
    if (precision > 0 && static_cast<int>(s.size()) < precision)
        s.insert(0, static_cast<size_t>(precision) - s.size(), '0');
    return s;
}

[[noreturn]] void Mismatch(std::string_view format) {
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

}  // namespace

std::string FormatList(std::string_view format, std::initializer_list<FormatArg> args) {
    std::vector<const FormatArg*> list;
    for (const FormatArg& a : args) list.push_back(&a);
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        ++i;
        if (i >= format.size()) Mismatch(format);
        if (format[i] == '%') {
            out.push_back('%');
            continue;
        }
        Directive directive;
        if (format[i] == '-') {
            directive.leftAlign = true;
            ++i;
        }
        if (i < format.size() && format[i] >= '0' && format[i] <= '9')
            directive.width = ParseNumber(format, i);
        if (i < format.size() && format[i] == '.') {
            ++i;
            directive.precision = ParseNumber(format, i);
        }
        if (i >= format.size()) Mismatch(format);
        directive.type = format[i];
        if (next >= list.size()) Mismatch(format);
        const FormatArg& arg = *list[next++];
        switch (directive.type) {
            case 'd':
            case 'D':
            case 'u':
            case 'U': {
                if (arg.kind() != FormatArg::Kind::Integer) Mismatch(format);
                int64_t v = arg.integer();
                const bool asUnsigned = directive.type == 'u' || directive.type == 'U';
                uint64_t magnitude;
                bool negative = false;
                if (asUnsigned || arg.isUnsigned()) {
                    magnitude = arg.bits() == 32 ? static_cast<uint32_t>(v) : static_cast<uint64_t>(v);
                } else if (v < 0) {
                    negative = true;
                    magnitude = static_cast<uint64_t>(-(v + 1)) + 1;
                } else {
                    magnitude = static_cast<uint64_t>(v);
                }
                std::string body = Digits(magnitude, 10, directive.precision);
                if (negative) body.insert(body.begin(), '-');
                out += Pad(std::move(body), directive);
                break;
            }
            case 'x':
            case 'X': {
                if (arg.kind() != FormatArg::Kind::Integer) Mismatch(format);
                const uint64_t v = arg.bits() == 32 ? static_cast<uint32_t>(arg.integer())
                                                    : static_cast<uint64_t>(arg.integer());
                out += Pad(Digits(v, 16, directive.precision), directive);
                break;
            }
            case 's':
            case 'S': {
                if (arg.kind() != FormatArg::Kind::Text) Mismatch(format);
                std::string body(arg.text());
                if (directive.precision >= 0 && static_cast<size_t>(directive.precision) < body.size())
                    body.resize(static_cast<size_t>(directive.precision));
                out += Pad(std::move(body), directive);
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G': {
                double v;
                if (arg.kind() == FormatArg::Kind::Float)
                    v = arg.floating();
                else
                    Mismatch(format);
                const char t = static_cast<char>(directive.type | 0x20);
                const int precision = directive.precision >= 0 ? directive.precision : (t == 'f' ? 2 : 6);
                const char fmt[] = {'%', '.', '*', t == 'e' ? 'E' : t, '\0'};
                char buffer[512];
                int n = std::snprintf(buffer, sizeof buffer, fmt, precision, v);
                std::string body;
                if (n >= 0 && static_cast<size_t>(n) < sizeof buffer) {
                    body.assign(buffer, static_cast<size_t>(n));
                } else if (n >= 0) {
                    std::vector<char> big(static_cast<size_t>(n) + 1);
                    std::snprintf(big.data(), big.size(), fmt, precision, v);
                    body.assign(big.data(), static_cast<size_t>(n));
                }
                out += Pad(std::move(body), directive);
                break;
            }
            default:
                Mismatch(format);
        }
    }
    return out;
}

}  // namespace wbx
