#pragma once
// Finding items by their IDs across all part lists at once: an item matches
// when the query occurs anywhere in its text, ASCII letters matched in either
// case, spaces around the query ignored. The empty query matches everything;
// "なし" names no item and is matched only by the empty query.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/partlists.h"

namespace wbx {

struct TItemMatches {
    // Per list, the indices (into the list's items) that match, ascending.
    std::array<std::vector<int32_t>, kPartListCount> Items;
    // Items matched over all lists, "なし" not counted.
    size_t Count = 0;
};

class TItemSearch {
public:
    // The items of list, as its drop-down list holds them ("なし" included).
    void SetItems(TPartList list, const std::vector<std::string>& items);
    TItemMatches Find(std::string_view query) const;

private:
    std::array<std::vector<std::string>, kPartListCount> folded_;  // lower-cased items
};

}  // namespace wbx
