#include "d3d9/raster/setup.h"

#include <algorithm>
#include <cmath>

namespace wbx::raster {

namespace {

int64_t Snap(float v) {
    return static_cast<int64_t>(std::floor(static_cast<double>(v) * kSubPixelScale + 0.5));
}

// Clipping keeps screen positions within the guard band; anything far beyond
// it (or NaN) comes from degenerate input and is not drawn. The bound keeps
// every fixed-point product of the edge functions inside 64 bits.
constexpr float kMaxScreenCoordinate = 1 << 20;

bool Snappable(const ScreenVertex& v) {
    return std::fabs(v.X) <= kMaxScreenCoordinate && std::fabs(v.Y) <= kMaxScreenCoordinate;
}

// floor(a / 2^kSubPixelBits) and ceil(...) for fixed-point values of either sign.
int64_t FloorPixel(int64_t v) { return v >> kSubPixelBits; }
int64_t CeilPixel(int64_t v) { return -((-v) >> kSubPixelBits); }

}  // namespace

int64_t SnappedArea2(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2) {
    if (!Snappable(v0) || !Snappable(v1) || !Snappable(v2)) return 0;
    const int64_t x0 = Snap(v0.X), y0 = Snap(v0.Y);
    const int64_t x1 = Snap(v1.X), y1 = Snap(v1.Y);
    const int64_t x2 = Snap(v2.X), y2 = Snap(v2.Y);
    return (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
}

bool SetupTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, DWORD cullMode,
                   const PixelRect& scissor, const ScreenVertex* flatSource, uint32_t attributeMask,
                   TriangleSetup& out) {
    if (!Snappable(v0) || !Snappable(v1) || !Snappable(v2)) return false;
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
    int64_t x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = Snap(v[i]->X);
        y[i] = Snap(v[i]->Y);
    }
    const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0) return false;
    if (cullMode == D3DCULL_CCW && area < 0) return false;
    if (cullMode == D3DCULL_CW && area > 0) return false;

    const int64_t minX = std::max<int64_t>(CeilPixel(std::min({x[0], x[1], x[2]})), scissor.X0);
    const int64_t maxX = std::min<int64_t>(FloorPixel(std::max({x[0], x[1], x[2]})), scissor.X1 - 1);
    const int64_t minY = std::max<int64_t>(CeilPixel(std::min({y[0], y[1], y[2]})), scissor.Y0);
    const int64_t maxY = std::min<int64_t>(FloorPixel(std::max({y[0], y[1], y[2]})), scissor.Y1 - 1);
    if (minX > maxX || minY > maxY) return false;
    out.MinX = static_cast<int>(minX);
    out.MaxX = static_cast<int>(maxX);
    out.MinY = static_cast<int>(minY);
    out.MaxY = static_cast<int>(maxY);

    // Edges in clockwise-on-screen order, so that the interior is where every
    // edge function is positive.
    const int order[3] = {0, area > 0 ? 1 : 2, area > 0 ? 2 : 1};
    const int64_t px = minX << kSubPixelBits;
    const int64_t py = minY << kSubPixelBits;
    for (int e = 0; e < 3; ++e) {
        const int a = order[e];
        const int b = order[(e + 1) % 3];
        const int64_t dx = x[b] - x[a];
        const int64_t dy = y[b] - y[a];
        const bool topOrLeft = dy < 0 || (dy == 0 && dx > 0);
        out.EdgeOrigin[e] = dx * (py - y[a]) - dy * (px - x[a]) - (topOrLeft ? 0 : 1);
        out.EdgeStepX[e] = -dy << kSubPixelBits;
        out.EdgeStepY[e] = dx << kSubPixelBits;
    }

    // Planes from the snapped positions, in double, stored as float.
    const double fx0 = static_cast<double>(x[0]) / kSubPixelScale,
                 fy0 = static_cast<double>(y[0]) / kSubPixelScale;
    const double ex1 = static_cast<double>(x[1] - x[0]) / kSubPixelScale;
    const double ey1 = static_cast<double>(y[1] - y[0]) / kSubPixelScale;
    const double ex2 = static_cast<double>(x[2] - x[0]) / kSubPixelScale;
    const double ey2 = static_cast<double>(y[2] - y[0]) / kSubPixelScale;
    const double inverseArea = 1.0 / (ex1 * ey2 - ex2 * ey1);
    const double offsetX = static_cast<double>(minX) - fx0;
    const double offsetY = static_cast<double>(minY) - fy0;
    out.OriginX = out.MinX;
    out.OriginY = out.MinY;
    auto makePlane = [&](double a0, double a1, double a2) {
        const double d1 = a1 - a0, d2 = a2 - a0;
        const double dx = (d1 * ey2 - d2 * ey1) * inverseArea;
        const double dy = (d2 * ex1 - d1 * ex2) * inverseArea;
        return Plane{static_cast<float>(a0 + dx * offsetX + dy * offsetY), static_cast<float>(dx),
                     static_cast<float>(dy)};
    };
    out.Z = makePlane(v0.Z, v1.Z, v2.Z);
    out.Rhw = makePlane(v0.Rhw, v1.Rhw, v2.Rhw);
    out.FlatColors = flatSource != nullptr;
    for (int a = 0; a < kAttributeCount; ++a) {
        if ((attributeMask & (1u << a)) == 0) continue;
        if (out.FlatColors && a < kAttrTexCoord) {
            out.Flat[a] = flatSource->Attr[a];
            continue;
        }
        out.Attr[a] =
            makePlane(static_cast<double>(v0.Attr[a]) * v0.Rhw, static_cast<double>(v1.Attr[a]) * v1.Rhw,
                      static_cast<double>(v2.Attr[a]) * v2.Rhw);
    }
    return true;
}

}  // namespace wbx::raster
