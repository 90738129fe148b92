// Triangle set-up of screen positions that clipping never produces from sane
// input: far outside the guard band, infinite or NaN. They are not drawn and
// never reach the fixed-point conversion (a fuzzed model file once did).

#include <gtest/gtest.h>

#include <limits>

#include "setup.h"
#include "snappedvertex.h"

namespace wbx::raster {
namespace {

TEST(RasterSetup, PositionsBeyondAnyScreenAreNotDrawn) {
    const PixelRect screen{0, 0, 640, 480};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    TriangleSetup out{};
    ASSERT_TRUE(
        SetupTriangle(SnappedAt(0, 0), SnappedAt(5, 0), SnappedAt(5, 5), D3DCULL_NONE, screen, nullptr, out));
    for (const float bad : {nan, inf, -inf, 3.0e12f, -2.0e7f}) {
        EXPECT_FALSE(SetupTriangle(SnappedAt(bad, 0), SnappedAt(5, 0), SnappedAt(5, 5), D3DCULL_NONE, screen,
                                   nullptr, out))
            << bad;
        EXPECT_FALSE(SetupTriangle(SnappedAt(0, 0), SnappedAt(5, bad), SnappedAt(5, 5), D3DCULL_NONE, screen,
                                   nullptr, out))
            << bad;
        EXPECT_EQ(SnappedArea2(SnappedAt(0, 0), SnappedAt(5, 0), SnappedAt(bad, bad)), 0) << bad;
    }
}

}  // namespace
}  // namespace wbx::raster
