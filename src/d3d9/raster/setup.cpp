#include "setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "planesetup.h"

namespace wbx::raster {

namespace {

// floor(v 256 + 0.5) for |v| <= kMaxScreenCoordinate, exact in double.
int32_t Snap(float v) {
    const double scaled = static_cast<double>(v) * kSubPixelScale + 0.5;
    const int64_t truncated = static_cast<int64_t>(scaled);
    return static_cast<int32_t>(truncated - (scaled < static_cast<double>(truncated) ? 1 : 0));
}

// Clipping keeps screen positions within the guard band; anything far beyond
// it (or NaN) comes from degenerate input and is not drawn. The bound keeps
// every fixed-point product of the edge functions inside 64 bits.
constexpr float kMaxScreenCoordinate = 1 << 20;

// floor(a / 2^kSubPixelBits) and ceil(...) for fixed-point values of either sign.
int64_t FloorPixel(int64_t v) { return v >> kSubPixelBits; }
int64_t CeilPixel(int64_t v) { return -((-v) >> kSubPixelBits); }

}  // namespace

void SnapScreenVertex(ScreenVertex& v) {
    v.Snapped = std::fabs(v.X) <= kMaxScreenCoordinate && std::fabs(v.Y) <= kMaxScreenCoordinate;
    v.SnapX = v.Snapped ? Snap(v.X) : 0;
    v.SnapY = v.Snapped ? Snap(v.Y) : 0;
}

int64_t SnappedArea2(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2) {
    if (!v0.Snapped || !v1.Snapped || !v2.Snapped) return 0;
    const int64_t x0 = v0.SnapX, y0 = v0.SnapY;
    const int64_t x1 = v1.SnapX, y1 = v1.SnapY;
    const int64_t x2 = v2.SnapX, y2 = v2.SnapY;
    return (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
}

bool SetupTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, DWORD cullMode,
                   const PixelRect& scissor, const ScreenVertex* flatSource, TriangleSetup& out) {
    if (!v0.Snapped || !v1.Snapped || !v2.Snapped) return false;
    const int64_t x[3] = {v0.SnapX, v1.SnapX, v2.SnapX};
    const int64_t y[3] = {v0.SnapY, v1.SnapY, v2.SnapY};
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
    const int64_t px = minX << kSubPixelBits;
    const int64_t py = minY << kSubPixelBits;
    auto edge = [&](int e, int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
        const int64_t dx = xb - xa;
        const int64_t dy = yb - ya;
        const bool topOrLeft = dy < 0 || (dy == 0 && dx > 0);
        out.EdgeOrigin[e] = dx * (py - ya) - dy * (px - xa) - (topOrLeft ? 0 : 1);
        out.EdgeStepX[e] = -dy << kSubPixelBits;
        out.EdgeStepY[e] = dx << kSubPixelBits;
    };
    const bool clockwise = area > 0;
    const int64_t xb = clockwise ? x[1] : x[2], yb = clockwise ? y[1] : y[2];
    const int64_t xc = clockwise ? x[2] : x[1], yc = clockwise ? y[2] : y[1];
    edge(0, x[0], y[0], xb, yb);
    edge(1, xb, yb, xc, yc);
    edge(2, xc, yc, x[0], y[0]);

    // Planes from the snapped positions.
    PlaneBasis basis;
    const double fx0 = static_cast<double>(x[0]) / kSubPixelScale,
                 fy0 = static_cast<double>(y[0]) / kSubPixelScale;
    basis.Ex1 = static_cast<double>(x[1] - x[0]) / kSubPixelScale;
    basis.Ey1 = static_cast<double>(y[1] - y[0]) / kSubPixelScale;
    basis.Ex2 = static_cast<double>(x[2] - x[0]) / kSubPixelScale;
    basis.Ey2 = static_cast<double>(y[2] - y[0]) / kSubPixelScale;
    basis.InverseArea = 1.0 / (basis.Ex1 * basis.Ey2 - basis.Ex2 * basis.Ey1);
    basis.OffsetX = static_cast<double>(minX) - fx0;
    basis.OffsetY = static_cast<double>(minY) - fy0;
    out.OriginX = out.MinX;
    out.OriginY = out.MinY;
    static const PlaneMaker makePlanes = BestPlaneMaker();
    makePlanes(v0, v1, v2, basis, out);
    out.FlatColors = flatSource != nullptr;
    if (out.FlatColors) std::memcpy(out.Flat, flatSource->Attr, sizeof(out.Flat));
    return true;
}

}  // namespace wbx::raster
