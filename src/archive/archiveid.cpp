#include "archiveid.h"

#include <iconv.h>

namespace wbx {

namespace {

// Units for bytes that do not decode lie above every character.
constexpr char32_t kRawByte = 0x110000;

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

char32_t LowerAscii(uint8_t b) { return b >= 'A' && b <= 'Z' ? char32_t{b} + 0x20 : char32_t{b}; }

// The lowercase of the characters with case that code page 932 holds.
char32_t Lower(char32_t c) {
    if (c < 0x80) return LowerAscii(static_cast<uint8_t>(c));
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;                 // Ａ-Ｚ
    if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;  // Α-Ω
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;                 // А-Я
    if (c == 0x0401) return 0x0451;                                  // Ё
    if (c >= 0x2160 && c <= 0x2169) return c + 0x10;                 // Ⅰ-Ⅹ
    return c;
}

}  // namespace

TArchiveIdMatcher::TArchiveIdMatcher(const std::string& id) {
    const auto* text = reinterpret_cast<const uint8_t*>(id.data());
    for (size_t i = 0, used = 0; i < id.size(); i += used) {
        if (text[i] == 0) wantedHasZero_ = true;
        if (text[i] >= 0x80) wantedAscii_ = false;
        wanted_.push_back(NextUnit(text, id.size(), i, used));
    }
}

TArchiveIdMatcher::~TArchiveIdMatcher() {
    if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
}

char32_t TArchiveIdMatcher::Decode(const uint8_t* bytes, size_t count) {
    if (converter_ == nullptr && !converterFailed_) {
        const iconv_t opened = iconv_open("UTF-32LE", "CP932");
        if (opened == reinterpret_cast<iconv_t>(-1)) {
            converterFailed_ = true;  // no converter: such bytes compare as they are
        } else {
            converter_ = opened;
        }
    }
    if (converter_ == nullptr) return 0;
    const auto cd = static_cast<iconv_t>(converter_);
    char in[2] = {static_cast<char>(bytes[0]), static_cast<char>(count > 1 ? bytes[1] : 0)};
    char32_t out[2] = {};
    char* inPointer = in;
    char* outPointer = reinterpret_cast<char*>(out);
    size_t inLeft = count;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh state for every character
    const size_t done = iconv(cd, &inPointer, &inLeft, &outPointer, &outLeft);
    if (done == static_cast<size_t>(-1) || inLeft != 0 || outLeft != sizeof out - sizeof(char32_t)) return 0;
    return out[0];
}

char32_t TArchiveIdMatcher::NextUnit(const uint8_t* text, size_t length, size_t i, size_t& used) {
    const uint8_t b = text[i];
    used = 1;
    if (b < 0x80) return Lower(b);
    if (IsLeadByte(b)) {
        if (i + 1 < length && IsTrailByte(text[i + 1])) {
            used = 2;
            if (const char32_t c = Decode(text + i, 2); c != 0) return Lower(c);
            // A pair that is no character: one unit of both bytes, as they are.
            return kRawByte + 0x100 + (char32_t{b} << 8 | text[i + 1]);
        }
        return kRawByte + b;
    }
    if (const char32_t c = Decode(text + i, 1); c != 0) return Lower(c);  // half-width katakana
    return kRawByte + b;
}

bool TArchiveIdMatcher::Matches(const uint8_t* field, size_t size) {
    if (wantedHasZero_) return false;
    if (wantedAscii_) {
        // Every unit of the ID asked for is one ASCII byte, and no byte from
        // 0x80 up starts a unit that lowers into ASCII: byte by byte.
        const size_t length = wanted_.size();
        if (length > size) return false;
        for (size_t i = 0; i < length; ++i)
            if (field[i] >= 0x80 || LowerAscii(field[i]) != wanted_[i] || field[i] == 0) return false;
        return length == size || field[length] == 0;
    }
    // Unit by unit up to the field's first zero byte, leaving at the first
    // difference: most entries differ from the ID asked for early on. (A zero
    // byte is never the second byte of a character.)
    size_t unit = 0;
    size_t i = 0;
    while (i < size && field[i] != 0) {
        if (unit == wanted_.size()) return false;
        const uint8_t b = field[i];
        if (b < 0x80) {
            if (LowerAscii(b) != wanted_[unit]) return false;
            ++i;
        } else {
            size_t used = 0;
            if (NextUnit(field, size, i, used) != wanted_[unit]) return false;
            i += used;
        }
        ++unit;
    }
    return unit == wanted_.size();
}

}  // namespace wbx
