#pragma once
// Shape and pattern helpers for the item painters, in canonical model units.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sampledata/layercanvas.h"

namespace wbx::sampledata::shapes {

inline bool InEllipse(float x, float y, float cx, float cy, float rx, float ry) {
    const float dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
}

// Distance from (x, y) to the segment a-b.
inline float SegmentDistance(float x, float y, float ax, float ay, float bx, float by) {
    const float vx = bx - ax, vy = by - ay;
    const float length2 = vx * vx + vy * vy;
    const float t = length2 > 0 ? std::clamp(((x - ax) * vx + (y - ay) * vy) / length2, 0.0f, 1.0f) : 0.0f;
    const float dx = x - (ax + vx * t), dy = y - (ay + vy * t);
    return std::sqrt(dx * dx + dy * dy);
}

inline float SmoothStep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// True on the first duty fraction of every period of value.
inline bool Stripe(float value, float period, float duty) {
    const float phase = value / period - std::floor(value / period);
    return phase < duty;
}

// Deterministic per-texel noise in [0, 1).
inline float TexelNoise(int column, int row, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(column) * 374761393u + static_cast<uint32_t>(row) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65536.0f;
}

// Regions shared by several painters.
inline bool TorsoBand(const Spot& s, float low, float high) { return s.Trunk() && s.Y >= low && s.Y <= high; }
inline bool Sleeve(const Spot& s, float reach) { return s.Arm() && s.T() <= reach; }
inline bool LegCover(const Spot& s, float reach) { return s.Leg() && s.T() <= reach; }
// The opening round the neck: lower in front than at the back.
inline bool NeckHole(const Spot& s, float depth = 0) {
    return s.Side == Face::Front ? InEllipse(s.X, s.Y, 0, 58.4f, 3.0f, 2.4f + depth)
                                 : InEllipse(s.X, s.Y, 0, 58.6f, 3.1f, 1.5f + 0.3f * depth);
}

}  // namespace wbx::sampledata::shapes
