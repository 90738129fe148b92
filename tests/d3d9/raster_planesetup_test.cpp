// The plane set-up's variants by instruction set give the same bits: on
// random triangles of every size, with attributes from tiny to huge, and
// with the odd values (infinite, NaN, signed zero) a vertex can carry.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "planesetup.h"

namespace wbx::raster {
namespace {

// The same bits, except that any NaN equals any other: which operand's NaN
// an operation passes on depends on how the compiler ordered the operands,
// and no later step looks at more than that the value is NaN.
bool SameBits(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(RasterPlaneSetup, EveryVariantGivesThePlainBits) {
    const PlaneMaker best = BestPlaneMaker();
    if (best == &MakePlanes) GTEST_SKIP() << "no wider variant on this processor";
    std::mt19937 rng(12);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    const float odd[] = {std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN(),
                         -0.0f,
                         0.0f,
                         1.0e-38f,
                         3.0e38f};
    int compared = 0;
    for (int k = 0; k < 20000; ++k) {
        const float reach = std::pow(10.0f, uniform(-1.0f, 3.5f));
        ScreenVertex v[3] = {};
        for (ScreenVertex& s : v) {
            s.X = uniform(-reach, reach) + 320.0f;
            s.Y = uniform(-reach, reach) + 240.0f;
            s.Z = uniform(0.0f, 1.0f);
            s.Rhw = std::pow(10.0f, uniform(-4.0f, 1.0f));
            const float scale = std::pow(10.0f, uniform(-6.0f, 6.0f));
            for (float& a : s.Attr) a = uniform(-scale, scale);
            if (k % 16 == 0) s.Attr[rng() % kAttributeCount] = odd[rng() % std::size(odd)];
            if (k % 64 == 0) s.Rhw = odd[rng() % std::size(odd)];
            SnapScreenVertex(s);
        }
        const int64_t x0 = v[0].SnapX, y0 = v[0].SnapY;
        PlaneBasis basis;
        basis.Ex1 = static_cast<double>(v[1].SnapX - x0) / kSubPixelScale;
        basis.Ey1 = static_cast<double>(v[1].SnapY - y0) / kSubPixelScale;
        basis.Ex2 = static_cast<double>(v[2].SnapX - x0) / kSubPixelScale;
        basis.Ey2 = static_cast<double>(v[2].SnapY - y0) / kSubPixelScale;
        const double twiceArea = basis.Ex1 * basis.Ey2 - basis.Ex2 * basis.Ey1;
        if (twiceArea == 0) continue;
        basis.InverseArea = 1.0 / twiceArea;
        basis.OffsetX =
            std::floor(static_cast<double>(x0) / kSubPixelScale) + 1 - static_cast<double>(x0) / 256;
        basis.OffsetY =
            std::floor(static_cast<double>(y0) / kSubPixelScale) + 1 - static_cast<double>(y0) / 256;
        TriangleSetup plain{}, wide{};
        MakePlanes(v[0], v[1], v[2], basis, plain);
        best(v[0], v[1], v[2], basis, wide);
        for (int slot = 0; slot < kPlaneCount; ++slot) {
            ASSERT_TRUE(SameBits(plain.PlaneOrigin[slot], wide.PlaneOrigin[slot])) << k << ", slot " << slot;
            ASSERT_TRUE(SameBits(plain.PlaneDx[slot], wide.PlaneDx[slot])) << k << ", slot " << slot;
            ASSERT_TRUE(SameBits(plain.PlaneDy[slot], wide.PlaneDy[slot])) << k << ", slot " << slot;
        }
        ++compared;
    }
    EXPECT_GT(compared, 19000);
}

}  // namespace
}  // namespace wbx::raster
