// Which clip planes a vertex lies outside of: near and far in z, and the
// guard band in x and y, each tested on its own, on the plane, and with NaN.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "clipper.h"

namespace wbx::raster {
namespace {

ShadedVertex At(float x, float y, float z, float w) {
    ShadedVertex v{};
    v.Clip[0] = x;
    v.Clip[1] = y;
    v.Clip[2] = z;
    v.Clip[3] = w;
    return v;
}

TEST(RasterClipper, OutcodesNameEachPlaneOnItsOwn) {
    D3DVIEWPORT9 viewport{0, 0, 640, 480, 0.0f, 1.0f};
    const Clipper clipper(viewport);
    // The guard band in clip space for w = 1: screen x = (1 + x) 320 within
    // +-kGuardBand, screen y = (1 - y) 240 likewise.
    const float xMin = -kGuardBand / 320.0f - 1.0f, xMax = kGuardBand / 320.0f - 1.0f;
    const float yMin = 1.0f - kGuardBand / 240.0f, yMax = 1.0f + kGuardBand / 240.0f;
    EXPECT_EQ(clipper.Outcode(At(0.5f, -0.5f, 0.5f, 1.0f)), 0u);
    EXPECT_EQ(clipper.Outcode(At(0, 0, -0.01f, 1.0f)), 1u << 0);  // near
    EXPECT_EQ(clipper.Outcode(At(0, 0, 1.01f, 1.0f)), 1u << 1);   // far
    EXPECT_EQ(clipper.Outcode(At(xMin * 1.01f, 0, 0.5f, 1.0f)), 1u << 2);
    EXPECT_EQ(clipper.Outcode(At(xMax * 1.01f, 0, 0.5f, 1.0f)), 1u << 3);
    EXPECT_EQ(clipper.Outcode(At(0, yMin * 1.01f, 0.5f, 1.0f)), 1u << 4);
    EXPECT_EQ(clipper.Outcode(At(0, yMax * 1.01f, 0.5f, 1.0f)), 1u << 5);
    // Several at once, and exactly on the near and far planes (inside).
    EXPECT_EQ(clipper.Outcode(At(xMax * 2, yMax * 2, 2.0f, 1.0f)), (1u << 1) | (1u << 3) | (1u << 5));
    EXPECT_EQ(clipper.Outcode(At(0, 0, 0.0f, 1.0f)), 0u);
    EXPECT_EQ(clipper.Outcode(At(0, 0, 1.0f, 1.0f)), 0u);
    EXPECT_EQ(clipper.Outcode(At(0, 0, -0.0f, 1.0f)), 0u);
    // Behind the eye (w < 0) with z between: outside the far plane and near.
    EXPECT_NE(clipper.Outcode(At(0, 0, 0.5f, -1.0f)), 0u);
    // A NaN anywhere is outside every plane.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int c = 0; c < 4; ++c) {
        ShadedVertex v = At(0, 0, 0.5f, 1.0f);
        v.Clip[c] = nan;
        EXPECT_EQ(clipper.Outcode(v), 0x3Fu) << "coordinate " << c;
    }
}

}  // namespace
}  // namespace wbx::raster
