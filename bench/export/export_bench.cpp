// What the batch commands spend their time on, on the generated sample data:
// one offscreen frame at the window's size (grey and transparent) and at a
// thumbnail's, the PNG encoding of each, pictures and thumbnails made as a
// catalogue's workers make them, and whole catalogues (every item of every
// slot, front, back and thumbnail) on one and on two workers.
// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sampledata/datafolder.h"
#include "viewer/catalogue.h"
#include "viewer/datafolder.h"
#include "viewer/offscreenrenderer.h"
#include "viewer/pngwriter.h"
#include "viewer/sha256.h"
#include "viewer/slotnames.h"

namespace {

const std::string& SampleFolder() {
    static const std::string folder = [] {
        const std::string path = (std::filesystem::temp_directory_path() / "wbx_bench_export_data").string();
        wbx::sampledata::GenerateDataFolder(path);
        wbx::CheckDataFolder(path);
        return path;
    }();
    return folder;
}

wbx::TOffscreenRenderer& Renderer() {
    static wbx::TOffscreenRenderer* renderer = [] {
        SampleFolder();
        auto* r = new wbx::TOffscreenRenderer(640, 480);
        r->LoadModel("type1");
        r->ComposeTextures(wbx::StartSelection());
        return r;
    }();
    return *renderer;
}

void BM_Render(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto background = state.range(2) ? wbx::TBackground::Transparent : wbx::TBackground::Grey;
    wbx::TOffscreenRenderer& renderer = Renderer();
    for (auto _ : state) benchmark::DoNotOptimize(renderer.Render({}, w, h, background));
}
BENCHMARK(BM_Render)
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({128, 128, 1})
    ->Unit(benchmark::kMillisecond);

void BM_EncodePng(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto background = state.range(2) ? wbx::TBackground::Transparent : wbx::TBackground::Grey;
    const wbx::TRgbaImage image = Renderer().Render({}, w, h, background).Image;
    wbx::TPngWriter writer(static_cast<int>(state.range(3)));
    size_t bytes = 0;
    for (auto _ : state) bytes = writer.Encode(image).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EncodePng)
    ->ArgsProduct({{640}, {480}, {0, 1}, {1, 2, 4, 6}})
    ->Args({128, 128, 1, 1})
    ->Args({128, 128, 1, 2})
    ->Unit(benchmark::kMillisecond);

// Renderers dressed as Renderer() is, one for each worker.
wbx::TOffscreenRenderer& WorkerRenderer(size_t worker) {
    static std::vector<std::unique_ptr<wbx::TOffscreenRenderer>> renderers;
    SampleFolder();
    while (renderers.size() <= worker) {
        renderers.push_back(std::make_unique<wbx::TOffscreenRenderer>(640, 480));
        renderers.back()->LoadModel("type1");
        renderers.back()->ComposeTextures(wbx::StartSelection());
    }
    return *renderers[worker];
}

// Pictures of one size with a transparent background, made as a catalogue's
// workers make them (drawn, PNG-encoded, digested; front and back in turn),
// by arg 2 workers at once, each with its own renderer: the rate of
// pictures of that kind on as many cores.
void BM_Pictures(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const size_t workers = static_cast<size_t>(state.range(2));
    constexpr int kPerWorker = 8;
    for (size_t t = 0; t < workers; ++t) WorkerRenderer(t);
    for (auto _ : state) {
        std::vector<std::thread> threads;
        for (size_t t = 0; t < workers; ++t) {
            threads.emplace_back([t, w, h] {
                wbx::TOffscreenRenderer& renderer = WorkerRenderer(t);
                wbx::TPngWriter png;
                for (int i = 0; i < kPerWorker; ++i) {
                    const wbx::TRenderedPicture picture = renderer.Render({i % 2 == 0 ? 0 : 2048, 0, 1.0f}, w,
                                                                          h, wbx::TBackground::Transparent);
                    const std::vector<uint8_t>& bytes = png.Encode(picture.Image);
                    benchmark::DoNotOptimize(wbx::Sha256Hex(bytes.data(), bytes.size()));
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
    }
    state.counters["pictures/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(workers) * kPerWorker,
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pictures)
    ->ArgsProduct({{640}, {480}, {1, 2}})
    ->ArgsProduct({{128}, {128}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A whole catalogue into a fresh folder (nothing to keep), workers = arg 0;
// 640 x 480 pictures, transparent, 128 x 128 thumbnails.
void BM_Catalogue(benchmark::State& state) {
    SampleFolder();
    wbx::TCatalogueSettings settings;
    for (int list = 0; list < wbx::kPartListCount; ++list)
        settings.Slots.push_back(static_cast<wbx::TPartList>(list));
    settings.Base = wbx::StartSelection();
    settings.Background = wbx::TBackground::Transparent;
    const std::string folder =
        (std::filesystem::temp_directory_path() / "wbx_bench_export_catalogue").string();
    wbx::TCatalogueRun run;
    run.Folder = folder;
    run.Threads = static_cast<int32_t>(state.range(0));
    int64_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
        const wbx::TCatalogueOutcome outcome = wbx::RunCatalogue(settings, run);
        if (outcome.Status != wbx::TCatalogueStatus::Done) state.SkipWithError("the catalogue failed");
        items += outcome.Progress.Done;
    }
    // Each item: a front and a back picture and a thumbnail.
    state.SetItemsProcessed(items);
    state.counters["pictures/s"] =
        benchmark::Counter(static_cast<double>(items) * 2, benchmark::Counter::kIsRate);
    state.counters["thumbnails/s"] =
        benchmark::Counter(static_cast<double>(items), benchmark::Counter::kIsRate);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Catalogue)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
