#pragma once
// TArchiveIdMatcher: whether an entry's ID is the one asked for.
//
// IDs are text in code page 932 (Shift_JIS with Microsoft's extensions), as
// on the Japanese Windows the archives come from, where the lookup lowered
// both IDs with the system's ANSI mapping, character by character. Here both
// are decoded from code page 932 and compared character by character, each
// lowered: A-Z, the full-width Ａ-Ｚ, the Greek and Cyrillic capitals and the
// Roman numerals Ⅰ-Ⅹ of the code page. The second byte of a double-byte
// character is part of that character and never lowered on its own ("ヂ",
// 83 61, is not "ア", 83 41). Bytes that do not decode compare as they are.
// Two codes of one character (the code page has a few, e.g. ED 40 and FA 5C)
// are the same character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wbx {

class TArchiveIdMatcher {
public:
    explicit TArchiveIdMatcher(const std::string& id);
    ~TArchiveIdMatcher();
    TArchiveIdMatcher(const TArchiveIdMatcher&) = delete;
    TArchiveIdMatcher& operator=(const TArchiveIdMatcher&) = delete;

    // True when the ID in field (up to its first zero byte, or all of its
    // size bytes when it has none) is the one asked for.
    bool Matches(const uint8_t* field, size_t size);

private:
    // The unit at text[i] (a lowered character, or a byte that does not
    // decode, kept apart from every character) and how many bytes it takes.
    char32_t NextUnit(const uint8_t* text, size_t length, size_t i, size_t& used);
    char32_t Decode(const uint8_t* bytes, size_t count);  // 0 when the bytes are no character

    void* converter_ = nullptr;  // iconv descriptor, opened at the first byte from 0x80 up
    bool converterFailed_ = false;
    std::vector<char32_t> wanted_;  // the requested ID as units
    bool wantedHasZero_ = false;    // a zero byte can never match a zero-terminated field
    bool wantedAscii_ = true;       // every byte of the ID asked for is below 0x80
};

}  // namespace wbx
