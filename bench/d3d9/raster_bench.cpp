// The software rasteriser on a frame like the viewer's: Clear (target and
// z) of 640 x 480, a figure of about 5,000 triangles with a 256 x 512
// A1R5G5B5 texture, alpha-blended, lit by one directional light, then a
// Present-like copy into a capture buffer. The parts are timed on their own
// too, and fill and triangle rates on larger loads.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "d3d9/raster/vertexformat.h"
#include "figurescene.h"
#include "vertexprocessor.h"
#include "workerthread.h"

namespace wbx::testing {
namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kRings = 50, kSegments = 50;  // 5,000 triangles

// What a presentation target receiving the frame does at least: copy it.
void Present(const Canvas& canvas, std::vector<uint8_t>& capture) {
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(capture.data() + static_cast<size_t>(y) * kWidth * 4,
                    canvas.Color.data() + static_cast<size_t>(y) * canvas.ColorSurface.Pitch, kWidth * 4);
    }
}

void CountCoverage(benchmark::State& state, const Canvas& canvas) {
    state.counters["covered_pixels"] = canvas.CountNot(0x888888);
}

// Instruction set of the span kernels by benchmark argument:
// 0 scalar, 1 SSE2, 2 AVX2, 3 the widest available.
bool PickIsa(benchmark::State& state, Rasterizer& r, int64_t arg) {
    const PixelIsa isa = arg == 1   ? PixelIsa::Sse2
                         : arg == 2 ? PixelIsa::Avx2
                         : arg == 0 ? PixelIsa::Scalar
                                    : BestPixelIsa();
    if (r.SetPixelIsa(isa)) return true;
    state.SkipWithError("instruction set not available");
    return false;
}

void BM_ViewerFrame(benchmark::State& state) {
    const FigureScene scene = MakeFigureScene(kWidth, kHeight, kRings, kSegments);
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    std::vector<uint8_t> capture(static_cast<size_t>(kWidth) * kHeight * 4);
    Rasterizer r;
    r.SetDrawReuse(false);  // the frame's whole work, every frame
    r.SetReferencePixelPath(state.range(0) != 0);
    r.SetThreadCount(static_cast<int>(state.range(1)));
    if (!PickIsa(state, r, state.range(2))) return;
    for (auto _ : state) {
        DrawFigureFrame(r, scene, canvas);
        Present(canvas, capture);
        benchmark::DoNotOptimize(capture.data());
    }
    state.counters["triangles"] = static_cast<double>(scene.Indices.size() / 3);
    CountCoverage(state, canvas);
}
BENCHMARK(BM_ViewerFrame)
    ->ArgNames({"reference", "threads", "isa"})
    ->Args({0, 1, 3})
    ->Args({0, 1, 2})
    ->Args({0, 1, 1})
    ->Args({0, 1, 0})
    ->Args({1, 1, 3})
    ->Args({0, 2, 3})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// A frame as the paced viewer draws it: after about 16 ms of idleness (not
// timed), so caches have cooled and a second thread has gone to sleep. CPU
// time counts every thread of the process, the worker's included.
void BM_PacedFrame(benchmark::State& state) {
    const FigureScene scene = MakeFigureScene(kWidth, kHeight, kRings, kSegments);
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    std::vector<uint8_t> capture(static_cast<size_t>(kWidth) * kHeight * 4);
    Rasterizer r;
    r.SetDrawReuse(false);
    r.SetThreadCount(static_cast<int>(state.range(0)));
    DrawFigureFrame(r, scene, canvas);  // warm: the worker exists, scratch is sized
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::microseconds(16000));
        state.ResumeTiming();
        DrawFigureFrame(r, scene, canvas);
        Present(canvas, capture);
        benchmark::DoNotOptimize(capture.data());
    }
}
BENCHMARK(BM_PacedFrame)
    ->ArgNames({"threads"})
    ->Arg(1)
    ->Arg(2)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void BM_Clear(benchmark::State& state) {
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    Rasterizer r;
    const D3DVIEWPORT9 viewport{0, 0, kWidth, kHeight, 0, 1};
    for (auto _ : state) {
        r.Clear(canvas.Targets(), viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f,
                0);
        benchmark::DoNotOptimize(canvas.Color.data());
    }
}
BENCHMARK(BM_Clear)->Unit(benchmark::kMicrosecond);

void BM_Present(benchmark::State& state) {
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    std::vector<uint8_t> capture(static_cast<size_t>(kWidth) * kHeight * 4);
    for (auto _ : state) {
        Present(canvas, capture);
        benchmark::DoNotOptimize(capture.data());
    }
}
BENCHMARK(BM_Present)->Unit(benchmark::kMicrosecond);

// Handing an empty job to the second thread and waiting for it: back to
// back (the worker has just finished), and after 16 ms of idleness (untimed;
// the worker sleeps on its condition variable and must be woken).
void BM_WorkerRoundTrip(benchmark::State& state) {
    WorkerThread worker;
    const std::function<void(int)> job = [](int index) { benchmark::DoNotOptimize(index); };
    worker.Run(job);
    for (auto _ : state) {
        if (state.range(0) != 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::microseconds(16000));
            state.ResumeTiming();
        }
        worker.Run(job);
    }
}
BENCHMARK(BM_WorkerRoundTrip)
    ->ArgNames({"idle"})
    ->Arg(0)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
// A fixed count: the timed part is so short that a time budget would mean minutes of idling.
BENCHMARK(BM_WorkerRoundTrip)
    ->ArgNames({"idle"})
    ->Arg(1)
    ->Iterations(100)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Transform and lighting of the figure's vertices alone.
void BM_VertexProcessing(benchmark::State& state) {
    const FigureScene scene = MakeFigureScene(kWidth, kHeight, kRings, kSegments);
    const VertexFormat format = DecodeFVF(kMeshFVF);
    std::vector<ShadedVertex> out(scene.Vertices.size());
    for (auto _ : state) {
        const VertexProcessor processor(scene.State, format);
        for (size_t i = 0; i < scene.Vertices.size(); ++i) {
            processor.Process(reinterpret_cast<const uint8_t*>(&scene.Vertices[i]), out[i]);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["vertices"] = static_cast<double>(scene.Vertices.size());
}
BENCHMARK(BM_VertexProcessing)->Unit(benchmark::kMicrosecond);

// The draw alone (vertex processing, setup and pixels), no clear between
// frames: the depth test passes everywhere as the z buffer stays at 1. With
// reuse, every draw after the first draws the kept set-ups: the pixels alone.
void BM_FigureDraw(benchmark::State& state) {
    const FigureScene scene = MakeFigureScene(kWidth, kHeight, kRings, kSegments);
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    Rasterizer r;
    r.SetDrawReuse(state.range(0) != 0);
    r.SetThreadCount(1);
    r.Clear(canvas.Targets(), scene.State.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
            0xFF888888, 1.0f, 0);
    for (auto _ : state) {
        DrawFigure(r, scene, canvas);
        benchmark::DoNotOptimize(canvas.Color.data());
    }
}
BENCHMARK(BM_FigureDraw)->ArgNames({"reuse"})->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Fill rate: full-screen quads, textured (A1R5G5B5, linear), lit colour,
// alpha-blended, depth-tested: pixels per second.
void BM_FillRate(benchmark::State& state) {
    FigureScene scene = MakeFigureScene(kWidth, kHeight, 1, 1);
    // Opaque texels only, so that every pixel is blended.
    for (size_t i = 0; i < scene.Texture.Bits.size(); i += 2) scene.Texture.Bits[i + 1] |= 0x80;
    PipelineState s = scene.State;
    s.World = s.View = s.Projection = Identity();
    const std::vector<MeshVertex> quad{{-1, 1, 0.5f, 0, 0, -1, 0, 0}, {1, 1, 0.5f, 0, 0, -1, 1, 0},
                                       {1, -1, 0.5f, 0, 0, -1, 1, 1}, {-1, 1, 0.5f, 0, 0, -1, 0, 0},
                                       {1, -1, 0.5f, 0, 0, -1, 1, 1}, {-1, -1, 0.5f, 0, 0, -1, 0, 1}};
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    Rasterizer r;
    r.SetDrawReuse(false);
    r.SetThreadCount(1);
    r.Clear(canvas.Targets(), s.Viewport, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f,
            0);
    for (auto _ : state) {
        DrawList(r, s, canvas, quad, kMeshFVF);
        benchmark::DoNotOptimize(canvas.Color.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);  // items: pixels
}
BENCHMARK(BM_FillRate)->Unit(benchmark::kMicrosecond);

// Triangle rate: the figure with 100,000 small triangles.
void BM_TriangleRate(benchmark::State& state) {
    const FigureScene scene = MakeFigureScene(kWidth, kHeight, 200, 250);
    Canvas canvas(kWidth, kHeight, D3DFMT_D16);
    Rasterizer r;
    r.SetDrawReuse(false);
    r.SetThreadCount(1);
    for (auto _ : state) {
        DrawFigureFrame(r, scene, canvas);
        benchmark::DoNotOptimize(canvas.Color.data());
    }
    state.SetItemsProcessed(state.iterations() *
                            static_cast<int64_t>(scene.Indices.size() / 3));  // items: triangles
}
BENCHMARK(BM_TriangleRate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wbx::testing
