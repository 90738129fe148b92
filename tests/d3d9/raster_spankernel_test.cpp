// The span kernels, in every instruction-set variant this processor runs,
// against the per-pixel reference: addressing at the texture's edges (wrap
// seam, clamp, mirror, border), fully transparent texels, depth formats,
// flat shading, blends, mip levels and two threads.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "figurescene.h"
#include "rasterfixture.h"
#include "spankernel.h"

namespace wbx::testing {
namespace {

// The variants to check: the scalar fallback, and each vector one available here.
std::vector<PixelIsa> Variants() {
    std::vector<PixelIsa> v{PixelIsa::Scalar};
    for (PixelIsa isa : {PixelIsa::Sse2, PixelIsa::Avx2})
        if (SpanKernelFor(isa, TexelKind::None) != nullptr) v.push_back(isa);
    return v;
}

// Path 0 draws through the reference, path i > 0 through Variants()[i - 1].
bool SetPath(Rasterizer& r, size_t path) {
    r.SetReferencePixelPath(path == 0);
    return path == 0 || r.SetPixelIsa(Variants()[path - 1]);
}

std::string Name(PixelIsa isa) {
    switch (isa) {
        case PixelIsa::Sse2:
            return "SSE2";
        case PixelIsa::Avx2:
            return "AVX2";
        default:
            return "scalar";
    }
}

// Draws `frames` frames of the figure (clear, draw, then the figure again
// over its own depth) with the reference and with each variant, and expects
// the same colour and depth bits from all.
void ExpectVariantsMatch(const FigureScene& scene, int width, int height, D3DFORMAT depthFormat,
                         const std::string& what) {
    auto render = [&](bool reference, PixelIsa isa, int threads) {
        Canvas canvas(width, height, depthFormat, 0xFF406080);
        Rasterizer r;
        r.SetReferencePixelPath(reference);
        EXPECT_TRUE(r.SetPixelIsa(isa));
        r.SetThreadCount(threads);
        DrawFigureFrame(r, scene, canvas);
        DrawFigure(r, scene, canvas);
        return canvas;
    };
    const Canvas expected = render(true, PixelIsa::Scalar, 1);
    EXPECT_GT(expected.CountNot(0x888888), 100) << what;
    for (PixelIsa isa : Variants()) {
        for (int threads : {1, 2}) {
            const Canvas got = render(false, isa, threads);
            EXPECT_EQ(expected.Color, got.Color) << what << ", " << Name(isa) << ", threads " << threads;
            EXPECT_EQ(expected.DepthBits, got.DepthBits)
                << what << ", " << Name(isa) << ", threads " << threads;
        }
    }
}

TEST(RasterSpanKernel, TheViewersDrawUsesTheWidestVariant) {
    const PixelIsa best = BestPixelIsa();
#if defined(__SSE2__)
    EXPECT_NE(best, PixelIsa::Scalar);
#endif
    for (TexelKind texels : {TexelKind::None, TexelKind::Linear1555, TexelKind::Fetched}) {
        EXPECT_NE(SpanKernelFor(PixelIsa::Scalar, texels), nullptr);
        EXPECT_NE(SpanKernelFor(best, texels), nullptr);
    }
    Rasterizer r;
    EXPECT_TRUE(r.SetPixelIsa(PixelIsa::Scalar));
    for (PixelIsa isa : {PixelIsa::Sse2, PixelIsa::Avx2})
        EXPECT_EQ(r.SetPixelIsa(isa), SpanKernelFor(isa, TexelKind::None) != nullptr);
}

TEST(RasterSpanKernel, FiguresMatchTheReferenceInEveryVariant) {
    // Poses put the texture's u seam (wrap addressing) in view and give spans
    // of every length, so groups are full, partial and single.
    for (const int yaw : {0, 333, 1024, 2048, 3500}) {
        const FigureScene scene = MakeFigureScene(200, 150, 30, 36, yaw);
        ExpectVariantsMatch(scene, 200, 150, D3DFMT_D16, "yaw " + std::to_string(yaw));
    }
}

TEST(RasterSpanKernel, AddressingAtTheEdgesMatchesTheReference) {
    // Texture coordinates beyond [0, 1] with each address mode; BORDER hands
    // its border pixels to the per-pixel routine.
    for (const DWORD mode : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR, D3DTADDRESS_MIRRORONCE,
                             D3DTADDRESS_BORDER}) {
        FigureScene scene = MakeFigureScene(160, 120, 20, 24, 700);
        for (MeshVertex& v : scene.Vertices) {
            v.U = v.U * 2.5f - 0.7f;
            v.V = v.V * 1.5f - 0.2f;
        }
        scene.State.SamplerStates[0][D3DSAMP_ADDRESSU] = mode;
        scene.State.SamplerStates[0][D3DSAMP_ADDRESSV] = mode;
        scene.State.SamplerStates[0][D3DSAMP_BORDERCOLOR] = 0x80FF2040;
        ExpectVariantsMatch(scene, 160, 120, D3DFMT_D16, "address mode " + std::to_string(mode));
    }
}

// With MAXMIPLEVEL naming the last level of a chain and one filter for
// magnification and minification, every pixel samples that one level: the
// kernels read it as the reference does, not level 0.
TEST(RasterSpanKernel, TheMostDetailedLevelUsedIsTheOneRead) {
    FigureScene scene = MakeFigureScene(160, 120, 24, 24, 300);
    TextureImage coarse(128, 256, D3DFMT_A1R5G5B5, 2);
    for (int y = 0; y < coarse.Height; ++y)
        for (int x = 0; x < coarse.Width; ++x)
            coarse.Set16(x, y, static_cast<uint16_t>(0x8000 | ((x + y) % 31)));
    Bind(scene.State, 0, {&scene.Texture, &coarse});
    for (const DWORD filter : {D3DTEXF_LINEAR, D3DTEXF_POINT}) {
        DWORD* ss = scene.State.SamplerStates[0];
        ss[D3DSAMP_MIPFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MAXMIPLEVEL] = 1;
        ss[D3DSAMP_MINFILTER] = ss[D3DSAMP_MAGFILTER] = filter;
        ExpectVariantsMatch(scene, 160, 120, D3DFMT_D16, filter == D3DTEXF_LINEAR ? "linear" : "point");
    }
    // Only the blue of level 1 (red and green 0) shows through the modulation.
    Canvas canvas(160, 120);
    Rasterizer r;
    DrawFigureFrame(r, scene, canvas);
    int blueOnly = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            blueOnly += canvas.Rgb(x, y) != 0x888888 && (canvas.Rgb(x, y) & 0xFF) > 0x88;
    EXPECT_GT(blueOnly, 100);
}

TEST(RasterSpanKernel, StateVariantsMatchTheReference) {
    struct Variant {
        const char* Name;
        bool Blend, DepthWrite, Specular, Flat;
        D3DFORMAT Texture, Depth;
        DWORD ZFunc;
        DWORD AlphaOp = D3DTOP_MODULATE, ColorOp = D3DTOP_MODULATE;
    };
    const Variant variants[] = {
        {"viewer", true, false, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL},
        {"depth written", true, true, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESS},
        {"opaque", false, true, false, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL},
        // Next to the viewer's two common states, each differing in one state
        // from the routines specialised for them.
        {"blended, depth written", true, true, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL},
        {"opaque, depth kept", false, false, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL},
        {"opaque, LESS", false, true, true, false, D3DFMT_X1R5G5B5, D3DFMT_D16, D3DCMP_LESS},
        {"opaque D15S1", false, true, true, false, D3DFMT_A1R5G5B5, D3DFMT_D15S1, D3DCMP_LESSEQUAL},
        {"flat", true, false, true, true, D3DFMT_X1R5G5B5, D3DFMT_D16, D3DCMP_ALWAYS},
        {"no depth", true, false, true, false, D3DFMT_A1R5G5B5, D3DFMT_UNKNOWN, D3DCMP_LESSEQUAL},
        // A 16-bit word whose depth field sits above a stencil bit: not the routine's D16.
        {"D15S1", true, true, false, false, D3DFMT_A1R5G5B5, D3DFMT_D15S1, D3DCMP_LESSEQUAL},
        {"D24S8", true, true, true, false, D3DFMT_A1R5G5B5, D3DFMT_D24S8, D3DCMP_NOTEQUAL},
        // The viewer's states but for one operation of the stage.
        {"texture alpha alone", true, false, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL,
         D3DTOP_SELECTARG1},
        {"diffuse colour alone", false, true, true, false, D3DFMT_A1R5G5B5, D3DFMT_D16, D3DCMP_LESSEQUAL,
         D3DTOP_MODULATE, D3DTOP_SELECTARG2},
    };
    for (const Variant& k : variants) {
        FigureScene scene = MakeFigureScene(160, 120, 24, 24, 900);
        scene.Texture.Format = k.Texture;
        Bind(scene.State, 0, {&scene.Texture});
        DWORD* rs = scene.State.RenderStates;
        rs[D3DRS_ALPHABLENDENABLE] = k.Blend;
        rs[D3DRS_ZWRITEENABLE] = k.DepthWrite;
        rs[D3DRS_SPECULARENABLE] = k.Specular;
        rs[D3DRS_SHADEMODE] = k.Flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
        rs[D3DRS_ZFUNC] = k.ZFunc;
        scene.State.StageStates[0][D3DTSS_ALPHAOP] = k.AlphaOp;
        scene.State.StageStates[0][D3DTSS_COLOROP] = k.ColorOp;
        scene.State.ActiveLights[0].Direction = {0.4f, -0.3f, -1};  // varied diffuse and specular
        scene.State.Material.Power = 6.0f;
        ExpectVariantsMatch(scene, 160, 120, k.Depth, k.Name);
    }
}

// Depth surfaces whose rows are exactly as wide as their pixels: the last
// word of the surface is read and written like any other, without touching
// memory after it (the sanitizer build watches the end of the buffer), and
// with the reference's bits.
TEST(RasterSpanKernel, DepthSurfacesWithoutPaddingAreReadToTheirLastWord) {
    constexpr int kW = 21, kH = 13;
    const std::vector<MeshVertex> quad{{-1, 1, 0.25f, 0, 0, -1, 0, 0}, {1, 1, 0.75f, 0, 0, -1, 1, 0},
                                       {1, -1, 0.5f, 0, 0, -1, 1, 1},  {-1, 1, 0.25f, 0, 0, -1, 0, 0},
                                       {1, -1, 0.5f, 0, 0, -1, 1, 1},  {-1, -1, 0.4f, 0, 0, -1, 0, 1}};
    for (const D3DFORMAT format : {D3DFMT_D16, D3DFMT_D24S8}) {
        const int bytes = format == D3DFMT_D16 ? 2 : 4;
        FigureScene scene = MakeFigureScene(kW, kH, 1, 1);
        PipelineState& s = scene.State;
        s.World = s.View = s.Projection = Identity();
        s.RenderStates[D3DRS_ZWRITEENABLE] = TRUE;
        std::vector<std::vector<uint8_t>> results;
        for (size_t path = 0; path <= Variants().size(); ++path) {
            Canvas canvas(kW, kH, D3DFMT_UNKNOWN);
            auto depth = std::make_unique<uint8_t[]>(static_cast<size_t>(kW) * kH * bytes);
            std::memset(depth.get(), 0xFF, static_cast<size_t>(kW) * kH * bytes);
            const Surface depthSurface{depth.get(), kW * bytes, kW, kH, format};
            RenderTargets targets = canvas.Targets();
            targets.Depth = &depthSurface;
            Rasterizer r;
            ASSERT_TRUE(SetPath(r, path));
            VertexStream stream{reinterpret_cast<const uint8_t*>(quad.data()), sizeof(MeshVertex),
                                static_cast<UINT>(quad.size()), kMeshFVF};
            DrawCall call;
            call.Indexed = false;
            call.PrimitiveCount = 2;
            for (int pass = 0; pass < 2; ++pass) r.Draw(s, stream, nullptr, call, targets);
            std::vector<uint8_t> result = canvas.Color;
            result.insert(result.end(), depth.get(), depth.get() + static_cast<size_t>(kW) * kH * bytes);
            results.push_back(std::move(result));
        }
        for (size_t path = 1; path < results.size(); ++path) EXPECT_EQ(results[0], results[path]) << path;
    }
}

TEST(RasterSpanKernel, TransparentTexelsLeaveTheTargetAlone) {
    // A texture whose alpha bits are all clear draws nothing under
    // SRCALPHA / INVSRCALPHA without depth writes: every pixel keeps its bytes,
    // including the X byte of the target. With depth writes on, depth is
    // still written where the test passes.
    FigureScene scene = MakeFigureScene(120, 90, 16, 16, 400);
    for (uint8_t& b : scene.Texture.Bits) b = static_cast<uint8_t>(b * 7 + 13);
    for (int y = 0; y < scene.Texture.Height; ++y)
        for (int x = 0; x < scene.Texture.Width; ++x)
            scene.Texture.Bits[static_cast<size_t>(y) * scene.Texture.Pitch + 2 * x + 1] &= 0x7F;
    for (PixelIsa isa : Variants()) {
        Canvas canvas(120, 90, D3DFMT_D16);
        Rasterizer r;
        ASSERT_TRUE(r.SetPixelIsa(isa));
        r.Clear(canvas.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                0x5A123456, 1.0f, 0);
        const std::vector<uint8_t> before = canvas.Color;
        const std::vector<uint8_t> depthBefore = canvas.DepthBits;
        DrawFigure(r, scene, canvas);
        EXPECT_TRUE(r.LastDrawUsedFastPath());
        EXPECT_EQ(before, canvas.Color) << Name(isa);
        EXPECT_EQ(depthBefore, canvas.DepthBits) << Name(isa);

        scene.State.RenderStates[D3DRS_ZWRITEENABLE] = TRUE;
        DrawFigure(r, scene, canvas);
        scene.State.RenderStates[D3DRS_ZWRITEENABLE] = FALSE;
        EXPECT_EQ(before, canvas.Color) << Name(isa);
        EXPECT_NE(depthBefore, canvas.DepthBits) << Name(isa);
    }
}

TEST(RasterSpanKernel, RandomTrianglesMatchTheReference) {
    // Many small and thin triangles with random colours, texture and target
    // contents: groups of every occupancy, hidden and transparent lanes.
    std::mt19937 rng(4711);
    auto unit = [&] { return static_cast<float>(rng() % 10000) / 10000.0f; };
    for (int round = 0; round < 12; ++round) {
        FigureScene scene = MakeFigureScene(96, 64, 1, 1);
        for (size_t i = 0; i + 1 < scene.Texture.Bits.size(); i += 2) {
            scene.Texture.Bits[i] = static_cast<uint8_t>(rng());
            scene.Texture.Bits[i + 1] = static_cast<uint8_t>(rng() % 3 == 0 ? rng() & 0x7F : rng());
        }
        PipelineState& s = scene.State;
        s.World = s.View = s.Projection = Identity();
        s.RenderStates[D3DRS_ZWRITEENABLE] = round % 3 == 0;
        s.RenderStates[D3DRS_ZFUNC] = round % 2 ? D3DCMP_LESS : D3DCMP_LESSEQUAL;
        std::vector<MeshVertex> triangles;
        for (int i = 0; i < 300; ++i) {
            const float cx = unit() * 2.2f - 1.1f, cy = unit() * 2.2f - 1.1f, size = unit() * unit() * 0.4f;
            for (int k = 0; k < 3; ++k) {
                triangles.push_back({cx + (unit() - 0.5f) * size, cy + (unit() - 0.5f) * size * 3, unit(),
                                     unit() - 0.5f, unit() - 0.5f, -1, unit() * 1.2f - 0.1f,
                                     unit() * 1.2f - 0.1f});
            }
        }
        std::vector<uint32_t> background(96 * 64);
        for (uint32_t& p : background) p = static_cast<uint32_t>(rng());
        std::vector<Canvas> got;
        for (size_t path = 0; path <= Variants().size(); ++path) {
            Canvas canvas(96, 64, D3DFMT_D16);
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 96; ++x) canvas.Set(x, y, background[static_cast<size_t>(y) * 96 + x]);
            Rasterizer r;
            r.SetThreadCount(1);
            if (path == 0) {
                r.SetReferencePixelPath(true);
            } else {
                ASSERT_TRUE(r.SetPixelIsa(Variants()[path - 1]));
            }
            r.Clear(canvas.Targets(), s.Viewport, 0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.7f, 0);
            DrawList(r, s, canvas, triangles, kMeshFVF);
            got.push_back(std::move(canvas));
        }
        for (size_t i = 1; i < got.size(); ++i) {
            ASSERT_EQ(got[0].Color, got[i].Color) << "round " << round << ", " << Name(Variants()[i - 1]);
            ASSERT_EQ(got[0].DepthBits, got[i].DepthBits)
                << "round " << round << ", " << Name(Variants()[i - 1]);
        }
    }
}

// Depth told to hold a clear's value all over: compared with that value in
// every variant, for every comparison, depth format and value (those every
// depth passes or none passes included, and values Clear clamps), the bits
// are the reference's, which reads the buffer. A draw that writes depth
// reads it back whatever it is told.
TEST(RasterSpanKernel, DepthAsClearedMatchesTheReference) {
    const DWORD funcs[] = {D3DCMP_NEVER,   D3DCMP_LESS,     D3DCMP_EQUAL,        D3DCMP_LESSEQUAL,
                           D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
    FigureScene scene = MakeFigureScene(64, 48, 12, 12, 600);
    PipelineState& s = scene.State;
    // Depths across the whole range, some beyond it (clamped by quantising).
    s.Projection._33 = 1.6f;
    s.Projection._43 = -170.0f;
    // And a square at the clear's own depth, where EQUAL passes and NOTEQUAL fails.
    PipelineState flat = s;
    flat.World = flat.View = flat.Projection = Identity();
    for (const D3DFORMAT format : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32}) {
        for (const float z : {0.0f, 0.55f, 1.0f, 1.5f, -0.25f}) {
            for (const DWORD func : funcs) {
                for (const BOOL write : {FALSE, TRUE}) {
                    s.RenderStates[D3DRS_ZFUNC] = flat.RenderStates[D3DRS_ZFUNC] = func;
                    s.RenderStates[D3DRS_ZWRITEENABLE] = flat.RenderStates[D3DRS_ZWRITEENABLE] = write;
                    const std::vector<MeshVertex> square{
                        {-0.5f, 0.5f, z, 0, 0, -1, 0, 0},  {0.5f, 0.5f, z, 0, 0, -1, 1, 0},
                        {-0.5f, -0.5f, z, 0, 0, -1, 0, 1}, {0.5f, 0.5f, z, 0, 0, -1, 1, 0},
                        {0.5f, -0.5f, z, 0, 0, -1, 1, 1},  {-0.5f, -0.5f, z, 0, 0, -1, 0, 1}};
                    std::vector<Canvas> got;
                    for (size_t path = 0; path <= Variants().size(); ++path) {
                        Canvas canvas(64, 48, format, 0xFF406080);
                        Rasterizer r;
                        ASSERT_TRUE(SetPath(r, path));
                        r.Clear(canvas.Targets(), s.Viewport, 0, nullptr, D3DCLEAR_ZBUFFER, 0, z, 0);
                        Surface depth = canvas.DepthSurface;
                        depth.DepthUniform = true;
                        depth.ClearedDepth = z;
                        RenderTargets targets = canvas.Targets();
                        targets.Depth = &depth;
                        DrawFigure(r, scene, targets);
                        VertexStream stream{reinterpret_cast<const uint8_t*>(square.data()),
                                            sizeof(MeshVertex), static_cast<UINT>(square.size()), kMeshFVF};
                        DrawCall call;
                        call.Indexed = false;
                        call.PrimitiveCount = 2;
                        r.Draw(flat, stream, nullptr, call, targets);
                        got.push_back(std::move(canvas));
                    }
                    for (size_t i = 1; i < got.size(); ++i) {
                        ASSERT_EQ(got[0].Color, got[i].Color)
                            << format << ", z " << z << ", func " << func << ", write " << write << ", "
                            << Name(Variants()[i - 1]);
                        ASSERT_EQ(got[0].DepthBits, got[i].DepthBits);
                    }
                    if (func == D3DCMP_ALWAYS) EXPECT_GT(got[0].CountNot(0x406080), 500);
                }
            }
        }
    }
}

TEST(RasterSpanKernel, AbsurdTextureCoordinatesStayInsideTheTexture) {
    // Huge, infinite and NaN texture coordinates clamp to extreme texel
    // positions; every variant addresses them as the reference does and reads
    // nothing outside the texture.
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (const DWORD mode : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR}) {
        FigureScene scene = MakeFigureScene(80, 60, 1, 1);
        PipelineState& s = scene.State;
        s.World = s.View = s.Projection = Identity();
        s.SamplerStates[0][D3DSAMP_ADDRESSU] = s.SamplerStates[0][D3DSAMP_ADDRESSV] = mode;
        const std::vector<MeshVertex> triangles{
            {-1, 1, 0.5f, 0, 0, -1, 1e30f, -1e30f}, {1, 1, 0.5f, 0, 0, -1, -3e9f, 7e8f},
            {-1, -1, 0.5f, 0, 0, -1, inf, 2},       {1, 1, 0.5f, 0, 0, -1, nan, -inf},
            {1, -1, 0.5f, 0, 0, -1, 0.5f, nan},     {-1, -1, 0.5f, 0, 0, -1, -inf, 1e-30f}};
        std::vector<Canvas> got;
        for (size_t path = 0; path <= Variants().size(); ++path) {
            Canvas canvas(80, 60, D3DFMT_D16, 0xFF102030);
            Rasterizer r;
            ASSERT_TRUE(SetPath(r, path));
            DrawList(r, s, canvas, triangles, kMeshFVF);
            got.push_back(std::move(canvas));
        }
        for (size_t i = 1; i < got.size(); ++i)
            EXPECT_EQ(got[0].Color, got[i].Color) << "mode " << mode << ", " << Name(Variants()[i - 1]);
    }
}

}  // namespace
}  // namespace wbx::testing
