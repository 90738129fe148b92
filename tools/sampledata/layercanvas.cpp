#include "sampledata/layercanvas.h"

#include <algorithm>
#include <cmath>

namespace wbx::sampledata {
namespace {

// 4 x 4 Bayer matrix, thresholds in [0, 1).
constexpr float kBayer[4][4] = {{0 / 16.f, 8 / 16.f, 2 / 16.f, 10 / 16.f},
                                {12 / 16.f, 4 / 16.f, 14 / 16.f, 6 / 16.f},
                                {3 / 16.f, 11 / 16.f, 1 / 16.f, 9 / 16.f},
                                {15 / 16.f, 7 / 16.f, 13 / 16.f, 5 / 16.f}};

uint16_t Channel5(float value, float threshold) {
    const float scaled = std::clamp(value, 0.0f, 1.0f) * 31.0f;
    return static_cast<uint16_t>(std::min(31.0f, std::floor(scaled + threshold)));
}

}  // namespace

LayerCanvas::LayerCanvas(const BodyMap& map, Face face)
    : map_(map),
      face_(face),
      colour_(static_cast<size_t>(kTextureWidth) * kTextureHeight),
      painted_(colour_.size(), 0),
      mask_(colour_.size(), 0) {}

Spot LayerCanvas::SpotAt(int column, int row) const {
    return Spot{map_.At(face_, column, row), column, row, ModelXOfColumn(column), ModelYOfRow(row), face_};
}

Colour LayerCanvas::Lit(Colour base, const Spot& spot, float contrast) const {
    // The viewer's upper left is +x on the front and -x on the back.
    const float facing = face_ == Face::Front ? 1.0f : -1.0f;
    const Vec3f light = Normalized({0.35f * facing, 0.55f, 0.76f * facing});
    const Vec3f n = spot.Surface.Normal;
    const float diffuse = std::max(0.0f, Dot(n, light));
    const float rim = 0.7f + 0.3f * std::fabs(n.Z);
    const float k = (1 - 0.5f * contrast) + 0.5f * contrast * diffuse;
    return base * (k * (1 - contrast + contrast * rim) * 1.08f);
}

LayerImage LayerCanvas::ToLayer() const {
    int c0 = kTextureWidth, c1 = -1, r0 = kTextureHeight, r1 = -1;
    for (int r = 0; r < kTextureHeight; ++r) {
        for (int c = 0; c < kTextureWidth; ++c) {
            if (!painted_[static_cast<size_t>(r) * kTextureWidth + c]) continue;
            c0 = std::min(c0, c);
            c1 = std::max(c1, c);
            r0 = std::min(r0, r);
            r1 = std::max(r1, r);
        }
    }
    LayerImage layer;
    if (c1 < 0) return layer;
    layer.X = static_cast<uint16_t>(c0);
    layer.Y = static_cast<uint16_t>(r0);
    layer.W = static_cast<uint16_t>(c1 - c0 + 1);
    layer.H = static_cast<uint16_t>(r1 - r0 + 1);
    layer.Pixels.reserve(static_cast<size_t>(layer.W) * layer.H);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const size_t at = static_cast<size_t>(r) * kTextureWidth + c;
            if (!painted_[at]) {
                layer.Pixels.push_back(0);
                continue;
            }
            const float threshold = kBayer[r & 3][c & 3];
            const Colour& colour = colour_[at];
            layer.Pixels.push_back(static_cast<uint16_t>(kAlphaBit | (Channel5(colour.R, threshold) << 10) |
                                                         (Channel5(colour.G, threshold) << 5) |
                                                         Channel5(colour.B, threshold)));
        }
    }
    return layer;
}

}  // namespace wbx::sampledata
