// Triangle set-up of screen positions that clipping never produces from sane
// input: far outside the guard band, infinite or NaN. They are not drawn and
// never reach the fixed-point conversion (a fuzzed model file once did).

#include <gtest/gtest.h>

#include <limits>

#include "setup.h"

namespace wbx::raster {
namespace {

ScreenVertex At(float x, float y) {
    ScreenVertex v{};
    v.X = x;
    v.Y = y;
    v.Z = 0.5f;
    v.Rhw = 1.0f;
    SnapScreenVertex(v);
    return v;
}

TEST(RasterSetup, PositionsBeyondAnyScreenAreNotDrawn) {
    const PixelRect screen{0, 0, 640, 480};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    TriangleSetup out{};
    ASSERT_TRUE(SetupTriangle(At(0, 0), At(5, 0), At(5, 5), D3DCULL_NONE, screen, nullptr, out));
    for (const float bad : {nan, inf, -inf, 3.0e12f, -2.0e7f}) {
        EXPECT_FALSE(SetupTriangle(At(bad, 0), At(5, 0), At(5, 5), D3DCULL_NONE, screen, nullptr, out))
            << bad;
        EXPECT_FALSE(SetupTriangle(At(0, 0), At(5, bad), At(5, 5), D3DCULL_NONE, screen, nullptr, out))
            << bad;
        EXPECT_EQ(SnappedArea2(At(0, 0), At(5, 0), At(bad, bad)), 0) << bad;
    }
}

}  // namespace
}  // namespace wbx::raster
