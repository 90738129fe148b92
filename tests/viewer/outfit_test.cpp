// The outfit's names: slots and body types as command lines and files spell
// them, the items a part list can hold, and finding an item in a list the way
// the Windows-made data folder needs.
#include "viewer/outfit.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

TEST(Outfit, SlotsAndBodyTypesByName) {
    EXPECT_STREQ(SlotName(plHair), "hair");
    EXPECT_STREQ(SlotName(plAccessory), "accessory");
    for (int i = 0; i < kPartListCount; ++i) {
        const auto list = static_cast<TPartList>(i);
        EXPECT_EQ(SlotByName(SlotName(list)), list) << SlotName(list);
    }
    EXPECT_EQ(SlotByName("Upper"), plUpper);
    EXPECT_EQ(SlotByName("SHOES"), plShoes);
    EXPECT_EQ(SlotByName("shoe"), std::nullopt);
    EXPECT_EQ(SlotByName(""), std::nullopt);
    EXPECT_EQ(SlotByName("hair "), std::nullopt);

    EXPECT_EQ(NormalizedBodyType("type1"), "type1");
    EXPECT_EQ(NormalizedBodyType("TYPE10"), "type10");
    EXPECT_EQ(NormalizedBodyType("Type7"), "type7");
    for (const char* bad : {"type0", "type11", "type01", "type", "1", "", "type1 ", "typе1"})
        EXPECT_EQ(NormalizedBodyType(bad), std::nullopt) << bad;
}

TEST(Outfit, ItemsMustBelongToTheirListAndBeEightCharactersLong) {
    EXPECT_EQ(ItemProblem(plHair, "00_10030"), "");
    EXPECT_EQ(ItemProblem(plAccessory, "09_abcde"), "");
    // The part lists count characters, so a UTF-8 name of eight is one.
    EXPECT_EQ(ItemProblem(plWear, "05_\xE3\x81\x82\xE3\x81\x84xyz"), "");
    EXPECT_EQ(ItemProblem(plUpper, "03_12345"), "does not begin with 02_");
    EXPECT_EQ(ItemProblem(plUpper, "2_123456"), "does not begin with 02_");
    EXPECT_EQ(ItemProblem(plUpper, "02_1234"), "is not eight characters long");
    EXPECT_EQ(ItemProblem(plUpper, "02_123456"), "is not eight characters long");
    EXPECT_EQ(ItemProblem(plUpper, "02_\xE3\x81\x82\xE3\x81\x84xyzw"), "is not eight characters long");
    EXPECT_EQ(ItemProblem(plHair, ""), "does not begin with 00_");
}

TEST(Outfit, FindItemPrefersTheSameTextThenFoldsAsciiCase) {
    const std::vector<std::string> items = {"なし", "01_AAAAA", "01_aaaaa", "01_Bbbbb", "01_\xC3\xA9zzzz"};
    EXPECT_EQ(FindItem(items, "01_aaaaa"), 2);
    EXPECT_EQ(FindItem(items, "01_AAAAA"), 1);
    EXPECT_EQ(FindItem(items, "01_AaAaA"), 1);
    EXPECT_EQ(FindItem(items, "01_bbbbb"), 3);
    EXPECT_EQ(FindItem(items, "01_\xC3\xA9zzzz"), 4);
    EXPECT_EQ(FindItem(items, "01_\xC3\x89ZZZZ"), -1);  // only ASCII letters fold
    EXPECT_EQ(FindItem(items, "01_ccccc"), -1);
    EXPECT_EQ(FindItem({}, "01_aaaaa"), -1);
}

}  // namespace
}  // namespace wbx
