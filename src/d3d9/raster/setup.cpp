#include "d3d9/raster/setup.h"

#include <algorithm>
#include <cmath>

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
                   const PixelRect& scissor, const ScreenVertex* flatSource, uint32_t attributeMask,
                   TriangleSetup& out) {
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
    // gradients, and the value at the origin pixel. Slot 0 is z, slot 1 is
    // 1/w, then the attributes times 1/w (perspective-correct).
    constexpr int kSlots = 2 + kAttributeCount;
    static_assert(kSlots % 2 == 0);
    alignas(16) float origin[kSlots], gradientX[kSlots], gradientY[kSlots];
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
#if defined(__SSE2__)
    // Two slots at a time, in exactly the scalar order of operations.
    const __m128d vEx1 = _mm_set1_pd(ex1), vEy1 = _mm_set1_pd(ey1), vEx2 = _mm_set1_pd(ex2),
                  vEy2 = _mm_set1_pd(ey2), vInverse = _mm_set1_pd(inverseArea),
                  vOffsetX = _mm_set1_pd(offsetX), vOffsetY = _mm_set1_pd(offsetY);
    for (int k = 0; k < kSlots; k += 2) {
        __m128d value[3];
        for (int i = 0; i < 3; ++i) {
            if (k == 0) {
                value[i] = _mm_setr_pd(v[i]->Z, v[i]->Rhw);
            } else {
                const __m128 pair =
                    _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v[i]->Attr + k - 2)));
                value[i] = _mm_mul_pd(_mm_cvtps_pd(pair), _mm_set1_pd(v[i]->Rhw));
            }
        }
        const __m128d d1 = _mm_sub_pd(value[1], value[0]), d2 = _mm_sub_pd(value[2], value[0]);
        const __m128d dx = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, vEy2), _mm_mul_pd(d2, vEy1)), vInverse);
        const __m128d dy = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, vEx1), _mm_mul_pd(d1, vEx2)), vInverse);
        const __m128d at =
            _mm_add_pd(_mm_add_pd(value[0], _mm_mul_pd(dx, vOffsetX)), _mm_mul_pd(dy, vOffsetY));
        _mm_storel_pi(reinterpret_cast<__m64*>(origin + k), _mm_cvtpd_ps(at));
        _mm_storel_pi(reinterpret_cast<__m64*>(gradientX + k), _mm_cvtpd_ps(dx));
        _mm_storel_pi(reinterpret_cast<__m64*>(gradientY + k), _mm_cvtpd_ps(dy));
    }
#else
    for (int k = 0; k < kSlots; ++k) {
        double value[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = k == 0   ? v[i]->Z
                       : k == 1 ? v[i]->Rhw
                                : static_cast<double>(v[i]->Attr[k - 2]) * v[i]->Rhw;
        }
        const double d1 = value[1] - value[0], d2 = value[2] - value[0];
        const double dx = (d1 * ey2 - d2 * ey1) * inverseArea;
        const double dy = (d2 * ex1 - d1 * ex2) * inverseArea;
        origin[k] = static_cast<float>(value[0] + dx * offsetX + dy * offsetY);
        gradientX[k] = static_cast<float>(dx);
        gradientY[k] = static_cast<float>(dy);
    }
#endif
    out.Z = Plane{origin[0], gradientX[0], gradientY[0]};
    out.Rhw = Plane{origin[1], gradientX[1], gradientY[1]};
    out.FlatColors = flatSource != nullptr;
    for (int a = 0; a < kAttributeCount; ++a) {
        if ((attributeMask & (1u << a)) == 0) continue;
        if (out.FlatColors && a < kAttrTexCoord) {
            out.Flat[a] = flatSource->Attr[a];
            continue;
        }
        out.Attr[a] = Plane{origin[a + 2], gradientX[a + 2], gradientY[a + 2]};
    }
    return true;
}

}  // namespace wbx::raster
