#include "math/angletables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "math/vector.h"

namespace wbx {
namespace {

// Read during this unit's static initialisation: the tables must already be
// built by then, whatever order the linker chose for the units.
const float sinAtStaticInit = SinTable[1024];
const float cosAtStaticInit = CosTable[0];

TEST(AngleTables, AreBuiltBeforeOtherStaticInitialisers) {
    EXPECT_EQ(sinAtStaticInit, 1.0f);
    EXPECT_EQ(cosAtStaticInit, 1.0f);
}

TEST(AngleTables, ExactQuarterTurnValues) {
    EXPECT_EQ(SinTable[0], 0.0f);
    EXPECT_EQ(CosTable[0], 1.0f);
    EXPECT_EQ(SinTable[1024], 1.0f);
    EXPECT_EQ(CosTable[2048], -1.0f);
    EXPECT_EQ(SinTable[3072], -1.0f);
}

TEST(AngleTables, ExtendedPiLeavesTinyNonZeroValues) {
    // pi in long double is not exact, so cos(pi/2) and sin(pi) are not 0.
    EXPECT_NE(CosTable[1024], 0.0f);
    EXPECT_LT(std::fabs(CosTable[1024]), 1e-18f);
    EXPECT_NE(SinTable[2048], 0.0f);
    EXPECT_LT(std::fabs(SinTable[2048]), 1e-18f);
}

TEST(AngleTables, EveryEntryIsTheRoundedExtendedValue) {
    for (int i = 0; i < kAngleSteps; ++i) {
        const long double radians = static_cast<long double>(i) / 2048.0L * std::numbers::pi_v<long double>;
        ASSERT_EQ(SinTable[i], static_cast<float>(std::sin(radians))) << i;
        ASSERT_EQ(CosTable[i], static_cast<float>(std::cos(radians))) << i;
    }
    // A few against double precision, to catch a wrong scale or a swapped table.
    EXPECT_NEAR(SinTable[512], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(CosTable[341], std::cos(341 * std::numbers::pi / 2048), 1e-7);
    EXPECT_NEAR(SinTable[4095], -std::sin(std::numbers::pi / 2048), 1e-9);
}

TEST(AngleTables, RebuildingKeepsTheValues) {
    const AngleTable sinBefore = SinTable;
    const AngleTable cosBefore = CosTable;
    BuildAngleTables();
    EXPECT_EQ(SinTable, sinBefore);
    EXPECT_EQ(CosTable, cosBefore);
}

TEST(AngleTables, AngleIndexTakesTheLowTwelveBits) {
    EXPECT_EQ(AngleIndex(0), 0);
    EXPECT_EQ(AngleIndex(4095), 4095);
    EXPECT_EQ(AngleIndex(4096), 0);
    EXPECT_EQ(AngleIndex(-1), 4095);
    EXPECT_EQ(AngleIndex(-4096), 0);
    EXPECT_EQ(AngleIndex(INT32_MIN), 0);
    EXPECT_EQ(AngleIndex(INT32_MAX), 4095);
}

}  // namespace
}  // namespace wbx
