#pragma once
// Clipping in homogeneous clip space, before the divide by w.
//
// Direct3D 9 clips to 0 <= z <= w (near and far). For x and y we clip to a
// guard band far outside the viewport instead of to -w <= x, y <= w: that
// keeps screen coordinates small enough for the fixed-point rasteriser while
// the viewport scissor does the exact cut, so edges on the viewport border
// follow the fill rule like any other pixel edge.

#include <cstdint>

#include "d3d9/d3d9types.h"
#include "shadedvertex.h"

namespace wbx::raster {

// A triangle clipped by 6 planes has at most 9 vertices.
constexpr int kMaxClippedVertices = 9;

// Screen coordinates stay within +-kGuardBand pixels after clipping.
constexpr float kGuardBand = 8192.0f;

class Clipper {
public:
    explicit Clipper(const D3DVIEWPORT9& viewport);

    // One bit per plane the vertex lies outside of; 0 means inside all. A
    // vertex with a NaN coordinate is outside every plane.
    uint32_t Outcode(const ShadedVertex& v) const;

    // Clips the triangle (a, b, c) and writes the resulting convex polygon,
    // in the same winding, to `out`. Returns its vertex count (0 when nothing
    // is left, otherwise 3..kMaxClippedVertices).
    int ClipTriangle(const ShadedVertex& a, const ShadedVertex& b, const ShadedVertex& c,
                     ShadedVertex out[kMaxClippedVertices]) const;

    // Clips the segment (a, b) in place. False when nothing is left.
    bool ClipSegment(ShadedVertex& a, ShadedVertex& b) const;

private:
    static constexpr int kPlaneCount = 6;
    float Distance(int plane, const ShadedVertex& v) const;

    float planes_[kPlaneCount][4];  // inside: dot(plane, (x, y, z, w)) >= 0
    // The same by column, four planes a group (the last group's two unused
    // planes are zero): columns_[g][c][i] is coefficient c of plane 4 g + i.
    alignas(16) float columns_[2][4][4] = {};
};

}  // namespace wbx::raster
