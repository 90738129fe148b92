// Painting onto the canonical figure and the conversion to a cropped layer.
#include <gtest/gtest.h>

#include "sampledata/layercanvas.h"

namespace wbx::testing {
namespace {

using namespace sampledata;

const BodyMap& Map() {
    static const BodyMap map;
    return map;
}

TEST(LayerCanvas, EmptyCanvasGivesAnEmptyLayer) {
    const LayerImage layer = LayerCanvas(Map(), Face::Front).ToLayer();
    EXPECT_EQ(layer.W, 0);
    EXPECT_EQ(layer.H, 0);
    EXPECT_TRUE(layer.Pixels.empty());
}

TEST(LayerCanvas, LayerIsCroppedToThePaintedTexelsWhichAreOpaque) {
    LayerCanvas canvas(Map(), Face::Back);
    // The right hand only: it lies on the image's left half.
    canvas.Paint([](const Spot& s) { return s.Part() == BodyPart::HandRight; },
                 [](const Spot&) { return Rgb(255, 255, 255); }, 1);
    const LayerImage layer = canvas.ToLayer();
    ASSERT_GT(layer.W, 0);
    EXPECT_LT(layer.X + layer.W, 128);
    EXPECT_GT(layer.Y, 200);
    int opaque = 0;
    for (int r = 0; r < layer.H; ++r) {
        for (int c = 0; c < layer.W; ++c) {
            const uint16_t p = layer.Pixels[r * layer.W + c];
            const bool hand = Map().At(Face::Back, layer.X + c, layer.Y + r).Part == BodyPart::HandRight;
            EXPECT_EQ(p, hand ? 0xFFFF : 0) << c << "," << r;
            opaque += hand;
        }
    }
    EXPECT_GT(opaque, 50);
}

TEST(LayerCanvas, OutlineDarkensOnlyTheRegionsEdgeInsideTheFigure) {
    LayerCanvas canvas(Map(), Face::Front);
    canvas.Paint([](const Spot& s) { return s.Trunk() && s.Y > 40 && s.Y < 50; },
                 [](const Spot&) { return Rgb(255, 255, 255); }, 0.5f);
    const LayerImage layer = canvas.ToLayer();
    const auto at = [&](int column, int row) {
        return layer.Pixels[(row - layer.Y) * layer.W + (column - layer.X)];
    };
    // The band's top and bottom rows meet skin: darkened. Its middle is not.
    const int top = layer.Y, middle = layer.Y + layer.H / 2;
    EXPECT_LT(at(128, top) & 0x7FFF, 0x7FFF);
    EXPECT_EQ(at(128, middle), 0xFFFF);
}

TEST(LayerCanvas, BodyMapReachesPastTheSilhouetteOnBothFaces) {
    for (const Face face : {Face::Front, Face::Back}) {
        int inside = 0, margin = 0;
        for (int r = 0; r < kTextureHeight; ++r) {
            for (int c = 0; c < kTextureWidth; ++c) {
                const SurfaceTexel& t = Map().At(face, c, r);
                inside += t.Inside;
                margin += t.Part != BodyPart::None && !t.Inside;
            }
        }
        EXPECT_GT(inside, 20000);
        EXPECT_GT(margin, 3000);
        // Nothing beside the figure's head: the canvas corners stay unused.
        EXPECT_EQ(Map().At(face, 0, 0).Part, BodyPart::None);
        EXPECT_EQ(Map().At(face, 255, 511).Part, BodyPart::None);
    }
}

}  // namespace
}  // namespace wbx::testing
