// Which pixels a primitive covers: the fill rule, shared edges, culling,
// clipping, fill modes, the viewport, and primitives that must be dropped.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rasterfixture.h"

namespace wbx::testing {
namespace {

// Every covered pixel gets +1 in all channels: overlapping pixels show 2.
PipelineState CountingState(int w, int h) {
    PipelineState s = DefaultState(w, h, false);
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    s.RenderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
    s.RenderStates[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s.RenderStates[D3DRS_DESTBLEND] = D3DBLEND_ONE;
    return s;
}

TLVertex V(float x, float y, D3DCOLOR c = 0x01010101) { return {x, y, 0.5f, 1.0f, c, 0, 0}; }

// Checks no pixel was hit twice and every row's hits are one unbroken run
// (a convex shape drawn as several triangles has no gaps inside).
void ExpectSingleHitsWithoutGaps(const Canvas& c) {
    for (int y = 0; y < c.Height; ++y) {
        int runs = 0;
        bool inside = false;
        for (int x = 0; x < c.Width; ++x) {
            const uint32_t v = c.Rgb(x, y);
            ASSERT_TRUE(v == 0 || v == 0x010101) << "pixel " << x << "," << y << " hit more than once";
            if (v != 0 && !inside) ++runs;
            inside = v != 0;
        }
        EXPECT_LE(runs, 1) << "gap in row " << y;
    }
}

TEST(RasterCoverage, FillRuleCountsOfTheTwoHalvesOfASquare) {
    Rasterizer r;
    Canvas a(8, 8, D3DFMT_UNKNOWN);
    DrawList(r, CountingState(8, 8), a, std::vector<TLVertex>{V(0, 0), V(5, 0), V(5, 5)}, kTLFVF);
    EXPECT_EQ(a.CountNot(0), 15);
    Canvas b(8, 8, D3DFMT_UNKNOWN);
    DrawList(r, CountingState(8, 8), b, std::vector<TLVertex>{V(0, 5), V(0, 0), V(5, 5)}, kTLFVF);
    EXPECT_EQ(b.CountNot(0), 10);
    // Together: the 5 x 5 square, each pixel once.
    DrawList(r, CountingState(8, 8), a, std::vector<TLVertex>{V(0, 5), V(0, 0), V(5, 5)}, kTLFVF);
    EXPECT_EQ(a.CountNot(0), 25);
    ExpectSingleHitsWithoutGaps(a);
}

TEST(RasterCoverage, TopLeftRuleOnExactPixelCentres) {
    Rasterizer r;
    Canvas c(10, 10, D3DFMT_UNKNOWN);
    // The rectangle [2, 6) x [2, 5) with its edges through pixel centres.
    DrawList(r, CountingState(10, 10), c,
             std::vector<TLVertex>{V(2, 2), V(6, 2), V(6, 5), V(2, 2), V(6, 5), V(2, 5)}, kTLFVF);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 2 && y < 5;
            EXPECT_EQ(c.Rgb(x, y), inside ? 0x010101u : 0u) << x << "," << y;
        }
    }
}

TEST(RasterCoverage, QuadAtFractionalPositionsHasNoGapsOrDoubleHits) {
    Rasterizer r;
    Canvas c(32, 32, D3DFMT_UNKNOWN);
    const TLVertex a = V(1.3f, 2.7f), b = V(27.6f, 1.1f), d = V(25.2f, 29.5f), e = V(2.2f, 26.9f);
    DrawList(r, CountingState(32, 32), c, std::vector<TLVertex>{a, b, d, a, d, e}, kTLFVF);
    ExpectSingleHitsWithoutGaps(c);
    EXPECT_GT(c.CountNot(0), 500);
}

TEST(RasterCoverage, FanAroundAVertexCoversEachPixelOnce) {
    for (const bool onCentres : {false, true}) {
        Rasterizer r;
        Canvas c(64, 64, D3DFMT_UNKNOWN);
        std::vector<TLVertex> fan{onCentres ? V(32, 32) : V(32.5f, 31.75f)};
        const int spokes = onCentres ? 8 : 13;
        for (int i = 0; i <= spokes; ++i) {
            const double angle = 2 * 3.14159265358979 * (i % spokes) / spokes;
            float x = static_cast<float>(32 + 24 * std::cos(angle)),
                  y = static_cast<float>(32 + 24 * std::sin(angle));
            if (onCentres) {
                x = std::round(x);
                y = std::round(y);
            }
            fan.push_back(V(x, y));
        }
        DrawList(r, CountingState(64, 64), c, fan, kTLFVF, D3DPT_TRIANGLEFAN, static_cast<UINT>(spokes));
        ExpectSingleHitsWithoutGaps(c);
        EXPECT_EQ(c.Rgb(32, 32), 0x010101u);
    }
}

TEST(RasterCoverage, StripSharesEdgesAndKeepsWinding) {
    Rasterizer r;
    Canvas c(40, 20, D3DFMT_UNKNOWN);
    PipelineState s = CountingState(40, 20);
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_CCW;  // every triangle of the strip must survive
    std::vector<TLVertex> strip;
    for (int i = 0; i < 8; ++i) strip.push_back(V(2.5f + 4.5f * (i / 2), (i % 2) ? 16.5f : 2.25f));
    // Zig-zag top, bottom, top, ...: the first triangle (t0, b0, t1) is clockwise on screen.
    std::swap(strip[0], strip[1]);
    for (int i = 0; i < 8; i += 2) std::swap(strip[i], strip[i + 1]);
    strip.clear();
    for (int i = 0; i < 8; ++i) strip.push_back(V(2.5f + 4.5f * (i / 2), (i % 2) ? 2.25f : 16.5f));
    DrawList(r, s, c, strip, kTLFVF, D3DPT_TRIANGLESTRIP, 6);
    ExpectSingleHitsWithoutGaps(c);
    // Strip spans x from 2.5 to 16; every row between has a run over it.
    for (int y = 3; y <= 16; ++y) EXPECT_EQ(c.Rgb(9, y), 0x010101u) << y;
}

TEST(RasterCoverage, CullingFollowsScreenWinding) {
    const std::vector<TLVertex> clockwise{V(2, 2), V(12, 2), V(2, 12)};  // clockwise as seen, y down
    const std::vector<TLVertex> counter{V(2, 2), V(2, 12), V(12, 2)};
    struct Case {
        DWORD Cull;
        bool DrawsClockwise, DrawsCounter;
    };
    for (const Case& k :
         {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}}) {
        Rasterizer r;
        PipelineState s = CountingState(16, 16);
        s.RenderStates[D3DRS_CULLMODE] = k.Cull;
        Canvas a(16, 16, D3DFMT_UNKNOWN), b(16, 16, D3DFMT_UNKNOWN);
        DrawList(r, s, a, clockwise, kTLFVF);
        DrawList(r, s, b, counter, kTLFVF);
        EXPECT_EQ(a.CountNot(0) > 0, k.DrawsClockwise) << "cull " << k.Cull;
        EXPECT_EQ(b.CountNot(0) > 0, k.DrawsCounter) << "cull " << k.Cull;
    }
}

// Untransformed vertices with identity matrices: clip = (x, y, z, 1).
struct ColorVertex {
    float X, Y, Z;
    D3DCOLOR Diffuse;
};
constexpr DWORD kColorFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

PipelineState UnlitState(int w, int h) {
    PipelineState s = DefaultState(w, h, false);
    s.RenderStates[D3DRS_LIGHTING] = FALSE;
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    return s;
}

TEST(RasterCoverage, NearAndFarPlanesClipInHomogeneousSpace) {
    // z runs from -1 at the bottom (y = -0.5) to +1 at the top (y = 0.5):
    // z = 2y, so only the upper half (screen rows above 32) has z >= 0.
    Rasterizer r;
    Canvas c(64, 64, D3DFMT_UNKNOWN);
    DrawList(r, UnlitState(64, 64), c,
             std::vector<ColorVertex>{
                 {-0.5f, -0.5f, -1, 0xFFFFFFFF}, {0.5f, -0.5f, -1, 0xFFFFFFFF}, {0, 0.5f, 1, 0xFFFFFFFF}},
             kColorFVF);
    int above = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (c.Rgb(x, y) == 0) continue;
            EXPECT_LE(y, 32) << "drawn behind the near plane at " << x << "," << y;
            ++above;
        }
    }
    EXPECT_GT(above, 100);  // the half-triangle above row 32 has area 128
    EXPECT_NE(c.Rgb(32, 31), 0u);

    // Beyond the far plane (z > w) likewise: z = 2y + 1 leaves the lower half.
    Canvas f(64, 64, D3DFMT_UNKNOWN);
    DrawList(r, UnlitState(64, 64), f,
             std::vector<ColorVertex>{
                 {-0.5f, -0.5f, 0, 0xFFFFFFFF}, {0.5f, -0.5f, 0, 0xFFFFFFFF}, {0, 0.5f, 2, 0xFFFFFFFF}},
             kColorFVF);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_EQ(f.Rgb(x, y), 0u) << x << "," << y;
    EXPECT_NE(f.Rgb(32, 40), 0u);

    // Wholly behind the viewer: nothing.
    Canvas g(64, 64, D3DFMT_UNKNOWN);
    DrawList(r, UnlitState(64, 64), g,
             std::vector<ColorVertex>{
                 {-1, -1, -0.5f, 0xFFFFFFFF}, {1, -1, -0.5f, 0xFFFFFFFF}, {0, 1, -0.1f, 0xFFFFFFFF}},
             kColorFVF);
    EXPECT_EQ(g.CountNot(0), 0);
}

TEST(RasterCoverage, TriangleThroughTheEyeWithPerspectiveStaysInFront) {
    // A floor under a perspective camera reaching behind it: only the part in
    // front is drawn, below the horizon, and nothing wraps to the upper half.
    Rasterizer r;
    Canvas c(64, 64, D3DFMT_UNKNOWN);
    PipelineState s = UnlitState(64, 64);
    D3DMATRIX p{};
    p._11 = 1;
    p._22 = 1;
    p._33 = 1.0f;  // far 10, near 1: q = 10/9
    p._33 = 10.0f / 9.0f;
    p._34 = 1;
    p._43 = -10.0f / 9.0f;
    s.Projection = p;
    DrawList(
        r, s, c,
        std::vector<ColorVertex>{{-5, -1, -3, 0xFFFFFFFF}, {5, -1, -3, 0xFFFFFFFF}, {0, -1, 8, 0xFFFFFFFF}},
        kColorFVF);
    EXPECT_GT(c.CountNot(0), 100);
    for (int y = 0; y <= 32; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_EQ(c.Rgb(x, y), 0u) << x << "," << y;
}

TEST(RasterCoverage, ViewportScissorsAndOffsetsDrawing) {
    Rasterizer r;
    Canvas c(40, 40, D3DFMT_UNKNOWN);
    PipelineState s = UnlitState(40, 40);
    s.Viewport = {10, 5, 20, 10, 0, 1};
    // Clip space covering far more than the viewport.
    DrawList(r, s, c,
             std::vector<ColorVertex>{
                 {-3, -3, 0.5f, 0xFFFFFFFF}, {3, -3, 0.5f, 0xFFFFFFFF}, {0, 9, 0.5f, 0xFFFFFFFF}},
             kColorFVF);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            EXPECT_EQ(c.Rgb(x, y) != 0, x >= 10 && x < 30 && y >= 5 && y < 15) << x << "," << y;
    // Viewport mapping: (-1, 1) lands on the viewport's top-left pixel centre.
    Canvas d(40, 40, D3DFMT_UNKNOWN);
    DrawList(r, s, d,
             std::vector<ColorVertex>{
                 {-1, 1, 0.5f, 0xFFFFFFFF}, {-0.5f, 1, 0.5f, 0xFFFFFFFF}, {-1, 0, 0.5f, 0xFFFFFFFF}},
             kColorFVF);
    EXPECT_NE(d.Rgb(10, 5), 0u);
    EXPECT_EQ(d.Rgb(15, 5), 0u);  // x = -0.5 maps to 15: a right edge, excluded
    EXPECT_NE(d.Rgb(14, 5), 0u);
    EXPECT_EQ(d.Rgb(10, 10), 0u);  // y = 0 maps to row 10: the bottom corner
}

TEST(RasterCoverage, WireframeAndPointModes) {
    Rasterizer r;
    PipelineState s = CountingState(32, 32);
    s.RenderStates[D3DRS_FILLMODE] = D3DFILL_WIREFRAME;
    Canvas c(32, 32, D3DFMT_UNKNOWN);
    const std::vector<TLVertex> tri{V(4, 4), V(24, 4), V(4, 24)};
    DrawList(r, s, c, tri, kTLFVF);
    EXPECT_NE(c.Rgb(10, 4), 0u);  // top edge
    EXPECT_NE(c.Rgb(4, 10), 0u);  // left edge
    EXPECT_EQ(c.Rgb(9, 9), 0u);   // interior
    EXPECT_GT(c.CountNot(0), 50);
    EXPECT_LT(c.CountNot(0), 80);

    s.RenderStates[D3DRS_FILLMODE] = D3DFILL_POINT;
    Canvas p(32, 32, D3DFMT_UNKNOWN);
    DrawList(r, s, p, tri, kTLFVF);
    EXPECT_EQ(p.CountNot(0), 3);
    EXPECT_NE(p.Rgb(24, 4), 0u);

    // Culling applies in these modes as well.
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_CW;
    Canvas q(32, 32, D3DFMT_UNKNOWN);
    DrawList(r, s, q, tri, kTLFVF);
    EXPECT_EQ(q.CountNot(0), 0);
}

// Lines through the near plane keep only their part in front of it (z >= 0
// in clip space); a line wholly behind draws nothing.
TEST(RasterCoverage, LinesAreClippedAtTheNearPlane) {
    struct ColoredVertex {
        float X, Y, Z;
        D3DCOLOR Diffuse;
    };
    constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    Rasterizer r;
    PipelineState s = CountingState(64, 32);
    s.RenderStates[D3DRS_LIGHTING] = FALSE;
    // Identity transforms: clip space is the vertex; x -1..1 spans the 64 columns.
    const std::vector<ColoredVertex> crossing{{-0.5f, 0, -1, 0x01010101}, {0.5f, 0, 1, 0x01010101}};
    Canvas c(64, 32, D3DFMT_UNKNOWN);
    DrawList(r, s, c, crossing, kFvf, D3DPT_LINELIST, 1);
    // The visible half runs from the centre (z = 0 at x = 0) to x = 0.5 (column 48).
    EXPECT_EQ(c.Rgb(20, 16), 0u);
    EXPECT_EQ(c.Rgb(30, 16), 0u);
    EXPECT_NE(c.Rgb(33, 16), 0u);
    EXPECT_NE(c.Rgb(47, 16), 0u);
    EXPECT_GE(c.CountNot(0), 14);
    EXPECT_LE(c.CountNot(0), 17);
    // The same line the other way round, as a strip: the same pixels.
    const std::vector<ColoredVertex> reversed{crossing[1], crossing[0]};
    Canvas d(64, 32, D3DFMT_UNKNOWN);
    DrawList(r, s, d, reversed, kFvf, D3DPT_LINESTRIP, 1);
    EXPECT_EQ(d.CountNot(0), c.CountNot(0));
    EXPECT_EQ(d.Rgb(20, 16), 0u);
    // Wholly behind the eye: nothing.
    const std::vector<ColoredVertex> behind{{-0.5f, 0, -1, 0x01010101}, {0.5f, 0, -0.25f, 0x01010101}};
    Canvas e(64, 32, D3DFMT_UNKNOWN);
    DrawList(r, s, e, behind, kFvf, D3DPT_LINELIST, 1);
    EXPECT_EQ(e.CountNot(0), 0);
}

TEST(RasterCoverage, PrimitivesNamingMissingVerticesOrIndicesAreDropped) {
    Rasterizer r;
    Canvas c(16, 16, D3DFMT_UNKNOWN);
    const std::vector<TLVertex> v{V(0, 0), V(8, 0), V(0, 8), V(8, 8)};
    // The second triangle names vertex 9 of 4.
    DrawIndexed(r, CountingState(16, 16), c, v, kTLFVF, {0, 1, 2, 1, 9, 2});
    EXPECT_EQ(c.Rgb(1, 1), 0x010101u);
    EXPECT_EQ(c.Rgb(7, 7), 0u);
    // More primitives than indices: only the complete ones are drawn.
    Canvas d(16, 16, D3DFMT_UNKNOWN);
    DrawIndexed(r, CountingState(16, 16), d, v, kTLFVF, {0, 1, 2, 1, 3}, D3DPT_TRIANGLELIST, 100);
    EXPECT_EQ(d.Rgb(1, 1), 0x010101u);
    EXPECT_EQ(d.Rgb(7, 7), 0u);
    // A negative base vertex that pushes indices below 0, and a start past the end.
    VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), sizeof(TLVertex), 4, kTLFVF};
    const std::vector<uint16_t> idx{0, 1, 2};
    IndexStream index{reinterpret_cast<const uint8_t*>(idx.data()), false, 3};
    DrawCall call;
    call.PrimitiveCount = 1;
    call.BaseVertexIndex = -1;
    Canvas e(16, 16, D3DFMT_UNKNOWN);
    r.Draw(CountingState(16, 16), stream, &index, call, e.Targets());
    call.BaseVertexIndex = 0;
    call.StartIndex = 3;
    r.Draw(CountingState(16, 16), stream, &index, call, e.Targets());
    EXPECT_EQ(e.CountNot(0), 0);
    // A non-indexed draw running past the vertex count.
    Canvas f(16, 16, D3DFMT_UNKNOWN);
    DrawList(r, CountingState(16, 16), f, v, kTLFVF, D3DPT_TRIANGLELIST, 2);
    EXPECT_EQ(f.CountNot(0), 36);  // only the first triangle (0,0),(8,0),(0,8): 8 + 7 + ... + 1
    // An absurd primitive count ends with the streams, at once.
    Canvas g(16, 16, D3DFMT_UNKNOWN);
    DrawList(r, CountingState(16, 16), g, v, kTLFVF, D3DPT_TRIANGLESTRIP, 0xFFFFFFFFu);
    DrawIndexed(r, CountingState(16, 16), g, v, kTLFVF, {0, 1, 2}, D3DPT_TRIANGLEFAN, 0xFFFFFFFFu);
    EXPECT_GT(g.CountNot(0), 0);
}

TEST(RasterCoverage, AbsurdCoordinatesAreClippedOrDropped) {
    Rasterizer r;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Far outside the screen but finite: clipped to the guard band, the
    // triangle covers the whole target.
    Canvas c(16, 16, D3DFMT_UNKNOWN);
    DrawList(
        r, UnlitState(16, 16), c,
        std::vector<ColorVertex>{
            {-1e5f, -1e5f, 0.5f, 0xFFFFFFFF}, {1e5f, -1e5f, 0.5f, 0xFFFFFFFF}, {0, 1e5f, 0.5f, 0xFFFFFFFF}},
        kColorFVF);
    EXPECT_EQ(c.CountNot(0), 16 * 16);
    // Near the float range the cut points lose all precision; what is drawn
    // is then undefined, but it stays inside the target (checked by the
    // sanitizer build) and nothing hangs.
    DrawList(r, UnlitState(16, 16), c,
             std::vector<ColorVertex>{{-1e37f, -1e37f, 0.5f, 0xFFFFFFFF},
                                      {1e37f, -1e37f, 0.5f, 0xFFFFFFFF},
                                      {0, 1e37f, 0.5f, 0xFFFFFFFF}},
             kColorFVF);
    // NaN and infinity: nothing drawn, nothing crashes.
    Canvas d(16, 16, D3DFMT_UNKNOWN);
    DrawList(r, UnlitState(16, 16), d,
             std::vector<ColorVertex>{{nan, 0, 0.5f, 0xFFFFFFFF},
                                      {1, 0, 0.5f, 0xFFFFFFFF},
                                      {0, 1, 0.5f, 0xFFFFFFFF},
                                      {inf, -inf, 0.5f, 0xFFFFFFFF},
                                      {1, 0, 0.5f, 0xFFFFFFFF},
                                      {0, 1, 0.5f, 0xFFFFFFFF}},
             kColorFVF, D3DPT_TRIANGLELIST, 2);
    EXPECT_EQ(d.CountNot(0), 0);
    // Pre-transformed vertices far outside the guard band are dropped.
    Canvas e(16, 16, D3DFMT_UNKNOWN);
    DrawList(r, CountingState(16, 16), e, std::vector<TLVertex>{V(-1e9f, 0), V(1e9f, 0), V(0, 1e9f)}, kTLFVF);
    EXPECT_EQ(e.CountNot(0), 0);
}

TEST(RasterCoverage, StrideSmallerThanTheFormatOrUnusableTargetsDrawNothing) {
    Rasterizer r;
    Canvas c(16, 16, D3DFMT_UNKNOWN);
    const std::vector<TLVertex> v{V(0, 0), V(8, 0), V(0, 8)};
    VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), 8, 3, kTLFVF};
    DrawCall call;
    call.Indexed = false;
    call.PrimitiveCount = 1;
    r.Draw(CountingState(16, 16), stream, nullptr, call, c.Targets());
    EXPECT_EQ(c.CountNot(0), 0);
    // Indexed without an index stream.
    stream.Stride = sizeof(TLVertex);
    call.Indexed = true;
    r.Draw(CountingState(16, 16), stream, nullptr, call, c.Targets());
    EXPECT_EQ(c.CountNot(0), 0);
    // A target of a format we cannot draw into is left alone.
    RenderTargets t = c.Targets();
    t.Color.Format = D3DFMT_R5G6B5;
    call.Indexed = false;
    r.Draw(CountingState(16, 16), stream, nullptr, call, t);
    EXPECT_EQ(c.CountNot(0), 0);
}

}  // namespace
}  // namespace wbx::testing
