#pragma once
// Triangle setup and coverage: fixed-point edge functions with Direct3D 9's
// pixel-centre convention (centres on integer coordinates) and top-left fill
// rule, plus screen-space planes for every interpolated value.
//
// Positions snap to 1/256 pixel. A pixel is covered when its centre is
// strictly inside all three edges, or exactly on an edge that is a top edge
// (horizontal, interior below) or a left edge. Two triangles sharing an edge
// therefore never both cover a pixel on it, and never both miss it.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "d3d9/d3d9types.h"
#include "shadedvertex.h"

namespace wbx::raster {

constexpr int kSubPixelBits = 8;
constexpr float kSubPixelScale = 256.0f;

// A vertex after the divide by w and the viewport transform.
struct ScreenVertex {
    float X, Y;  // pixels; the centre of pixel (i, j) is (i, j)
    float Z;     // depth in [MinZ, MaxZ]
    float Rhw;   // 1 / w
    float Attr[kAttributeCount];
    // X and Y snapped to 1/256 pixel (SnapScreenVertex); valid only where Snapped.
    int32_t SnapX = 0, SnapY = 0;
    bool Snapped = false;  // false: the position is far beyond the guard band, or NaN
};

// Snaps v's position once for every triangle that uses it.
void SnapScreenVertex(ScreenVertex& v);

// Pixels a primitive may touch: [X0, X1) x [Y0, Y1).
struct PixelRect {
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
};

// A value that varies linearly over the screen: at pixel (x, y) it is
// (Origin + Dy (y - OriginY)) + Dx (x - OriginX), evaluated in exactly that
// order by every path so that they agree bit for bit.
struct Plane {
    float Origin = 0, Dx = 0, Dy = 0;
};

// The values a triangle interpolates, by plane slot: depth, 1/w, then each
// attribute divided by w (perspective-correct).
constexpr int kPlaneZ = 0;
constexpr int kPlaneRhw = 1;
constexpr int kPlaneAttr = 2;  // + attribute index
constexpr int kPlaneCount = kPlaneAttr + kAttributeCount;

struct TriangleSetup {
    // Coverage.
    int MinX, MinY, MaxX, MaxY;  // inclusive pixel bounds, already inside the scissor
    int64_t EdgeOrigin[3];       // edge values at the centre of (MinX, MinY), fill-rule bias applied
    int64_t EdgeStepX[3];        // change per pixel to the right
    int64_t EdgeStepY[3];        // change per pixel down
    // Interpolation, plane by plane slot (kPlane*), held as three arrays so
    // that set-up writes them and the span kernels read them as vectors.
    // With flat shading the colours are constant and come from Flat.
    int OriginX, OriginY;  // = MinX, MinY
    alignas(16) float PlaneOrigin[kPlaneCount];
    alignas(16) float PlaneDx[kPlaneCount];
    alignas(16) float PlaneDy[kPlaneCount];
    bool FlatColors;
    float Flat[kAttrTexCoord];  // the provoking vertex's colours (flat shading)

    Plane At(int slot) const { return Plane{PlaneOrigin[slot], PlaneDx[slot], PlaneDy[slot]}; }
};

inline float EvalPlane(const Plane& p, float fx, float fy) { return (p.Origin + p.Dy * fy) + p.Dx * fx; }

// Rows at most this wide are covered by bit masks (NarrowRows).
constexpr int kNarrowSpanWidth = 32;

// Whether every edge value over `width` x `height` pixels from `row` (the
// values at the first pixel) fits in 32 bits.
inline bool EdgesFit32(const TriangleSetup& t, const int64_t row[3], int width, int height) {
    for (int e = 0; e < 3; ++e) {
        const int64_t reach = (row[e] < 0 ? -row[e] : row[e]) +
                              (t.EdgeStepX[e] < 0 ? -t.EdgeStepX[e] : t.EdgeStepX[e]) * width +
                              (t.EdgeStepY[e] < 0 ? -t.EdgeStepY[e] : t.EdgeStepY[e]) * height;
        if (reach >= (int64_t{1} << 31)) return false;
    }
    return true;
}

// The coverage of rows at most kNarrowSpanWidth pixels wide as bit masks,
// row after row: bit i set where pixel i lies inside all three edges. Built
// from the edge values at the first pixel (which, with EdgesFit32, fit in
// 32 bits over the whole box) and the edges' steps.
class NarrowRows {
public:
    NarrowRows(const TriangleSetup& t, const int64_t row[3], int width)
        : width_(width), chunks_((width + 3) / 4), widthMask_(width >= 32 ? ~0u : (1u << width) - 1) {
        for (int e = 0; e < 3; ++e) {
            // In unsigned arithmetic: lanes past `width` may wrap; they are masked off.
            const uint32_t step = static_cast<uint32_t>(t.EdgeStepX[e]);
#if defined(__SSE2__)
            row_[e] = _mm_set1_epi32(static_cast<int32_t>(row[e]));
            down_[e] = _mm_set1_epi32(static_cast<int32_t>(t.EdgeStepY[e]));
            for (int j = 0; j < chunks_; ++j) {
                const uint32_t first = 4 * static_cast<uint32_t>(j) * step;
                offsets_[e][j] = _mm_setr_epi32(
                    static_cast<int32_t>(first), static_cast<int32_t>(first + step),
                    static_cast<int32_t>(first + 2 * step), static_cast<int32_t>(first + 3 * step));
            }
#else
            row_[e] = static_cast<uint32_t>(row[e]);
            down_[e] = static_cast<uint32_t>(t.EdgeStepY[e]);
            for (int i = 0; i < kNarrowSpanWidth; ++i) offsets_[e][i] = static_cast<uint32_t>(i) * step;
#endif
        }
    }

    int Width() const { return width_; }

    // Calls row(mask) for the next `count` rows, as `count` calls of Next()
    // would, with the edge values held in registers throughout for the
    // common boxes of at most 8 pixels.
    template <class RowFunction>
    void ForEachRow(int count, RowFunction&& row) {
#if defined(__SSE2__)
        if (chunks_ == 1) {
            RowsOf<1>(count, row);
            return;
        }
        if (chunks_ == 2) {
            RowsOf<2>(count, row);
            return;
        }
#endif
        for (int i = 0; i < count; ++i) row(Next());
    }

    // The current row's mask; then moves one row down.
    uint32_t Next() {
        uint32_t outside = 0;
#if defined(__SSE2__)
        for (int j = 0; j < chunks_; ++j) {
            const __m128i any = _mm_or_si128(
                _mm_or_si128(_mm_add_epi32(row_[0], offsets_[0][j]), _mm_add_epi32(row_[1], offsets_[1][j])),
                _mm_add_epi32(row_[2], offsets_[2][j]));
            outside |= static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(any))) << (4 * j);
        }
        for (int e = 0; e < 3; ++e) row_[e] = _mm_add_epi32(row_[e], down_[e]);
#else
        for (int i = 0; i < 4 * chunks_; ++i) {
            const uint32_t any =
                (row_[0] + offsets_[0][i]) | (row_[1] + offsets_[1][i]) | (row_[2] + offsets_[2][i]);
            outside |= (any >> 31) << i;
        }
        for (int e = 0; e < 3; ++e) row_[e] += down_[e];
#endif
        return ~outside & widthMask_;
    }

private:
#if defined(__SSE2__)
    template <int Chunks, class RowFunction>
    void RowsOf(int count, RowFunction& row) {
        __m128i edge[3], down[3], offsets[3][Chunks];
        for (int e = 0; e < 3; ++e) {
            edge[e] = row_[e];
            down[e] = down_[e];
            for (int j = 0; j < Chunks; ++j) offsets[e][j] = offsets_[e][j];
        }
        for (int i = 0; i < count; ++i) {
            uint32_t outside = 0;
            for (int j = 0; j < Chunks; ++j) {
                const __m128i any = _mm_or_si128(_mm_or_si128(_mm_add_epi32(edge[0], offsets[0][j]),
                                                              _mm_add_epi32(edge[1], offsets[1][j])),
                                                 _mm_add_epi32(edge[2], offsets[2][j]));
                outside |= static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(any))) << (4 * j);
            }
            for (int e = 0; e < 3; ++e) edge[e] = _mm_add_epi32(edge[e], down[e]);
            row(~outside & widthMask_);
        }
        for (int e = 0; e < 3; ++e) row_[e] = edge[e];
    }
#endif

    int width_;
    int chunks_;
    uint32_t widthMask_;
#if defined(__SSE2__)
    __m128i row_[3], down_[3], offsets_[3][kNarrowSpanWidth / 4];
#else
    uint32_t row_[3], down_[3], offsets_[3][kNarrowSpanWidth];
#endif
};

// Winding on screen, with y pointing down: > 0 is clockwise as seen (kept by
// D3DCULL_CCW), < 0 counter-clockwise, 0 degenerate.
int64_t SnappedArea2(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2);

// True when the triangle survives `cullMode` and covers at least one pixel
// centre bound of `scissor`. `flatSource` is the provoking vertex for flat
// shading (nullptr: Gouraud). The vertices must have been snapped
// (SnapScreenVertex); every plane slot is filled.
bool SetupTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, DWORD cullMode,
                   const PixelRect& scissor, const ScreenVertex* flatSource, TriangleSetup& out);

// The covered pixels of `t` inside `clip`, top to bottom: boxes at most
// kNarrowSpanWidth wide whose edge values fit in 32 bits go whole to
// narrowBox(row, x0, x1, y0, y1), `row` the edge values at (x0, y0); other
// boxes go row by row to span(y, xBegin, xEnd). A triangle covers one run
// of pixels per row.
template <class NarrowBoxFunction, class SpanFunction>
void ForEachCoverageBox(const TriangleSetup& t, const PixelRect& clip, NarrowBoxFunction&& narrowBox,
                        SpanFunction&& span) {
    const int x0 = std::max(t.MinX, clip.X0), x1 = std::min(t.MaxX + 1, clip.X1);
    const int y0 = std::max(t.MinY, clip.Y0), y1 = std::min(t.MaxY + 1, clip.Y1);
    if (x0 >= x1 || y0 >= y1) return;
    // The edge values at (x0, y0).
    int64_t row[3];
    for (int e = 0; e < 3; ++e)
        row[e] = t.EdgeOrigin[e] + t.EdgeStepX[e] * (x0 - t.MinX) + t.EdgeStepY[e] * (y0 - t.MinY);
    const int width = x1 - x0;
    if (width <= kNarrowSpanWidth && EdgesFit32(t, row, width, y1 - y0)) {
        narrowBox(static_cast<const int64_t*>(row), x0, x1, y0, y1);
        return;
    }
    for (int y = y0; y < y1;
         ++y, row[0] += t.EdgeStepY[0], row[1] += t.EdgeStepY[1], row[2] += t.EdgeStepY[2]) {
        int64_t e0 = row[0], e1 = row[1], e2 = row[2];
        int x = x0;
        while (x < x1 && (e0 | e1 | e2) < 0) {
            e0 += t.EdgeStepX[0];
            e1 += t.EdgeStepX[1];
            e2 += t.EdgeStepX[2];
            ++x;
        }
        const int begin = x;
        while (x < x1 && (e0 | e1 | e2) >= 0) {
            e0 += t.EdgeStepX[0];
            e1 += t.EdgeStepX[1];
            e2 += t.EdgeStepX[2];
            ++x;
        }
        if (x > begin) span(y, begin, x);
    }
}

// As ForEachCoverageBox, with narrow boxes given to narrow(rows, x0, y0,
// y1), which takes each row's coverage mask (bit i: pixel x0 + i) from
// rows.Next().
template <class NarrowFunction, class SpanFunction>
void ForEachCoverage(const TriangleSetup& t, const PixelRect& clip, NarrowFunction&& narrow,
                     SpanFunction&& span) {
    ForEachCoverageBox(
        t, clip,
        [&](const int64_t* row, int x0, int x1, int y0, int y1) {
            NarrowRows rows(t, row, x1 - x0);
            narrow(rows, x0, y0, y1);
        },
        span);
}

// Calls span(y, xBegin, xEnd) for every row of covered pixels [xBegin, xEnd)
// inside `clip`, top to bottom.
template <class SpanFunction>
void ForEachSpan(const TriangleSetup& t, const PixelRect& clip, SpanFunction&& span) {
    ForEachCoverage(
        t, clip,
        [&](NarrowRows& rows, int x0, int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uint32_t covered = rows.Next();
                if (covered != 0)
                    span(y, x0 + std::countr_zero(covered), x0 + 32 - std::countl_zero(covered));
            }
        },
        span);
}

// Calls pixel(x, y, t) for the pixels of the segment a -> b, t in [0, 1] the
// screen-space position along it. Pixels are stepped along the major axis at
// pixel centres; the minor coordinate rounds to the nearest centre. The end
// pixel is drawn only with `lastPixel`.
template <class PixelFunction>
void ForEachLinePixel(const ScreenVertex& a, const ScreenVertex& b, bool lastPixel, const PixelRect& scissor,
                      PixelFunction&& pixel) {
    const float dx = b.X - a.X;
    const float dy = b.Y - a.Y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float major0 = xMajor ? a.X : a.Y;
    const float major1 = xMajor ? b.X : b.Y;
    const float minor0 = xMajor ? a.Y : a.X;
    const float dMajor = major1 - major0;
    const float dMinor = xMajor ? dy : dx;
    const int start = static_cast<int>(std::floor(major0 + 0.5f));
    const int end = static_cast<int>(std::floor(major1 + 0.5f));
    const int step = end >= start ? 1 : -1;
    const int count = (end - start) * step + (lastPixel ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        const int major = start + i * step;
        const float t = dMajor != 0.0f ? (static_cast<float>(major) - major0) / dMajor : 0.0f;
        const float tc = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
        const int minor = static_cast<int>(std::floor(minor0 + dMinor * tc + 0.5f));
        const int x = xMajor ? major : minor;
        const int y = xMajor ? minor : major;
        if (x < scissor.X0 || x >= scissor.X1 || y < scissor.Y0 || y >= scissor.Y1) continue;
        pixel(x, y, tc);
    }
}

}  // namespace wbx::raster
