#pragma once
// Case folding the way the data folder's Windows origin needs it: only the
// ASCII letters fold; every other byte (the bytes of UTF-8 sequences included)
// compares as it is. The settings file's section and key names, the part-file
// masks and the names of the data folder are ASCII in practice.

#include <string>
#include <string_view>

namespace wbx {

// The text with a-z mapped to A-Z.
std::string AsciiUpperCase(std::string_view text);
// The text with A-Z mapped to a-z.
std::string AsciiLowerCase(std::string_view text);
// True when the two texts are equal once ASCII letters are folded.
bool SameTextAscii(std::string_view a, std::string_view b);

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace wbx
