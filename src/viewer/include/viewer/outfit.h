#pragma once
// TOutfit: what the figure wears, as a value: the body type (the model list's
// "type1" ... "type10") and the item of each of the ten part lists. It is what
// share codes carry, what named outfits keep and what the settings file
// remembers between runs; the window dresses the figure from it through the
// lists (a pick anywhere is a pick in the list).
//
// Items are the part lists' texts: the first eight characters of a layer
// file's name, so "0N_" (N the list's category) and five more characters
// ("02_12030"). An empty item is "none" (the lists' "なし").

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/partlists.h"

namespace wbx {

inline constexpr int kBodyTypeCount = 10;

struct TOutfit {
    std::string BodyType = "type1";                 // "type1" ... "type10"
    std::array<std::string, kPartListCount> Items;  // by TPartList; "" = none

    bool operator==(const TOutfit&) const = default;
};

// The slot names used on command lines and in files, by TPartList: "hair",
// "body", "upper", "bottom", "shoes", "wear", "face", "costume", "fashion",
// "accessory".
const char* SlotName(TPartList list);
// The part list of a slot name (ASCII letters in either case); nullopt when
// there is none.
std::optional<TPartList> SlotByName(std::string_view name);

// The body type of a text: "type1" ... "type10", ASCII letters in either case,
// given back in the model list's spelling; nullopt when it is none of them.
std::optional<std::string> NormalizedBodyType(std::string_view text);

// What is wrong with item as an item of list, in words ("" when nothing is):
// it must begin with the list's "0N_" and be eight characters long (counted
// as the part lists count them: a UTF-8 sequence is one character).
std::string ItemProblem(TPartList list, std::string_view item);

// The index of item in items: the same text, else the first that differs only
// in the case of ASCII letters (the data folder comes from Windows); -1 when
// there is none.
int FindItem(const std::vector<std::string>& items, std::string_view item);

}  // namespace wbx
