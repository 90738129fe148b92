// Draw reuse: a draw that repeats a kept one draws its kept set-ups, and
// must give exactly the pixels (and depth) of a rasteriser that transforms
// and sets up afresh. Every input set-up reads, changed alone, must be
// noticed; what only the pixel stage reads (texture contents and size,
// blending, depth and alpha tests) must not stop the reuse, and must show.
// Each case runs with one thread and two.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "drawreuse.h"
#include "figurescene.h"
#include "heapmeter.h"
#include "rasterfixture.h"

namespace wbx::testing {
namespace {

// One draw: a scene's streams and state with the call and targets to draw
// it with.
struct Job {
    FigureScene Scene;
    DrawCall Call;
    UINT VertexCount = 0;
    int Width = 0, Height = 0;
    bool Indices32 = false;
    std::vector<uint32_t> Wide;  // the indices as 32-bit values, for Indices32
};

Job FigureJob(int width = 160, int height = 120, int rings = 16, int segments = 16) {
    Job job;
    job.Scene = MakeFigureScene(width, height, rings, segments, 300);
    job.Call.PrimitiveCount = static_cast<UINT>(job.Scene.Indices.size() / 3);
    job.VertexCount = static_cast<UINT>(job.Scene.Vertices.size());
    job.Width = width;
    job.Height = height;
    return job;
}

// The scene's texture bound again (a copied scene still points at the old one).
void Rebind(Job& job) { Bind(job.Scene.State, 0, {&job.Scene.Texture}); }

void Draw(Rasterizer& r, const Job& job, const Canvas& canvas) {
    const FigureScene& scene = job.Scene;
    VertexStream stream{reinterpret_cast<const uint8_t*>(scene.Vertices.data()), sizeof(MeshVertex),
                        job.VertexCount, kMeshFVF};
    IndexStream index{reinterpret_cast<const uint8_t*>(scene.Indices.data()), false,
                      static_cast<UINT>(scene.Indices.size())};
    if (job.Indices32)
        index = {reinterpret_cast<const uint8_t*>(job.Wide.data()), true, static_cast<UINT>(job.Wide.size())};
    r.Draw(scene.State, stream, &index, job.Call, canvas.Targets());
}

void Frame(Rasterizer& r, const Job& job, Canvas& canvas) {
    r.Clear(canvas.Targets(), job.Scene.State.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
            0xFF888888, 1.0f, 0);
    Draw(r, job, canvas);
}

bool SamePixels(const Canvas& a, const Canvas& b) { return a.Color == b.Color && a.DepthBits == b.DepthBits; }

// The frame of `job` by a rasteriser that keeps nothing.
Canvas FreshFrame(const Job& job, int threads) {
    Canvas canvas(job.Width, job.Height);
    Rasterizer r;
    r.SetDrawReuse(false);
    r.SetThreadCount(threads);
    Frame(r, job, canvas);
    return canvas;
}

// After `base` was drawn and kept, `changed` must draw as afresh; returns
// whether the second draw reused the kept set-ups.
bool SecondDrawMatchesFresh(const Job& base, const Job& changed, int threads, const std::string& what) {
    Rasterizer r;
    r.SetThreadCount(threads);
    Canvas first(base.Width, base.Height), second(changed.Width, changed.Height);
    Frame(r, base, first);
    Frame(r, base, first);  // kept from its second sighting on
    Frame(r, changed, second);
    const bool reused = r.LastDrawReused();
    EXPECT_TRUE(SamePixels(second, FreshFrame(changed, threads))) << what << ", " << threads << " threads";
    return reused;
}

struct Change {
    const char* What;
    std::function<void(Job&)> Apply;
};

// Each change applied alone to the figure: it must show in the picture (or
// a part of the key it should have missed would go unseen), be reused or
// not as `reused` says, and draw as afresh.
void CheckChanges(const std::vector<Change>& changes, bool reused) {
    const Job base = FigureJob();
    const Canvas basePixels = FreshFrame(base, 1);
    for (const Change& change : changes) {
        Job changed = base;
        Rebind(changed);
        change.Apply(changed);
        const Canvas changedPixels = FreshFrame(changed, 1);
        EXPECT_TRUE(changedPixels.Width != basePixels.Width || !SamePixels(changedPixels, basePixels))
            << change.What << " draws as before";
        for (const int threads : {1, 2}) {
            EXPECT_EQ(SecondDrawMatchesFresh(base, changed, threads, change.What), reused)
                << change.What << ", " << threads << " threads";
        }
    }
}

TEST(RasterDrawReuse, ARepeatedDrawReusesAndMatchesAFreshDraw) {
    for (const int threads : {1, 2}) {
        const Job job = FigureJob(320, 240, 24, 24);
        Rasterizer r;  // reuse is on by default
        r.SetThreadCount(threads);
        Canvas canvas(job.Width, job.Height);
        // Kept on its second sighting: a draw seen once may never come again.
        for (int sighting = 0; sighting < 2; ++sighting) {
            Frame(r, job, canvas);
            EXPECT_FALSE(r.LastDrawReused()) << sighting;
        }
        for (int repeat = 0; repeat < 3; ++repeat) {
            Frame(r, job, canvas);
            EXPECT_TRUE(r.LastDrawReused()) << threads;
            EXPECT_TRUE(SamePixels(canvas, FreshFrame(job, threads))) << threads << " threads";
        }
        // Drawn again over what is there (no clear): blending reads the target.
        Draw(r, job, canvas);
        Canvas twice = FreshFrame(job, threads);
        Rasterizer fresh;
        fresh.SetDrawReuse(false);
        fresh.SetThreadCount(threads);
        Draw(fresh, job, twice);
        EXPECT_TRUE(SamePixels(canvas, twice)) << threads << " threads";

        r.SetDrawReuse(false);
        Frame(r, job, canvas);
        EXPECT_FALSE(r.LastDrawReused());
        r.SetDrawReuse(true);
        Frame(r, job, canvas);
        EXPECT_FALSE(r.LastDrawReused()) << "switching off forgets what was kept";
    }
}

TEST(RasterDrawReuse, EverySetupInputChangedAloneDrawsAsAFreshDraw) {
    CheckChanges(
        {
            {"a vertex byte", [](Job& j) { j.Scene.Vertices[200].X += 3.0f; }},
            {"a normal", [](Job& j) { j.Scene.Vertices[200].NZ = -j.Scene.Vertices[200].NZ; }},
            {"a texture coordinate", [](Job& j) { j.Scene.Vertices[200].U += 0.25f; }},
            {"an index naming another vertex", [](Job& j) { j.Scene.Indices[300] = j.Scene.Indices[320]; }},
            {"a world matrix element", [](Job& j) { j.Scene.State.World._41 += 2.0f; }},
            {"a view matrix element", [](Job& j) { j.Scene.State.View._43 -= 20.0f; }},
            {"a projection matrix element", [](Job& j) { j.Scene.State.Projection._11 *= 1.2f; }},
            {"the light's direction",
             [](Job& j) {
                 j.Scene.State.ActiveLights[0].Direction = {1, 0, 0};
             }},
            {"the light's diffuse", [](Job& j) { j.Scene.State.ActiveLights[0].Diffuse.g = 0.2f; }},
            {"a second light",
             [](Job& j) {
                 j.Scene.State.ActiveLights[1] = j.Scene.State.ActiveLights[0];
                 j.Scene.State.ActiveLights[1].Direction = {0, -1, 0};
                 j.Scene.State.ActiveLightCount = 2;
             }},
            {"the material's emissive",
             [](Job& j) {
                 j.Scene.State.Material.Emissive = {0, 0.2f, 0.6f, 1};
             }},
            {"the material's power",
             [](Job& j) {
                 j.Scene.State.Material.Power = 8.0f;
                 j.Scene.State.Material.Specular = {1, 0, 0, 1};
             }},
            {"the viewport's place", [](Job& j) { j.Scene.State.Viewport.X = 10; }},
            {"the viewport's size", [](Job& j) { j.Scene.State.Viewport.Width -= 30; }},
            {"the viewport's depth range",
             [](Job& j) {
                 j.Scene.State.Viewport.MaxZ = 0.0f;  // every pixel at depth 0
                 j.Scene.State.RenderStates[D3DRS_ZWRITEENABLE] = TRUE;
             }},
            {"the cull mode", [](Job& j) { j.Scene.State.RenderStates[D3DRS_CULLMODE] = D3DCULL_CW; }},
            {"flat shading", [](Job& j) { j.Scene.State.RenderStates[D3DRS_SHADEMODE] = D3DSHADE_FLAT; }},
            {"lighting off", [](Job& j) { j.Scene.State.RenderStates[D3DRS_LIGHTING] = FALSE; }},
            {"specular off", [](Job& j) { j.Scene.State.RenderStates[D3DRS_SPECULARENABLE] = FALSE; }},
            {"the ambient colour", [](Job& j) { j.Scene.State.RenderStates[D3DRS_AMBIENT] = 0xFF204080; }},
            {"the coordinate set", [](Job& j) { j.Scene.State.StageStates[0][D3DTSS_TEXCOORDINDEX] = 1; }},
            {"the primitive count", [](Job& j) { j.Call.PrimitiveCount -= 40; }},
            {"the start index", [](Job& j) { j.Call.StartIndex = 600; }},
            {"the base vertex index", [](Job& j) { j.Call.BaseVertexIndex = 1; }},
            {"the stream's vertex count", [](Job& j) { j.VertexCount -= 40; }},
            {"the target's size",
             [](Job& j) {
                 j.Width -= 20;
                 j.Height -= 10;
             }},
        },
        false);
}

TEST(RasterDrawReuse, WhatOnlyThePixelStageReadsKeepsTheSetupsAndShows) {
    CheckChanges(
        {
            {"the texture's contents",
             [](Job& j) {
                 for (size_t i = 0; i < j.Scene.Texture.Bits.size(); i += 2) j.Scene.Texture.Bits[i] ^= 0x5A;
             }},
            {"a smaller texture with levels",
             [](Job& j) {
                 // Level choice and wrapping come from the texture bound at the draw.
                 j.Scene.Texture = TextureImage(16, 8, D3DFMT_A1R5G5B5, 2);
                 for (int y = 0; y < 8; ++y)
                     for (int x = 0; x < 16; ++x)
                         j.Scene.Texture.Set16(x, y, static_cast<uint16_t>(0x8000 | (x * 997 + y * 131)));
                 j.Scene.State.SamplerStates[0][D3DSAMP_MIPFILTER] = D3DTEXF_POINT;
                 Rebind(j);
             }},
            {"no texture", [](Job& j) { j.Scene.State.Textures[0].LevelCount = 0; }},
            {"blending off", [](Job& j) { j.Scene.State.RenderStates[D3DRS_ALPHABLENDENABLE] = FALSE; }},
            {"the depth test", [](Job& j) { j.Scene.State.RenderStates[D3DRS_ZFUNC] = D3DCMP_NEVER; }},
            {"the alpha test",
             [](Job& j) {
                 j.Scene.State.RenderStates[D3DRS_ALPHATESTENABLE] = TRUE;
                 j.Scene.State.RenderStates[D3DRS_ALPHAREF] = 0x80;
                 j.Scene.State.RenderStates[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
             }},
            {"the colour operation",
             [](Job& j) { j.Scene.State.StageStates[0][D3DTSS_COLOROP] = D3DTOP_ADD; }},
            {"point sampling",
             [](Job& j) {
                 j.Scene.State.SamplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
                 j.Scene.State.SamplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
             }},
        },
        true);
}

// Every render, stage and sampler state, changed alone to a few values
// near its own, must draw as afresh, reused or not: a state that set-up
// reads and the key misses fails here.
TEST(RasterDrawReuse, EveryStateChangedAloneDrawsAsAFreshDraw) {
    const Job base = FigureJob(96, 72, 14, 14);
    auto check = [&](const std::function<DWORD&(Job&)>& field, const std::string& what) {
        for (const DWORD flip : {1u, 2u, 3u}) {
            Job changed = base;
            Rebind(changed);
            field(changed) ^= flip;
            for (const int threads : {1, 2})
                SecondDrawMatchesFresh(base, changed, threads, what + " ^ " + std::to_string(flip));
        }
    };
    for (int rs = 0; rs < static_cast<int>(D3DRS_MAX); ++rs)
        check([rs](Job& j) -> DWORD& { return j.Scene.State.RenderStates[rs]; },
              "render state " + std::to_string(rs));
    for (int stage = 0; stage < 2; ++stage) {
        for (int ts = 0; ts < static_cast<int>(D3DTSS_MAX); ++ts)
            check([stage, ts](Job& j) -> DWORD& { return j.Scene.State.StageStates[stage][ts]; },
                  "stage " + std::to_string(stage) + " state " + std::to_string(ts));
        for (int ss = 0; ss < static_cast<int>(D3DSAMP_MAX); ++ss)
            check([stage, ss](Job& j) -> DWORD& { return j.Scene.State.SamplerStates[stage][ss]; },
                  "stage " + std::to_string(stage) + " sampler state " + std::to_string(ss));
    }
}

// Random scenes drawn in a random order, more of them than are kept, with
// the texture changing between draws: every frame as afresh.
TEST(RasterDrawReuse, RandomSceneSequencesDrawAsAfresh) {
    std::mt19937 random(20261208);
    std::vector<Job> jobs;
    for (int i = 0; i < 6; ++i) {
        Job job = FigureJob(128 + 16 * (i % 3), 96, 10 + 2 * i, 12 + i);
        if (i % 2 == 1) {
            job.Indices32 = true;
            job.Wide.assign(job.Scene.Indices.begin(), job.Scene.Indices.end());
        }
        PipelineState& s = job.Scene.State;
        s.RenderStates[D3DRS_CULLMODE] = 1 + random() % 3;
        s.RenderStates[D3DRS_SHADEMODE] = random() % 2 ? D3DSHADE_FLAT : D3DSHADE_GOURAUD;
        s.RenderStates[D3DRS_ZWRITEENABLE] = random() % 2;
        s.World._41 = static_cast<float>(random() % 41) - 20.0f;
        s.World._43 = static_cast<float>(random() % 120);  // some near the camera: clipped
        s.ActiveLights[0].Direction = {static_cast<float>(random() % 3) - 1.0f, -0.5f, -1.0f};
        jobs.push_back(std::move(job));
    }
    for (Job& job : jobs) Rebind(job);
    for (const int threads : {1, 2}) {
        Rasterizer r;
        r.SetThreadCount(threads);
        int reused = 0;
        for (int frame = 0; frame < 40; ++frame) {
            Job& job = jobs[random() % jobs.size()];
            if (random() % 3 == 0) job.Scene.Texture.Bits[random() % job.Scene.Texture.Bits.size()] ^= 0xFF;
            Canvas canvas(job.Width, job.Height);
            Frame(r, job, canvas);
            reused += r.LastDrawReused();
            ASSERT_TRUE(SamePixels(canvas, FreshFrame(job, threads))) << "frame " << frame << ", " << threads;
        }
        EXPECT_GT(reused, 10) << threads << " threads";
    }
}

TEST(RasterDrawReuse, LinesPointsWireframesAndHugeDrawsAreNotKept) {
    Job wire = FigureJob();
    Rebind(wire);
    wire.Scene.State.RenderStates[D3DRS_FILLMODE] = D3DFILL_WIREFRAME;
    Job lines = FigureJob();
    Rebind(lines);
    lines.Call.Type = D3DPT_LINELIST;
    lines.Call.PrimitiveCount = static_cast<UINT>(lines.Scene.Indices.size() / 2);
    // More triangles than an entry holds.
    Job huge = FigureJob(160, 120, 120, 80);
    Rebind(huge);
    ASSERT_GT(huge.Call.PrimitiveCount, DrawReuse::kMaxKeptSetups);
    for (const Job* job : {&wire, &lines, &huge}) {
        for (const int threads : {1, 2}) {
            EXPECT_FALSE(SecondDrawMatchesFresh(*job, *job, threads, "not kept"));
        }
    }
}

TEST(RasterDrawReuse, CyclingThroughMoreDrawsThanAreKeptAllocatesNothingOnceWarm) {
    // Draws that differ in a vertex alone: all are kept, each in turn.
    std::vector<Job> jobs(DrawReuse::kEntryCount + 2, FigureJob(320, 240, 20, 20));
    for (size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].Scene.Vertices[150].Z += static_cast<float>(i);
        Rebind(jobs[i]);
    }
    for (const int threads : {1, 2}) {
        // Every draw a miss (the oldest entry given over), then every draw a hit.
        for (const size_t count : {jobs.size(), size_t{DrawReuse::kEntryCount}}) {
            Canvas canvas(320, 240);
            Rasterizer r;
            r.SetThreadCount(threads);
            for (int round = 0; round < 3; ++round)
                for (size_t i = 0; i < count; ++i) Frame(r, jobs[i], canvas);
            bool anyReused = false;
            const AllocationReport steady = MeterAllocations([&] {
                for (int round = 0; round < 3; ++round) {
                    for (size_t i = 0; i < count; ++i) {
                        Frame(r, jobs[i], canvas);
                        anyReused = anyReused || r.LastDrawReused();
                    }
                }
            });
            EXPECT_EQ(steady.Count, 0u) << threads << " threads, " << count << " draws";
            EXPECT_EQ(anyReused, count <= DrawReuse::kEntryCount) << count;
        }
        // A turning figure: a new world matrix every frame, never kept.
        Job turning = jobs[0];
        Rebind(turning);
        Canvas canvas(320, 240);
        Rasterizer r;
        r.SetThreadCount(threads);
        auto turn = [&] {
            turning.Scene.State.World._41 += 0.01f;
            Frame(r, turning, canvas);
            EXPECT_FALSE(r.LastDrawReused());
        };
        for (int frame = 0; frame < 6; ++frame) turn();
        const AllocationReport steady = MeterAllocations([&] {
            for (int frame = 0; frame < 6; ++frame) turn();
        });
        EXPECT_EQ(steady.Count, 0u) << threads << " threads, turning";
    }
}

}  // namespace
}  // namespace wbx::testing
