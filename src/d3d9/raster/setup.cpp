#include "setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // Every value's plane: (a1 - a0, a2 - a0) solved for the screen
    // gradients, and the value at the origin pixel, in double, stored as
    // float. Planes of attributes the draw does not read are made as well:
    // nothing reads them, and making all is cheaper than choosing.
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
#if defined(__SSE2__)
    // Two slots at a time, in exactly the scalar order of operations.
    const __m128d vEx1 = _mm_set1_pd(ex1), vEy1 = _mm_set1_pd(ey1), vEx2 = _mm_set1_pd(ex2),
                  vEy2 = _mm_set1_pd(ey2), vInverse = _mm_set1_pd(inverseArea),
                  vOffsetX = _mm_set1_pd(offsetX), vOffsetY = _mm_set1_pd(offsetY);
    auto planes = [&](int slot, __m128d a0, __m128d a1, __m128d a2) {
        const __m128d d1 = _mm_sub_pd(a1, a0), d2 = _mm_sub_pd(a2, a0);
        const __m128d dx = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, vEy2), _mm_mul_pd(d2, vEy1)), vInverse);
        const __m128d dy = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, vEx1), _mm_mul_pd(d1, vEx2)), vInverse);
        const __m128d at = _mm_add_pd(_mm_add_pd(a0, _mm_mul_pd(dx, vOffsetX)), _mm_mul_pd(dy, vOffsetY));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneOrigin + slot), _mm_cvtpd_ps(at));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDx + slot), _mm_cvtpd_ps(dx));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDy + slot), _mm_cvtpd_ps(dy));
    };
    planes(kPlaneZ, _mm_setr_pd(v0.Z, v0.Rhw), _mm_setr_pd(v1.Z, v1.Rhw), _mm_setr_pd(v2.Z, v2.Rhw));
    static_assert(kPlaneRhw == kPlaneZ + 1 && kAttributeCount % 2 == 0);
    const __m128d rhw[3] = {_mm_set1_pd(v0.Rhw), _mm_set1_pd(v1.Rhw), _mm_set1_pd(v2.Rhw)};
    for (int a = 0; a < kAttributeCount; a += 2) {
        __m128d value[3];
        for (int i = 0; i < 3; ++i) {
            const __m128 pair =
                _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v[i]->Attr + a)));
            value[i] = _mm_mul_pd(_mm_cvtps_pd(pair), rhw[i]);
        }
        planes(kPlaneAttr + a, value[0], value[1], value[2]);
    }
#else
    for (int k = 0; k < kPlaneCount; ++k) {
        double value[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = k == kPlaneZ     ? v[i]->Z
                       : k == kPlaneRhw ? v[i]->Rhw
                                        : static_cast<double>(v[i]->Attr[k - kPlaneAttr]) * v[i]->Rhw;
        }
        const double d1 = value[1] - value[0], d2 = value[2] - value[0];
        const double dx = (d1 * ey2 - d2 * ey1) * inverseArea;
        const double dy = (d2 * ex1 - d1 * ex2) * inverseArea;
        out.PlaneOrigin[k] = static_cast<float>(value[0] + dx * offsetX + dy * offsetY);
        out.PlaneDx[k] = static_cast<float>(dx);
        out.PlaneDy[k] = static_cast<float>(dy);
    }
#endif
    out.FlatColors = flatSource != nullptr;
    if (out.FlatColors) std::memcpy(out.Flat, flatSource->Attr, sizeof(out.Flat));
    return true;
}

}  // namespace wbx::raster
