#pragma once
// Share codes: an outfit as one line of text, to be copied, pasted, mailed and
// given on the command line.
//
//   wbx1:type3,00_10030,01_11111,02_12030,03_10001,04_10001,,,,,
//
// "wbx1:" names the version; then eleven fields separated by commas: the body
// type ("type1" ... "type10") and the items of the ten slots in the order
// hair, body, upper, bottom, shoes, wear, face, costume, fashion, accessory.
// An empty field is no item ("なし"). Within a field, every byte other than
// the ASCII letters, digits and "-._~" is written as %XX (two hexadecimal
// digits), so a code is plain ASCII whatever the items' names hold.
//
// Reading is forgiving where that cannot mislead: blanks and line breaks
// around the code are dropped, the version prefix and the body type are read
// in either case, and hexadecimal digits in either case. Everything else that
// is wrong is refused with a message naming the wrong part.

#include <optional>
#include <string>
#include <string_view>

#include "viewer/outfit.h"

namespace wbx {

inline constexpr std::string_view kShareCodePrefix = "wbx1:";
// A code longer than this is refused before it is read (a real one is under
// 200 characters even with every item escaped).
inline constexpr size_t kShareCodeMaxLength = 1024;

// The share code of an outfit. Items are written as they are (an item that
// ItemProblem finds fault with is written too, and refused when read).
std::string EncodeShareCode(const TOutfit& outfit);

struct TShareCodeResult {
    std::optional<TOutfit> Outfit;  // set when the code was read
    std::string Error;              // otherwise: what is wrong, naming the part ("the upper item ...")
};

// Reads a share code. An outfit read from a code has a body type in the
// model list's spelling and items that pass ItemProblem; whether the data
// folder holds them is the window's business.
TShareCodeResult DecodeShareCode(std::string_view code);

}  // namespace wbx
