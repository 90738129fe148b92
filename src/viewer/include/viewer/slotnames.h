#pragma once
// The part lists as command lines and files name them: the slots hair, body,
// upper, bottom, shoes, wear, face, costume, fashion and accessory (the part
// lists in their order) and the body types type1 ... type10; the items each
// slot offers; and the nearest names to a misspelt one.

#include <optional>
#include <string>
#include <vector>

#include "viewer/composition.h"
#include "viewer/fileutils.h"
#include "viewer/outfit.h"
#include "viewer/partlists.h"

namespace wbx {

// Every slot name (outfit.h's SlotName), in order.
std::vector<std::string> SlotNames();
// "type1" ... "type10".
std::vector<std::string> BodyTypeNames();

// The items a slot offers, as its part list does (without "なし"), read from
// the avatar folder of the data folder in use.
TStringList SlotItems(TPartList list);
// The items of several lists, the avatar folder read once for all of them.
std::vector<TStringList> SlotItems(const std::vector<TPartList>& lists);

// The selection the viewer starts with: the first item of each list that
// starts dressed (hair, body, upper, bottom, shoes), nothing in the others.
TPartSelection StartSelection();

// Up to count of candidates that wanted may have meant, ASCII letters compared
// in either case: first those that start with wanted, then those that contain
// it, then the near ones by edit distance (none further than half the longer
// name's length, or than one edit in four typed letters from some beginning of
// the candidate, as "Wintr" is from "Winter coat"); ties in the candidates'
// order.
std::vector<std::string> ClosestNames(const std::string& wanted, const std::vector<std::string>& candidates,
                                      size_t count = 3);

// message followed by the closest of candidates to wanted, when there are any:
// "unknown slot "hat"" becomes "unknown slot "hat" (closest: hair)".
std::string WithClosestNames(std::string message, const std::string& wanted,
                             const std::vector<std::string>& candidates);

}  // namespace wbx
