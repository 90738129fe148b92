// Triangle set-up several triangles at a time gives what one at a time
// gives: every field of every set-up, and which triangles are kept, over
// random triangles of every kind (degenerate, culled, off-screen, huge,
// slivers, beyond any screen) in batches full and part-full; and drawing
// through the batches keeps the triangles in submission order, around
// clipped triangles and with two threads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "rasterfixture.h"
#include "setupbatch.h"

namespace wbx::raster {
namespace {

// The same bits, except that any NaN equals any other (see the plane set-up's test).
bool SameBits(float a, float b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectSameSetup(const TriangleSetup& want, const TriangleSetup& got, int trial, int lane) {
    SCOPED_TRACE(::testing::Message() << "trial " << trial << ", triangle " << lane);
    EXPECT_EQ(want.MinX, got.MinX);
    EXPECT_EQ(want.MinY, got.MinY);
    EXPECT_EQ(want.MaxX, got.MaxX);
    EXPECT_EQ(want.MaxY, got.MaxY);
    EXPECT_EQ(want.OriginX, got.OriginX);
    EXPECT_EQ(want.OriginY, got.OriginY);
    for (int e = 0; e < 3; ++e) {
        EXPECT_EQ(want.EdgeOrigin[e], got.EdgeOrigin[e]) << "edge " << e;
        EXPECT_EQ(want.EdgeStepX[e], got.EdgeStepX[e]) << "edge " << e;
        EXPECT_EQ(want.EdgeStepY[e], got.EdgeStepY[e]) << "edge " << e;
    }
    for (int slot = 0; slot < kPlaneCount; ++slot) {
        EXPECT_TRUE(SameBits(want.PlaneOrigin[slot], got.PlaneOrigin[slot])) << "slot " << slot;
        EXPECT_TRUE(SameBits(want.PlaneDx[slot], got.PlaneDx[slot])) << "slot " << slot;
        EXPECT_TRUE(SameBits(want.PlaneDy[slot], got.PlaneDy[slot])) << "slot " << slot;
    }
    ASSERT_EQ(want.FlatColors, got.FlatColors);
    if (want.FlatColors) {
        EXPECT_EQ(std::memcmp(want.Flat, got.Flat, sizeof want.Flat), 0);
    }
}

// Random screen triangles of the kinds a draw can bring, by `kind`.
class TriangleMaker {
public:
    explicit TriangleMaker(uint32_t seed) : rng_(seed) {}

    float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }
    uint32_t Next() { return rng_(); }

    ScreenVertex Vertex(float x, float y) {
        ScreenVertex v{};
        v.X = x;
        v.Y = y;
        v.Z = Uniform(0, 1);
        v.Rhw = std::pow(10.0f, Uniform(-3, 1));
        for (float& a : v.Attr) a = Uniform(-2, 2);
        SnapScreenVertex(v);
        return v;
    }

    void Triangle(ScreenVertex out[3]) {
        const float cx = Uniform(-100, 740), cy = Uniform(-100, 580);
        auto near = [&](float reach) {
            return Vertex(cx + Uniform(-reach, reach), cy + Uniform(-reach, reach));
        };
        switch (rng_() % 9) {
            case 0:  // tiny, as most of a figure's
            case 1:
                for (int k = 0; k < 3; ++k) out[k] = near(4);
                break;
            case 2:  // mid-sized
                for (int k = 0; k < 3; ++k) out[k] = near(120);
                break;
            case 3: {  // degenerate: a repeated vertex, or three on a line
                out[0] = near(50);
                out[1] = near(50);
                const float t = Uniform(-1, 2);
                out[2] = rng_() % 2 ? out[0]
                                    : Vertex(out[0].X + t * (out[1].X - out[0].X),
                                             out[0].Y + t * (out[1].Y - out[0].Y));
                break;
            }
            case 4:  // sliver: long and thinner than a pixel
                out[0] = near(300);
                out[1] = near(300);
                out[2] = Vertex((out[0].X + out[1].X) / 2 + Uniform(-0.3f, 0.3f),
                                (out[0].Y + out[1].Y) / 2 + Uniform(-0.3f, 0.3f));
                break;
            case 5:  // huge, reaching the limits of the fixed-point range
                for (int k = 0; k < 3; ++k)
                    out[k] = Vertex(Uniform(-1.0e6f, 1.0e6f), Uniform(-1.0e6f, 1.0e6f));
                break;
            case 6:  // off-screen, between pixel centres or far away
                for (int k = 0; k < 3; ++k) out[k] = Vertex(Uniform(2000, 2000.9f), Uniform(-0.9f, 3000));
                break;
            case 7: {  // a vertex beyond any screen, infinite or NaN: never drawn
                const float odd[] = {3.0e12f, -2.0e7f, std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN()};
                for (int k = 0; k < 3; ++k) out[k] = near(10);
                out[rng_() % 3] = Vertex(odd[rng_() % 4], cy);
                break;
            }
            default:  // on exact pixel centres and half-way, where the fill rule decides
                for (int k = 0; k < 3; ++k)
                    out[k] = Vertex(std::floor(cx) + 0.5f * static_cast<float>(rng_() % 9),
                                    std::floor(cy) + 0.5f * static_cast<float>(rng_() % 9));
                break;
        }
    }

private:
    std::mt19937 rng_;
};

TEST(RasterSetupBatch, EveryVariantSetsUpWhatOneAtATimeDoes) {
    const PixelIsa isas[] = {PixelIsa::Scalar, PixelIsa::Sse2, PixelIsa::Avx2};
    const DWORD culls[] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
    // The screen, an inner viewport, and one beyond what lanes multiply in 32 bits.
    const PixelRect scissors[] = {{0, 0, 640, 480}, {37, 20, 301, 200}, {-2000000, -5, 3000000, 2100000}};
    int variants = 0;
    for (const PixelIsa isa : isas) {
        const BatchSetupVariant variant = BatchSetupFor(isa);
        if (variant.Run == nullptr) continue;
        ++variants;
        ASSERT_GE(variant.Width, 1);
        ASSERT_LE(variant.Width, kMaxSetupBatch);
        TriangleMaker maker(7);
        int kept = 0, dropped = 0;
        for (int trial = 0; trial < 6000; ++trial) {
            const DWORD cull = culls[trial % 3];
            const PixelRect& scissor = scissors[(trial / 3) % 3];
            // Part-full batches as well as full ones.
            const int count = 1 + static_cast<int>(maker.Next() % static_cast<uint32_t>(variant.Width));
            ScreenVertex vertices[kMaxSetupBatch][3];
            SetupBatch batch;
            batch.Count = count;
            for (int i = 0; i < count; ++i) {
                maker.Triangle(vertices[i]);
                for (int k = 0; k < 3; ++k) batch.V[i][k] = &vertices[i][k];
                batch.Flat[i] = maker.Next() % 4 == 0 ? &vertices[i][maker.Next() % 3] : nullptr;
            }
            TriangleSetup got[kMaxSetupBatch];
            std::memset(static_cast<void*>(got), 0xA5, sizeof got);
            const unsigned mask = variant.Run(batch, cull, scissor, got);
            ASSERT_EQ(mask >> count, 0u) << "trial " << trial;
            for (int i = 0; i < count; ++i) {
                TriangleSetup want;
                const bool keep = SetupTriangle(vertices[i][0], vertices[i][1], vertices[i][2], cull, scissor,
                                                batch.Flat[i], want);
                ASSERT_EQ(keep, (mask >> i & 1u) != 0) << "trial " << trial << ", triangle " << i;
                if (keep) {
                    ExpectSameSetup(want, got[i], trial, i);
                    ++kept;
                } else {
                    ++dropped;
                }
            }
            if (HasFailure()) return;
        }
        // Both outcomes are common enough to have been compared well.
        EXPECT_GT(kept * 5, kept + dropped);
        EXPECT_GT(dropped * 5, kept + dropped);
    }
    EXPECT_GE(variants, 1);
}

}  // namespace
}  // namespace wbx::raster

namespace wbx::testing {
namespace {

// Overlapping see-through triangles whose result depends on the order they
// are drawn in; every fifth reaches behind the camera (z < 0) and is
// clipped, some are degenerate or face away (culled under D3DCULL_CCW).
struct OrderScene {
    PipelineState State;
    std::vector<uint8_t> Vertices;  // XYZ | DIFFUSE
};

constexpr DWORD kOrderFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;

OrderScene MakeOrderScene(uint32_t seed, int width, int height, int triangles) {
    std::mt19937 rng(seed);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    OrderScene scene;
    scene.State = DefaultState(width, height, false);
    DWORD* rs = scene.State.RenderStates;
    rs[D3DRS_LIGHTING] = FALSE;
    rs[D3DRS_ALPHABLENDENABLE] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    rs[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    for (int t = 0; t < triangles; ++t) {
        const float cx = uniform(-1.1f, 1.1f), cy = uniform(-1.1f, 1.1f), reach = uniform(0.01f, 0.4f);
        float position[3][3];
        for (auto& p : position) {
            p[0] = cx + uniform(-reach, reach);
            p[1] = cy + uniform(-reach, reach);
            p[2] = uniform(0.1f, 0.9f);
        }
        if (t % 5 == 0) position[rng() % 3][2] = -0.5f;
        if (t % 11 == 0) std::memcpy(position[2], position[1], sizeof position[1]);
        for (auto& p : position) {
            const uint32_t color = (static_cast<uint32_t>(rng()) & 0x00FFFFFFu) | ((rng() % 200 + 40) << 24);
            const size_t at = scene.Vertices.size();
            scene.Vertices.resize(at + 16);
            std::memcpy(scene.Vertices.data() + at, p, 12);
            std::memcpy(scene.Vertices.data() + at + 12, &color, 4);
        }
    }
    return scene;
}

std::vector<uint8_t> DrawOrderScene(const OrderScene& scene, int width, int height, PixelIsa isa,
                                    int threads) {
    Rasterizer r;
    r.SetReferencePixelPath(true);  // the same pixel path for every variant: only the set-up differs
    r.SetThreadCount(threads);
    if (!r.SetPixelIsa(isa)) return {};
    Canvas canvas(width, height, D3DFMT_UNKNOWN, 0xFF203040);
    VertexStream stream{scene.Vertices.data(), 16, static_cast<UINT>(scene.Vertices.size() / 16), kOrderFVF};
    DrawCall call;
    call.Type = D3DPT_TRIANGLELIST;
    call.Indexed = false;
    call.PrimitiveCount = stream.VertexCount / 3;
    r.Draw(scene.State, stream, nullptr, call, canvas.Targets());
    return canvas.Color;
}

TEST(RasterSetupBatch, DrawsInSubmissionOrderAroundClippedTriangles) {
    // Enough triangles for two threads (and for the set-up lists to grow).
    for (const uint32_t seed : {3u, 4u, 5u}) {
        const int width = 96, height = 80;
        const OrderScene scene = MakeOrderScene(seed, width, height, 700);
        const std::vector<uint8_t> want = DrawOrderScene(scene, width, height, PixelIsa::Scalar, 1);
        for (const PixelIsa isa : {PixelIsa::Scalar, PixelIsa::Sse2, PixelIsa::Avx2}) {
            for (const int threads : {1, 2}) {
                const std::vector<uint8_t> got = DrawOrderScene(scene, width, height, isa, threads);
                if (got.empty()) continue;  // no such variant here
                EXPECT_TRUE(got == want)
                    << "seed " << seed << ", isa " << static_cast<int>(isa) << ", threads " << threads;
            }
        }
    }
}

}  // namespace
}  // namespace wbx::testing
