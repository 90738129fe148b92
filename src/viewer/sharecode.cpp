#include "viewer/sharecode.h"

#include <vector>

#include "asciicase.h"

namespace wbx {

namespace {

constexpr char kSeparator = ',';
constexpr int kFieldCount = 1 + kPartListCount;
// The longest piece of a field quoted in a message.
constexpr size_t kQuotedLength = 40;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// A byte as two hexadecimal digits.
std::string Hex(unsigned char byte) { return {kHexDigits[byte >> 4], kHexDigits[byte & 15]}; }

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendEscaped(std::string& code, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        code += IsUnreserved(byte) ? std::string(1, c) : "%" + Hex(byte);
    }
}

// A piece of the code for a message: printable ASCII as it is, anything else
// as \xNN, cut short when long.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size() && i < kQuotedLength; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            quoted += text[i];
        } else {
            quoted += "\\x" + Hex(byte);
        }
    }
    if (text.size() > kQuotedLength) quoted += "...";
    return quoted + "\"";
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The bytes a field stands for; nullopt and a message in error when it
// holds a broken escape or a character that must be escaped.
std::optional<std::string> Unescaped(std::string_view field, std::string& error) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte == '%') {
            const int high = i + 1 < field.size() ? HexValue(field[i + 1]) : -1;
            const int low = i + 2 < field.size() ? HexValue(field[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = "has a broken escape " + Quoted(field.substr(i, 3)) +
                        " (a % needs two hexadecimal digits)";
                return std::nullopt;
            }
            text += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (IsUnreserved(byte)) {
            text += field[i];
        } else {
            error = "holds " + Quoted(field.substr(i, 1)) + ", which a share code writes as %" + Hex(byte);
            return std::nullopt;
        }
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == kSeparator) {
            fields.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

TShareCodeResult Failure(const std::string& error) {
    return TShareCodeResult{std::nullopt, "The share code " + error + "."};
}

// A part of the code is wrong: "The share code's <part> <error>."
TShareCodeResult PartFailure(const std::string& part, const std::string& error) {
    return TShareCodeResult{std::nullopt, "The share code's " + part + " " + error + "."};
}

}  // namespace

std::string EncodeShareCode(const TOutfit& outfit) {
    std::string code(kShareCodePrefix);
    AppendEscaped(code, outfit.BodyType);
    for (const std::string& item : outfit.Items) {
        code += kSeparator;
        AppendEscaped(code, item);
    }
    return code;
}

TShareCodeResult DecodeShareCode(std::string_view code) {
    code = Trimmed(code);
    if (code.empty()) return Failure("is empty");
    if (code.size() > kShareCodeMaxLength)
        return Failure("is " + std::to_string(code.size()) + " characters long; a share code has at most " +
                       std::to_string(kShareCodeMaxLength));
    if (!SameTextAscii(code.substr(0, kShareCodePrefix.size()), kShareCodePrefix)) {
        const size_t colon = code.find(':');
        const std::string_view scheme =
            colon == std::string_view::npos ? std::string_view() : code.substr(0, colon);
        if (scheme.size() > 3 && SameTextAscii(scheme.substr(0, 3), "wbx"))
            return Failure("has the version " + Quoted(scheme.substr(3)) +
                           ", which this viewer does not read (it reads wbx1: codes)");
        return Failure("does not begin with wbx1: (it begins " + Quoted(code.substr(0, 8)) + ")");
    }
    const std::vector<std::string_view> fields = Split(code.substr(kShareCodePrefix.size()));
    if (fields.size() != kFieldCount)
        return Failure("has " + std::to_string(fields.size()) + " parts after wbx1:; it needs " +
                       std::to_string(kFieldCount) +
                       " (the body type and the ten slots' items, comma-separated)");

    TOutfit outfit;
    std::string error;
    const std::optional<std::string> bodyType = Unescaped(fields[0], error);
    if (!bodyType) return PartFailure("body type", error);
    const std::optional<std::string> normalized = NormalizedBodyType(*bodyType);
    if (!normalized) return PartFailure("body type", Quoted(fields[0]) + " is none of type1 ... type10");
    outfit.BodyType = *normalized;

    for (int i = 0; i < kPartListCount; ++i) {
        const auto list = static_cast<TPartList>(i);
        const std::string_view field = fields[static_cast<size_t>(i) + 1];
        const std::string part = std::string(SlotName(list)) + " item (part " + std::to_string(i + 2) + ")";
        const std::optional<std::string> item = Unescaped(field, error);
        if (!item) return PartFailure(part, error);
        for (const char c : *item)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return PartFailure(part, Quoted(field) + " holds a control character");
        if (!item->empty()) {
            const std::string problem = ItemProblem(list, *item);
            if (!problem.empty()) return PartFailure(part, Quoted(field) + " " + problem);
        }
        outfit.Items[static_cast<size_t>(i)] = *item;
    }
    return TShareCodeResult{outfit, std::string()};
}

}  // namespace wbx
