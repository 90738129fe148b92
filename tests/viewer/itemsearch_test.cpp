// Finding items by ID over all part lists.
#include "viewer/itemsearch.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

TEST(ItemSearch, MatchesAnyPartOfTheIdInEitherCaseAcrossAllLists) {
    TItemSearch search;
    search.SetItems(plHair, {kNoPartItem, "00_10010", "00_10020", "00_Zab12"});
    search.SetItems(plUpper, {kNoPartItem, "02_10010", "02_20010"});
    search.SetItems(plAccessory, {"09_ZAB99"});

    TItemMatches found = search.Find("10010");
    EXPECT_EQ(found.Items[plHair], (std::vector<int32_t>{1}));
    EXPECT_EQ(found.Items[plUpper], (std::vector<int32_t>{1}));
    EXPECT_TRUE(found.Items[plBody].empty());
    EXPECT_EQ(found.Count, 2u);

    found = search.Find("  zAB ");
    EXPECT_EQ(found.Items[plHair], (std::vector<int32_t>{3}));
    EXPECT_EQ(found.Items[plAccessory], (std::vector<int32_t>{0}));
    EXPECT_EQ(found.Count, 2u);

    // The empty query shows everything, "なし" included but not counted.
    found = search.Find(" ");
    EXPECT_EQ(found.Items[plHair], (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(found.Count, 6u);
    // "なし" is not an ID: searching for it finds nothing.
    EXPECT_EQ(search.Find(kNoPartItem).Count, 0u);
    EXPECT_EQ(search.Find("x").Count, 0u);

    // New items replace the list's old ones.
    search.SetItems(plHair, {"00_77777"});
    EXPECT_EQ(search.Find("10").Count, 2u);
}

}  // namespace
}  // namespace wbx
