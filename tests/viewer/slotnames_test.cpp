// Suggestions for a mistyped name.
#include "viewer/slotnames.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

using TNames = std::vector<std::string>;

TEST(ClosestNames, ThoseStartingWithOrContainingTheTextComeFirst) {
    const TNames saved = {"Summer", "Winter coat", "Rainy day", "winter hat", "My winter"};
    // Started and not finished, in any case.
    EXPECT_EQ(ClosestNames("Wint", saved), (TNames{"Winter coat", "winter hat", "My winter"}));
    EXPECT_EQ(ClosestNames("RAIN", saved), (TNames{"Rainy day"}));
    // Contained: after the names that start with it, before the near ones.
    EXPECT_EQ(ClosestNames("day", saved), (TNames{"Rainy day"}));
    EXPECT_EQ(ClosestNames("coat", {"Coats", "A coat", "Boat"}), (TNames{"Coats", "A coat", "Boat"}));
    EXPECT_EQ(ClosestNames("winter", saved, 2), (TNames{"Winter coat", "winter hat"}));
}

TEST(ClosestNames, ASlipInABeginningStillFindsTheName) {
    const TNames saved = {"Summer", "Winter coat"};
    EXPECT_EQ(ClosestNames("Wintr", saved), (TNames{"Winter coat"}));
    EXPECT_EQ(ClosestNames("wintr c", saved), (TNames{"Winter coat"}));
    EXPECT_EQ(ClosestNames("Sumer", saved), (TNames{"Summer"}));
    // Short words are not near every name that begins alike.
    EXPECT_EQ(ClosestNames("hat", SlotNames()), (TNames{"hair"}));
    EXPECT_EQ(ClosestNames("Wx", saved), TNames{});
}

TEST(ClosestNames, NothingForUnrelatedOrEmptyText) {
    EXPECT_EQ(ClosestNames("zzzz", {"Summer", "Winter coat"}), TNames{});
    EXPECT_EQ(ClosestNames("", {"Summer", "Winter coat"}), TNames{});
    EXPECT_EQ(ClosestNames("Summer", {}), TNames{});
    // The nearest whole names first, ties in the list's order.
    EXPECT_EQ(ClosestNames("02_12011", {"02_12020", "02_12010", "02_12013"}),
              (TNames{"02_12010", "02_12013", "02_12020"}));
}

TEST(ClosestNames, AMessageNamesThemInParenthesesOrIsLeftAsItWas) {
    EXPECT_EQ(WithClosestNames("unknown slot \"hat\"", "hat", SlotNames()),
              "unknown slot \"hat\" (closest: hair)");
    EXPECT_EQ(WithClosestNames("no outfit \"Wint\"", "Wint", {"Summer", "Winter coat", "winter hat"}),
              "no outfit \"Wint\" (closest: Winter coat, winter hat)");
    EXPECT_EQ(WithClosestNames("no outfit \"zzzz\"", "zzzz", {"Summer"}), "no outfit \"zzzz\"");
}

}  // namespace
}  // namespace wbx
