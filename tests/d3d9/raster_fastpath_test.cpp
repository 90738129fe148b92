// The specialised span routines against the plain per-pixel reference:
// random scenes over many state combinations must give identical bits.

#include <gtest/gtest.h>

#include <random>

#include "figurescene.h"
#include "pixelprocessor.h"
#include "rasterfixture.h"
#include "spankernel.h"

namespace wbx::testing {
namespace {

constexpr int kSize = 48;

struct Scene {
    PipelineState State;
    std::vector<MeshVertex> Vertices;
    std::vector<uint16_t> Indices;
    D3DFORMAT DepthFormat;
};

D3DMATRIX Perspective() {
    D3DMATRIX p{};
    const float q = 100.0f / (100.0f - 0.5f);
    p._11 = 1.5f;
    p._22 = 1.5f;
    p._33 = q;
    p._34 = 1;
    p._43 = -q * 0.5f;
    return p;
}

TextureImage MakeTexture(std::mt19937& rng, D3DFORMAT format) {
    const int bytes =
        (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) ? 4 : (format == D3DFMT_L8 ? 1 : 2);
    const int w = 1 << (rng() % 4 + 2), h = 1 << (rng() % 4 + 2);
    TextureImage t(w + (rng() % 2 ? 0 : 3), h, format, bytes);  // sometimes not a power of two
    for (auto& b : t.Bits) b = static_cast<uint8_t>(rng());
    // Make some texels fully transparent in the 1-bit alpha format.
    if (format == D3DFMT_A1R5G5B5) {
        for (int y = 0; y < t.Height; ++y)
            for (int x = 0; x < t.Width; x += 3) t.Bits[static_cast<size_t>(y) * t.Pitch + 2 * x + 1] &= 0x7F;
    }
    return t;
}

Scene MakeScene(std::mt19937& rng, TextureImage* texture, int width = kSize, int height = kSize,
                int vertexCount = 36) {
    auto pick = [&](std::initializer_list<DWORD> values) {
        return *(values.begin() + rng() % values.size());
    };
    auto unit = [&]() { return static_cast<float>(rng() % 10000) / 10000.0f; };
    Scene scene;
    scene.DepthFormat =
        static_cast<D3DFORMAT>(pick({D3DFMT_UNKNOWN, D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32, D3DFMT_D15S1}));
    PipelineState& s = scene.State;
    s = DefaultState(width, height, scene.DepthFormat != D3DFMT_UNKNOWN);
    DWORD* rs = s.RenderStates;
    s.Projection = Perspective();
    s.World._43 = 3.0f;
    rs[D3DRS_CULLMODE] = pick({D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW});
    rs[D3DRS_SHADEMODE] = pick({D3DSHADE_GOURAUD, D3DSHADE_GOURAUD, D3DSHADE_FLAT});
    rs[D3DRS_SPECULARENABLE] = rng() % 2;
    rs[D3DRS_ZFUNC] = pick({D3DCMP_LESSEQUAL, D3DCMP_LESS, D3DCMP_GREATER, D3DCMP_ALWAYS, D3DCMP_NOTEQUAL});
    rs[D3DRS_ZWRITEENABLE] = rng() % 2;
    rs[D3DRS_ALPHATESTENABLE] = rng() % 3 == 0;
    rs[D3DRS_ALPHAFUNC] = pick({D3DCMP_GREATER, D3DCMP_LESS, D3DCMP_GREATEREQUAL, D3DCMP_EQUAL});
    rs[D3DRS_ALPHAREF] = rng() % 256;
    rs[D3DRS_ALPHABLENDENABLE] = rng() % 4 != 0;
    rs[D3DRS_SRCBLEND] = pick({D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA, D3DBLEND_ZERO, D3DBLEND_ONE,
                               D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTALPHA});
    rs[D3DRS_DESTBLEND] = pick({D3DBLEND_INVSRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, D3DBLEND_SRCCOLOR,
                                D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO});
    rs[D3DRS_BLENDOP] = pick({D3DBLENDOP_ADD, D3DBLENDOP_ADD, D3DBLENDOP_SUBTRACT, D3DBLENDOP_MAX});
    rs[D3DRS_AMBIENT] = rng() & 0xFFFFFF;
    DWORD* ts = s.StageStates[0];
    ts[D3DTSS_COLOROP] = pick({D3DTOP_MODULATE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, D3DTOP_ADD});
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = pick({D3DTA_DIFFUSE, D3DTA_CURRENT});
    ts[D3DTSS_ALPHAOP] = pick({D3DTOP_MODULATE, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2});
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
    if (texture != nullptr) {
        Bind(s, 0, {texture});
        DWORD* ss = s.SamplerStates[0];
        ss[D3DSAMP_MAGFILTER] = ss[D3DSAMP_MINFILTER] = pick({D3DTEXF_POINT, D3DTEXF_LINEAR});
        ss[D3DSAMP_ADDRESSU] =
            pick({D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR, D3DTADDRESS_BORDER});
        ss[D3DSAMP_ADDRESSV] =
            pick({D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR, D3DTADDRESS_BORDER});
        ss[D3DSAMP_BORDERCOLOR] = rng();
    }
    s.Material.Diffuse = {unit(), unit(), unit(), unit()};
    s.Material.Ambient = {unit(), unit(), unit(), 1};
    s.Material.Specular = {unit(), unit(), unit(), 1};
    s.Material.Emissive = {unit() * 0.3f, unit() * 0.3f, unit() * 0.3f, 1};
    s.Material.Power = static_cast<float>(rng() % 3) * 4.0f;
    D3DLIGHT9& light = s.ActiveLights[s.ActiveLightCount++];
    light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    light.Specular = {1, 1, 1, 0};
    light.Direction = {unit() - 0.5f, unit() - 0.5f, 1};
    for (int i = 0; i < vertexCount; ++i) {
        // Triangles around the view, some crossing the near plane.
        scene.Vertices.push_back({(unit() - 0.5f) * 6, (unit() - 0.5f) * 6, (unit() - 0.7f) * 6,
                                  unit() - 0.5f, unit() - 0.5f, -1, (unit() - 0.25f) * 3,
                                  (unit() - 0.25f) * 3});
        scene.Indices.push_back(static_cast<uint16_t>(i));
    }
    return scene;
}

TEST(RasterFastPath, MatchesTheReferenceBitForBit) {
    std::mt19937 rng(20260107);
    const D3DFORMAT formats[] = {D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4,
                                 D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_L8,     D3DFMT_A8L8};
    int fastDraws = 0;
    for (int sceneIndex = 0; sceneIndex < 300; ++sceneIndex) {
        const bool textured = sceneIndex % 5 != 0;
        TextureImage texture = MakeTexture(rng, formats[rng() % 8]);
        const Scene scene = MakeScene(rng, textured ? &texture : nullptr);
        // The reference, then the fast path with each instruction set of its
        // span kernels that this processor runs.
        std::vector<PixelIsa> variants{PixelIsa::Scalar};
        for (PixelIsa isa : {PixelIsa::Sse2, PixelIsa::Avx2})
            if (SpanKernelFor(isa, TexelKind::None) != nullptr) variants.push_back(isa);
        std::vector<Canvas> canvases;  // built in place: a Canvas's surfaces point into its own memory
        canvases.reserve(variants.size() + 1);
        for (size_t i = 0; i <= variants.size(); ++i)
            canvases.emplace_back(kSize, kSize, scene.DepthFormat, 0xFF406080);
        for (size_t path = 0; path < canvases.size(); ++path) {
            Rasterizer r;
            r.SetReferencePixelPath(path == 0);
            if (path > 0) r.SetPixelIsa(variants[path - 1]);
            Canvas& c = canvases[path];
            if (c.HasDepth) {
                r.Clear(c.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0,
                        0.6f, 7);
            }
            DrawIndexed(r, scene.State, c, scene.Vertices, kMeshFVF, scene.Indices);
            if (path == 1) fastDraws += r.LastDrawUsedFastPath();
            // A second pass over the first exercises the depth test against written depth.
            DrawIndexed(r, scene.State, c, scene.Vertices, kMeshFVF, scene.Indices);
        }
        for (size_t path = 1; path < canvases.size(); ++path) {
            ASSERT_EQ(canvases[0].Color, canvases[path].Color)
                << "colour differs in scene " << sceneIndex << ", variant " << path - 1;
            ASSERT_EQ(canvases[0].DepthBits, canvases[path].DepthBits)
                << "depth differs in scene " << sceneIndex << ", variant " << path - 1;
        }
    }
    // Most of these combinations are ones the fast path covers.
    EXPECT_GT(fastDraws, 150);
}

TEST(RasterFastPath, TheViewersStatesUseIt) {
    TextureImage texture(256, 512, D3DFMT_A1R5G5B5, 2);
    PipelineState s = DefaultState(kSize, kSize);
    Bind(s, 0, {&texture});
    s.SamplerStates[0][D3DSAMP_MINFILTER] = s.SamplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    s.RenderStates[D3DRS_SPECULARENABLE] = TRUE;
    s.RenderStates[D3DRS_ALPHABLENDENABLE] = TRUE;
    s.RenderStates[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    s.RenderStates[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
    s.RenderStates[D3DRS_ZWRITEENABLE] = FALSE;
    s.StageStates[0][D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    s.StageStates[0][D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
    s.StageStates[0][D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
    Rasterizer r;
    Canvas c(kSize, kSize);
    const std::vector<MeshVertex> v{
        {-1, 1, 0.5f, 0, 0, -1, 0, 0}, {1, 1, 0.5f, 0, 0, -1, 1, 0}, {-1, -1, 0.5f, 0, 0, -1, 0, 1}};
    DrawList(r, s, c, v, kMeshFVF);
    EXPECT_TRUE(r.LastDrawUsedFastPath());
}

// The viewer's draw into an A8R8G8B8 target cleared to alpha 0, whose
// blended alpha says how much of each pixel the figure covers: the same
// specialised routines as for X8R8G8B8, and the reference's bits in every
// channel (alpha blended with the colour's factors) in every variant, with
// one thread and two, depth still as cleared or not.
TEST(RasterFastPath, AlphaTargetsTakeTheViewersRoutinesWithTheReferencesAlpha) {
    constexpr int kW = 160, kH = 120;
    for (const int yaw : {0, 900, 2600}) {
        const FigureScene scene = MakeFigureScene(kW, kH, 30, 36, yaw);
        for (const bool uniform : {true, false}) {
            auto render = [&](bool reference, PixelIsa isa, int threads, D3DFORMAT format,
                              SpanProfile* profile) {
                Canvas canvas(kW, kH, D3DFMT_D16, 0, format);
                Rasterizer r;
                r.SetReferencePixelPath(reference);
                EXPECT_TRUE(r.SetPixelIsa(isa));
                r.SetThreadCount(threads);
                r.Clear(canvas.Targets(), scene.State.Viewport, 0, nullptr,
                        D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
                Surface depth = canvas.DepthSurface;
                depth.DepthUniform = uniform;
                depth.ClearedDepth = 1.0f;
                RenderTargets targets = canvas.Targets();
                targets.Depth = &depth;
                DrawFigure(r, scene, targets);
                EXPECT_EQ(r.LastDrawUsedFastPath(), !reference);
                if (profile != nullptr)
                    *profile = PixelProcessor(scene.State, targets, reference, isa).Profile();
                return canvas;
            };
            SpanProfile opaqueBlack = SpanProfile::Any, alpha = SpanProfile::Any;
            render(false, BestPixelIsa(), 1, D3DFMT_X8R8G8B8, &opaqueBlack);
            const Canvas expected = render(true, PixelIsa::Scalar, 1, D3DFMT_A8R8G8B8, nullptr);
            render(false, BestPixelIsa(), 1, D3DFMT_A8R8G8B8, &alpha);
            EXPECT_EQ(alpha, opaqueBlack);
            EXPECT_EQ(alpha, uniform ? SpanProfile::Blended : SpanProfile::Blended16);
            // Alpha 0 where nothing is drawn or only see-through texels are,
            // partial and full coverage elsewhere.
            int covered = 0, partly = 0;
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    const uint32_t a = expected.At(x, y) >> 24;
                    covered += a == 255;
                    partly += a > 0 && a < 255;
                }
            }
            EXPECT_GT(covered, 1000) << "yaw " << yaw;
            EXPECT_GT(partly, 0) << "yaw " << yaw;
            std::vector<PixelIsa> variants{PixelIsa::Scalar};
            for (PixelIsa isa : {PixelIsa::Sse2, PixelIsa::Avx2})
                if (SpanKernelFor(isa, TexelKind::None) != nullptr) variants.push_back(isa);
            for (const PixelIsa isa : variants) {
                for (const int threads : {1, 2}) {
                    const Canvas got = render(false, isa, threads, D3DFMT_A8R8G8B8, nullptr);
                    ASSERT_EQ(expected.Color, got.Color)
                        << "yaw " << yaw << ", isa " << static_cast<int>(isa) << ", threads " << threads
                        << ", uniform " << uniform;
                }
            }
        }
    }
}

TEST(RasterFastPath, TwoThreadsGiveTheSameBitsAsOne) {
    for (const int yaw : {0, 700, 2048}) {
        const FigureScene scene = MakeFigureScene(320, 240, 40, 40, yaw);
        for (const bool reference : {false, true}) {
            Canvas one(320, 240), two(320, 240);
            Rasterizer single, pair;
            single.SetThreadCount(1);
            pair.SetThreadCount(2);
            single.SetReferencePixelPath(reference);
            pair.SetReferencePixelPath(reference);
            for (int frame = 0; frame < 2; ++frame) {
                DrawFigureFrame(single, scene, one);
                DrawFigureFrame(pair, scene, two);
            }
            ASSERT_EQ(one.Color, two.Color) << "yaw " << yaw;
            ASSERT_EQ(one.DepthBits, two.DepthBits) << "yaw " << yaw;
            EXPECT_GT(one.CountNot(0x888888), 5000);
        }
    }
}

// Indexed triangle lists, 16- and 32-bit, with a start index and a base
// vertex, and with an index naming no vertex: the same bits as the list's
// vertices written out one by one and drawn without indices (a triangle
// with a missing vertex dropped), with one thread and with two.
TEST(RasterFastPath, IndexedListsDrawWhatTheirVerticesDraw) {
    const FigureScene scene = MakeFigureScene(160, 120, 24, 24, 300);
    constexpr int kPadVertices = 5, kPadIndices = 7;
    // The scene's vertices after kPadVertices others; indices after kPadIndices others.
    std::vector<MeshVertex> vertices(kPadVertices, scene.Vertices[0]);
    vertices.insert(vertices.end(), scene.Vertices.begin(), scene.Vertices.end());
    for (const bool missing : {false, true}) {
        std::vector<uint32_t> indices(scene.Indices.begin(), scene.Indices.end());
        const size_t dropped = indices.size() / 3 / 2;  // a triangle in the middle
        if (missing) indices[3 * dropped + 1] = static_cast<uint32_t>(vertices.size() + 40);
        std::vector<MeshVertex> written;
        for (size_t t = 0; t < indices.size() / 3; ++t) {
            if (missing && t == dropped) continue;
            for (int k = 0; k < 3; ++k) written.push_back(scene.Vertices[indices[3 * t + k]]);
        }
        for (const int threads : {1, 2}) {
            Rasterizer r;
            r.SetThreadCount(threads);
            Canvas expected(160, 120);
            r.Clear(expected.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                    0xFF888888, 1.0f, 0);
            VertexStream plain{reinterpret_cast<const uint8_t*>(written.data()), sizeof(MeshVertex),
                               static_cast<UINT>(written.size()), kMeshFVF};
            DrawCall listCall;
            listCall.Indexed = false;
            listCall.PrimitiveCount = static_cast<UINT>(written.size() / 3);
            r.Draw(scene.State, plain, nullptr, listCall, expected.Targets());
            EXPECT_GT(expected.CountNot(0x888888), 2000);

            VertexStream stream{reinterpret_cast<const uint8_t*>(vertices.data()), sizeof(MeshVertex),
                                static_cast<UINT>(vertices.size()), kMeshFVF};
            for (const bool wide : {false, true}) {
                // Indices written relative to vertex kPadVertices (the base vertex).
                std::vector<uint8_t> bytes(kPadIndices * (wide ? 4 : 2), 0xEE);
                for (const uint32_t index : indices) {
                    const uint8_t* p = reinterpret_cast<const uint8_t*>(&index);
                    bytes.insert(bytes.end(), p, p + (wide ? 4 : 2));
                }
                const IndexStream indexStream{bytes.data(), wide,
                                              static_cast<UINT>(bytes.size() / (wide ? 4 : 2))};
                DrawCall call;
                call.StartIndex = kPadIndices;
                call.BaseVertexIndex = kPadVertices;
                call.PrimitiveCount = static_cast<UINT>(indices.size() / 3);
                Canvas got(160, 120);
                r.Clear(got.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                        0xFF888888, 1.0f, 0);
                r.Draw(scene.State, stream, &indexStream, call, got.Targets());
                ASSERT_EQ(expected.Color, got.Color) << "32-bit " << wide << " missing " << missing;
                ASSERT_EQ(expected.DepthBits, got.DepthBits) << "32-bit " << wide << " missing " << missing;
            }
        }
    }
}

// Random scenes of many triangles over several screen tiles: two threads
// (tiles drawn in submission order) give the bits of one, on the reference
// path and with every kernel variant.
TEST(RasterFastPath, TwoThreadsMatchOneOnRandomScenes) {
    std::mt19937 rng(20261207);
    const D3DFORMAT formats[] = {D3DFMT_A1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, D3DFMT_L8};
    constexpr int kWidth = 160, kHeight = 120;
    for (int sceneIndex = 0; sceneIndex < 24; ++sceneIndex) {
        TextureImage texture = MakeTexture(rng, formats[rng() % 4]);
        const Scene scene = MakeScene(rng, sceneIndex % 4 != 0 ? &texture : nullptr, kWidth, kHeight, 900);
        std::vector<PixelIsa> variants{PixelIsa::Scalar};
        for (PixelIsa isa : {PixelIsa::Sse2, PixelIsa::Avx2})
            if (SpanKernelFor(isa, TexelKind::None) != nullptr) variants.push_back(isa);
        auto render = [&](bool reference, PixelIsa isa, int threads) {
            Canvas c(kWidth, kHeight, scene.DepthFormat, 0xFF406080);
            Rasterizer r;
            r.SetReferencePixelPath(reference);
            r.SetPixelIsa(isa);
            r.SetThreadCount(threads);
            if (c.HasDepth) {
                r.Clear(c.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0,
                        0.6f, 7);
            }
            DrawIndexed(r, scene.State, c, scene.Vertices, kMeshFVF, scene.Indices);
            DrawIndexed(r, scene.State, c, scene.Vertices, kMeshFVF, scene.Indices, D3DPT_TRIANGLESTRIP, 500);
            return c;
        };
        const Canvas expected = render(true, PixelIsa::Scalar, 1);
        for (const bool reference : {true, false}) {
            for (const PixelIsa isa : variants) {
                if (reference && isa != PixelIsa::Scalar) continue;
                const Canvas got = render(reference, isa, 2);
                ASSERT_EQ(expected.Color, got.Color) << "scene " << sceneIndex << " reference " << reference;
                ASSERT_EQ(expected.DepthBits, got.DepthBits) << "scene " << sceneIndex;
            }
        }
    }
}

// A clear shared by two threads: the same bits as one, rectangles and
// depth-stencil fields included.
TEST(RasterFastPath, TwoThreadClearsMatchOne) {
    const D3DRECT rects[] = {{-20, 30, 700, 31}, {100, 100, 340, 733}, {5, 5, 6, 6}};
    for (const D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D15S1}) {
        Canvas one(1280, 720, depth, 0x12345678), two(1280, 720, depth, 0x12345678);
        Rasterizer single, pair;
        single.SetThreadCount(1);
        pair.SetThreadCount(2);
        const D3DVIEWPORT9 viewport{3, 7, 1200, 700, 0, 1};
        for (Rasterizer* r : {&single, &pair}) {
            Canvas& c = r == &single ? one : two;
            r->Clear(c.Targets(), viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 0.25f,
                     0);
            r->Clear(c.Targets(), viewport, 3, rects, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF0000FF, 0.5f,
                     1);
        }
        ASSERT_EQ(one.Color, two.Color);
        ASSERT_EQ(one.DepthBits, two.DepthBits);
        EXPECT_EQ(two.Rgb(3, 7), 0x00FF00u);
        EXPECT_EQ(two.Rgb(150, 400), 0x0000FFu);
        EXPECT_EQ(two.Rgb(1250, 710), 0x345678u);
    }
}

TEST(RasterFastPath, ViewerFiguresMatchTheReference) {
    // The viewer's draws at several poses and in variants of its states: the
    // span kernels cover them.
    struct Variant {
        bool Blend, DepthWrite, Specular, Flat;
        D3DFORMAT Texture;
    };
    for (const Variant& k : {Variant{true, false, true, false, D3DFMT_A1R5G5B5},
                             Variant{false, true, true, false, D3DFMT_A1R5G5B5},
                             Variant{true, true, false, true, D3DFMT_X1R5G5B5}}) {
        for (const int yaw : {0, 700, 2048}) {
            FigureScene scene = MakeFigureScene(160, 120, 30, 30, yaw);
            scene.Texture.Format = k.Texture;
            Bind(scene.State, 0, {&scene.Texture});
            DWORD* rs = scene.State.RenderStates;
            rs[D3DRS_ALPHABLENDENABLE] = k.Blend;
            rs[D3DRS_ZWRITEENABLE] = k.DepthWrite;
            rs[D3DRS_SPECULARENABLE] = k.Specular;
            rs[D3DRS_SHADEMODE] = k.Flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
            Canvas canvases[2] = {Canvas(160, 120), Canvas(160, 120)};
            for (int path = 0; path < 2; ++path) {
                Rasterizer r;
                r.SetReferencePixelPath(path == 1);
                DrawFigureFrame(r, scene, canvases[path]);
                DrawFigure(r, scene, canvases[path]);  // again, over its own depth
            }
            ASSERT_EQ(canvases[0].Color, canvases[1].Color) << "yaw " << yaw << " blend " << k.Blend;
            ASSERT_EQ(canvases[0].DepthBits, canvases[1].DepthBits) << "yaw " << yaw << " blend " << k.Blend;
        }
    }
}

}  // namespace
}  // namespace wbx::testing
