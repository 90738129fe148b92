#pragma once
// Triangle setup and coverage: fixed-point edge functions with Direct3D 9's
// pixel-centre convention (centres on integer coordinates) and top-left fill
// rule, plus screen-space planes for every interpolated value.
//
// Positions snap to 1/256 pixel. A pixel is covered when its centre is
// strictly inside all three edges, or exactly on an edge that is a top edge
// (horizontal, interior below) or a left edge. Two triangles sharing an edge
// therefore never both cover a pixel on it, and never both miss it.

#include <cmath>
#include <cstdint>

#include "d3d9/d3d9types.h"
#include "d3d9/raster/shadedvertex.h"

namespace wbx::raster {

constexpr int kSubPixelBits = 8;
constexpr float kSubPixelScale = 256.0f;

// A vertex after the divide by w and the viewport transform.
struct ScreenVertex {
    float X, Y;  // pixels; the centre of pixel (i, j) is (i, j)
    float Z;     // depth in [MinZ, MaxZ]
    float Rhw;   // 1 / w
    float Attr[kAttributeCount];
};

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

struct TriangleSetup {
    // Coverage.
    int MinX, MinY, MaxX, MaxY;  // inclusive pixel bounds, already inside the scissor
    int64_t EdgeOrigin[3];       // edge values at the centre of (MinX, MinY), fill-rule bias applied
    int64_t EdgeStepX[3];        // change per pixel to the right
    int64_t EdgeStepY[3];        // change per pixel down
    // Interpolation. Attribute planes hold attr / w (perspective-correct);
    // with flat shading the colours are constant and come from Flat.
    int OriginX, OriginY;  // = MinX, MinY
    Plane Z;
    Plane Rhw;
    Plane Attr[kAttributeCount];
    bool FlatColors;
    float Flat[kAttrTexCoord];  // the provoking vertex's colours (flat shading)
};

inline float EvalPlane(const Plane& p, float fx, float fy) { return (p.Origin + p.Dy * fy) + p.Dx * fx; }

// Winding on screen, with y pointing down: > 0 is clockwise as seen (kept by
// D3DCULL_CCW), < 0 counter-clockwise, 0 degenerate.
int64_t SnappedArea2(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2);

// True when the triangle survives `cullMode` and covers at least one pixel
// centre bound of `scissor`. `flatSource` is the provoking vertex for flat
// shading (nullptr: Gouraud). Only attributes whose bit is set in
// `attributeMask` get planes.
bool SetupTriangle(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2, DWORD cullMode,
                   const PixelRect& scissor, const ScreenVertex* flatSource, uint32_t attributeMask,
                   TriangleSetup& out);

// Rows of the target split into bands of 2^Shift rows dealt round-robin to
// Count workers: a worker draws the rows whose band number modulo Count is
// Index. Every pixel belongs to exactly one worker, so splitting a draw this
// way changes nothing in the result.
struct RowBands {
    int Shift = 3;
    int Count = 1;
    int Index = 0;
    bool Owns(int y) const { return Count == 1 || ((y >> Shift) % Count) == Index; }
};

// Calls span(y, xBegin, xEnd) for every row of covered pixels [xBegin, xEnd)
// that `bands` owns, top to bottom. A triangle covers one run of pixels per row.
template <class SpanFunction>
void ForEachSpan(const TriangleSetup& t, SpanFunction&& span, const RowBands& bands = RowBands{}) {
    int64_t row0 = t.EdgeOrigin[0], row1 = t.EdgeOrigin[1], row2 = t.EdgeOrigin[2];
    for (int y = t.MinY; y <= t.MaxY;
         ++y, row0 += t.EdgeStepY[0], row1 += t.EdgeStepY[1], row2 += t.EdgeStepY[2]) {
        if (!bands.Owns(y)) continue;
        int64_t e0 = row0, e1 = row1, e2 = row2;
        int x = t.MinX;
        while (x <= t.MaxX && (e0 | e1 | e2) < 0) {
            e0 += t.EdgeStepX[0];
            e1 += t.EdgeStepX[1];
            e2 += t.EdgeStepX[2];
            ++x;
        }
        const int begin = x;
        while (x <= t.MaxX && (e0 | e1 | e2) >= 0) {
            e0 += t.EdgeStepX[0];
            e1 += t.EdgeStepX[1];
            e2 += t.EdgeStepX[2];
            ++x;
        }
        if (x > begin) span(y, begin, x);
    }
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
