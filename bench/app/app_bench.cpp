// What the viewer's user waits for, measured on the generated sample data:
//   composing both textures with every part list dressed, nothing kept from
//     before (aim: at most 0.6 x plain zlib inflating the same layer files,
//     measured beside it: BM_InflateLayerFiles/0), the window's
//     ComposeTextures on the device, and its parts each beside its peer:
//     reading the layer files (zlib's streaming inflate / one call) and
//     painting them (pixel by pixel / in blocks),
//   a pick in one list (aim: 0.8 ms), with and without the layer cache,
//   reading the largest sample model file (aim: under 2 ms), alone and with
//     the window's upload into the mesh,
//   the snapshot run and the window from process start to the first frame,
//     and their peak memory, beside a bare Qt program showing one image (aim:
//     1.41 x its time, its peak + 0.3 MiB),
//   one frame of the loop, and the CPU the running window takes while nobody
//     touches it, offscreen (reported as the counter "cpu_%"; on a real X
//     server with its floor beside it: idle_window_bench.cpp).
// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <sys/resource.h>
#include <zlib.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/umain.h"
#include "base/filestream.h"
#include "base/format.h"
#include "qtapplication.h"
#include "sampledata/datafolder.h"
#include "viewer/composition.h"
#include "viewer/compressedfile.h"
#include "viewer/datafolder.h"
#include "viewer/fileutils.h"
#include "viewer/layer.h"
#include "viewer/layercache.h"
#include "viewer/pathresolver.h"
#include "viewer/ucommon.h"
#include "viewerfixture.h"

namespace {

// One generated data folder for the whole run.
const std::string& SampleFolder() {
    static const std::string folder = [] {
        const std::string path = (std::filesystem::temp_directory_path() / "wbx_bench_app_data").string();
        wbx::sampledata::GenerateDataFolder(path);
        return path;
    }();
    return folder;
}

// The first item of every part list, as the lists offer them.
wbx::TPartSelection EveryListDressed() {
    wbx::TPartSelection selection;
    for (int list = 0; list < wbx::kPartListCount; ++list) {
        wbx::TStringList items;
        wbx::EnumerateFiles(wbx::AvatarPath, wbx::kPartLists[size_t(list)].Mask, items, wbx::AddFilePrefix);
        selection[size_t(list)] = items.empty() ? wbx::kNoPartItem : items.front();
    }
    return selection;
}

// The main window on the sample data, offscreen; Present paces to refreshRate
// (a huge rate: no waiting).
std::unique_ptr<wbx::TForm1> SampleWindow(double refreshRate) {
    wbx::testing::EnsureQtApplication();
    const std::string settings = (std::filesystem::temp_directory_path() / "wbx_bench_app.ini").string();
    auto form = std::make_unique<wbx::TForm1>(
        wbx::testing::ViewerServices(settings, SampleFolder(), refreshRate, [](const std::string&) {}));
    if (form->StartupOutcome() != wbx::TStartupOutcome::Running) return nullptr;
    return form;
}

// Selects the first item of every part list (the last five start at "なし").
void DressEveryList(wbx::TForm1& form) {
    for (int list = 0; list < wbx::kPartListCount; ++list) {
        wbx::TComboBox* combo = form.PartCombo(static_cast<wbx::TPartList>(list));
        if (combo->count() > 1) combo->setCurrentIndex(1);
    }
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The layer files a composition with every list dressed reads, front then
// back (those that exist).
std::vector<std::string> DressedLayerFileNames() {
    std::vector<std::string> names;
    const wbx::TPartSelection selection = EveryListDressed();
    for (const wbx::TLayerOrder* order : {&wbx::kFrontLayerOrder, &wbx::kBackLayerOrder}) {
        for (const wbx::TLayerStep& step : *order) {
            std::string name = wbx::LayerFileName(selection[static_cast<size_t>(step.List)], step.LayerIndex);
            if (wbx::FileExists(name)) names.push_back(std::move(name));
        }
    }
    return names;
}

// The same files as they lie on disk.
std::vector<std::vector<uint8_t>> DressedLayerFiles() {
    std::vector<std::vector<uint8_t>> files;
    for (const std::string& name : DressedLayerFileNames()) {
        wbx::TFileStream file(name, wbx::fmOpenRead);
        std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
        file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        files.push_back(std::move(bytes));
    }
    return files;
}

// Reading the same files into memory as the composition does. Arg 0: zlib's
// streaming inflate alone; arg 1: the reader's one call with its fallback.
void BM_ReadLayerFiles(benchmark::State& state) {
    if (!wbx::CheckDataFolder(SampleFolder())) return state.SkipWithError("no sample data folder");
    const std::vector<std::string> names = DressedLayerFileNames();
    const auto read = state.range(0) == 0 ? wbx::ReadCompressedFileStreamed : wbx::ReadCompressedFile;
    for (auto _ : state) {
        for (const std::string& name : names) {
            wbx::TMemoryStream content;
            if (!read(name, content)) return state.SkipWithError("a layer file is missing");
            benchmark::DoNotOptimize(content.Memory());
        }
    }
}
BENCHMARK(BM_ReadLayerFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The drawing rule one pixel at a time, clipped to the texture: the peer of
// DrawLayerContent.
void DrawPixelByPixel(const uint8_t* content, int64_t size, uint8_t* bits, int32_t pitch) {
    uint16_t rectangle[4];
    if (size < 8) return;
    std::memcpy(rectangle, content, 8);
    const int64_t pixels = (size - 8) / 2;
    for (int32_t y = 0; y < rectangle[3]; ++y)
        for (int32_t x = 0; x < rectangle[2]; ++x) {
            const int64_t at = int64_t{y} * rectangle[2] + x;
            if (at >= pixels) return;
            uint16_t pixel;
            std::memcpy(&pixel, content + 8 + 2 * at, 2);
            const int32_t column = rectangle[0] + x, row = rectangle[1] + y;
            if ((pixel & wbx::kLayerAlphaBit) && column < wbx::kLayerTextureWidth &&
                row < wbx::kLayerTextureHeight)
                std::memcpy(bits + int64_t{row} * pitch + 2 * column, &pixel, 2);
        }
}

// Painting the inflated contents of the same files into one texture's memory.
// Arg 0: pixel by pixel; arg 1: DrawLayerContent.
void BM_PaintLayers(benchmark::State& state) {
    if (!wbx::CheckDataFolder(SampleFolder())) return state.SkipWithError("no sample data folder");
    std::vector<std::unique_ptr<wbx::TMemoryStream>> contents;
    for (const std::string& name : DressedLayerFileNames()) {
        contents.push_back(std::make_unique<wbx::TMemoryStream>());
        wbx::ReadCompressedFile(name, *contents.back());
    }
    constexpr int32_t kPitch = wbx::kLayerTextureWidth * 2;
    std::vector<uint8_t> texture(size_t{kPitch} * wbx::kLayerTextureHeight);
    for (auto _ : state) {
        for (const auto& content : contents) {
            if (state.range(0) == 0) {
                DrawPixelByPixel(content->Memory(), content->Size(), texture.data(), kPitch);
            } else {
                content->SetPosition(0);
                wbx::DrawLayerContent(*content, texture.data(), kPitch);
            }
        }
        benchmark::DoNotOptimize(texture.data());
    }
}
BENCHMARK(BM_PaintLayers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The peer of a cold composition: inflating the same layer files, already in
// memory, each into a buffer of its declared size. Arg 0: zlib's uncompress;
// arg 1: libdeflate in one call.
void BM_InflateLayerFiles(benchmark::State& state) {
    if (!wbx::CheckDataFolder(SampleFolder())) return state.SkipWithError("no sample data folder");
    const std::vector<std::vector<uint8_t>> files = DressedLayerFiles();
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    std::vector<uint8_t> out;
    size_t inflatedBytes = 0;
    for (auto _ : state) {
        inflatedBytes = 0;
        for (const std::vector<uint8_t>& file : files) {
            int32_t declared;
            std::memcpy(&declared, file.data(), 4);
            out.resize(static_cast<size_t>(declared));
            size_t inflated = out.size();
            if (state.range(0) == 0) {
                uLongf length = static_cast<uLongf>(out.size());
                if (uncompress(out.data(), &length, file.data() + 8, static_cast<uLong>(file.size() - 8)) !=
                    Z_OK)
                    return state.SkipWithError("a layer file did not inflate");
                inflated = length;
            } else if (libdeflate_zlib_decompress(decompressor, file.data() + 8, file.size() - 8, out.data(),
                                                  out.size(), nullptr) != LIBDEFLATE_SUCCESS) {
                return state.SkipWithError("a layer file did not inflate");
            }
            inflatedBytes += inflated;
        }
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(decompressor);
    state.SetLabel(wbx::Format("%d files, %d bytes inflated", static_cast<int64_t>(files.size()),
                               static_cast<int64_t>(inflatedBytes)));
}
BENCHMARK(BM_InflateLayerFiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window's ComposeTextures with every list dressed, nothing kept from
// before: every layer file read and inflated again, both textures renewed and
// painted.
void BM_ComposeTexturesOnTheDevice(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    DressEveryList(*form);
    form->ComposeTextures();
    for (auto _ : state) {
        form->LayerCache().Clear();
        form->ComposeTextures();
    }
}
BENCHMARK(BM_ComposeTexturesOnTheDevice)->Unit(benchmark::kMillisecond);

// A user's pick in one list: that item's two layer files are new on disk
// (rewritten with a new time stamp), and both textures are composed again.
// Arg 0: nothing kept from before; arg 1: the other layers kept in the cache.
void BM_ComposeTexturesAfterOnePick(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    DressEveryList(*form);
    const std::string item = form->PartCombo(wbx::plUpper)->Text();
    const std::vector<std::string> files = {wbx::LayerFileName(item, 1), wbx::LayerFileName(item, 2)};
    // The cache keeps only files whose last change has settled.
    std::this_thread::sleep_for(wbx::TLayerCache::kDefaultSettleTime);
    form->ComposeTextures();
    auto stamp = std::filesystem::file_time_type::clock::now();
    for (auto _ : state) {
        state.PauseTiming();
        stamp += std::chrono::seconds(1);
        for (const std::string& file : files) std::filesystem::last_write_time(file, stamp);
        if (state.range(0) == 0) form->LayerCache().Clear();
        state.ResumeTiming();
        form->ComposeTextures();
    }
}
BENCHMARK(BM_ComposeTexturesAfterOnePick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadModelIntoTheMesh(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    for (auto _ : state) {
        if (!form->LoadModel()) return state.SkipWithError("no model");
    }
}
BENCHMARK(BM_LoadModelIntoTheMesh)->Unit(benchmark::kMillisecond);

// One pass of the frame loop without waiting for the display: clear, render, present.
void BM_RenderIdleFrame(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    bool done = false;
    for (auto _ : state) form->RenderIdle(form.get(), done);
}
BENCHMARK(BM_RenderIdleFrame)->Unit(benchmark::kMillisecond);

// The running window left alone for two seconds, frames paced to 60 Hz: the
// share of one core the process uses (all its threads).
void BM_IdleCpu(benchmark::State& state) {
    auto form = SampleWindow(60);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    form->show();
    for (auto _ : state) {
        const uint64_t frames = form->PresentedFrameCount();
        const double cpu = ProcessCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
        state.counters["cpu_%"] = 100.0 * (ProcessCpuSeconds() - cpu) / seconds;
        state.counters["fps"] = static_cast<double>(form->PresentedFrameCount() - frames) / seconds;
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_IdleCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_ComposeTextures(benchmark::State& state) {
    if (!wbx::CheckDataFolder(SampleFolder())) return state.SkipWithError("no sample data folder");
    const wbx::TPartSelection selection = EveryListDressed();
    constexpr int32_t kPitch = wbx::kLayerTextureWidth * 2;
    std::vector<uint8_t> front(size_t{kPitch} * wbx::kLayerTextureHeight);
    std::vector<uint8_t> back(front.size());
    for (auto _ : state) {
        // Cleared and painted as a composition does, front then back.
        std::memset(front.data(), 0, front.size());
        wbx::ComposeLayers(wbx::kFrontLayerOrder, selection, front.data(), kPitch);
        std::memset(back.data(), 0, back.size());
        wbx::ComposeLayers(wbx::kBackLayerOrder, selection, back.data(), kPitch);
        benchmark::DoNotOptimize(front.data());
        benchmark::DoNotOptimize(back.data());
    }
}
BENCHMARK(BM_ComposeTextures)->Unit(benchmark::kMillisecond);

void BM_LoadModelLargest(benchmark::State& state) {
    if (!wbx::CheckDataFolder(SampleFolder())) return state.SkipWithError("no sample data folder");
    std::string largest;
    uintmax_t largestSize = 0;
    for (int type = 1; type <= 10; ++type) {
        const std::string name = wbx::ModelFileName(wbx::Format("type%d", type));
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(name, ec);
        if (!ec && size > largestSize) largest = name, largestSize = size;
    }
    state.SetLabel(wbx::Format("%d bytes", static_cast<int64_t>(largestSize)));
    for (auto _ : state) {
        auto pdt = wbx::ReadModelFile(largest);
        benchmark::DoNotOptimize(pdt);
    }
}
BENCHMARK(BM_LoadModelLargest)->Unit(benchmark::kMillisecond);

// Start-up to the first frame, each as a whole process, in turn within every
// iteration (so that a noisy machine weighs on all alike): the viewer's
// snapshot run (start, first frame presented, written as PNG) and its peer, a
// bare Qt program that shows one image and writes it ("bare_png"); the
// viewer's window as the program builds it (menus, panels, browser; ends at
// its first frame) and its peer, the bare program ending once painted. Reported: the medians of each one's
// time ("*_ms") and peak resident memory ("*_MiB"), and the viewer's against the peer's as a ratio of times
// ("*_x") and a difference of peaks ("*_plus_MiB"); "*_spread_ms" is the
// largest minus the smallest time. The platform is offscreen, or
// WBX_START_PLATFORM's (xcb with DISPLAY on an X server).
struct TStartRun {
    double Seconds = 0;
    double PeakMiB = 0;
};

// Runs arguments to its end through the measuring helper (its figures are
// the program's own); false when it could not start or failed.
bool RunToEnd(const std::vector<std::string>& arguments, TStartRun& run) {
    std::string command = "'" WBX_MEASURED_RUN_EXECUTABLE "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    double kib = 0;
    const bool read = std::fscanf(pipe, "%lf %lf", &run.Seconds, &kib) == 2;
    if (::pclose(pipe) != 0 || !read) return false;
    run.PeakMiB = kib / 1024.0;
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void BM_StartToFirstFrame(benchmark::State& state) {
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    const std::string png = (temp / "wbx_bench_app_first_frame.png").string();
    const std::string settings = (temp / "wbx_bench_app_start.ini").string();
    const std::string thumbnails = (temp / "wbx_bench_app_thumbnails").string();
    const std::string data = SampleFolder();
    const char* platform = std::getenv("WBX_START_PLATFORM");
    ::setenv("QT_QPA_PLATFORM", platform != nullptr && *platform != '\0' ? platform : "offscreen", 1);
    // Each of the viewer's runs, then its peer: the snapshot writes its frame
    // as PNG, and so does its peer; the window and its peer end when painted.
    const std::vector<std::pair<std::string, std::vector<std::string>>> programs = {
        {"snapshot", {WBX_VIEWER_EXECUTABLE, "--data", data, "--snapshot", png}},
        {"bare_png", {WBX_BARE_IMAGE_EXECUTABLE, png}},
        {"window", {WBX_WINDOW_START_EXECUTABLE, data, settings, thumbnails}},
        {"bare", {WBX_BARE_IMAGE_EXECUTABLE}},
    };
    std::vector<std::vector<double>> seconds(programs.size()), peaks(programs.size());
    for (auto _ : state) {
        double total = 0;
        for (size_t i = 0; i < programs.size(); ++i) {
            TStartRun run;
            if (!RunToEnd(programs[i].second, run))
                return state.SkipWithError((programs[i].first + " failed").c_str());
            seconds[i].push_back(run.Seconds);
            peaks[i].push_back(run.PeakMiB);
            total += run.Seconds;
        }
        state.SetIterationTime(total);
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        const std::string& name = programs[i].first;
        const size_t bare = i | 1;
        state.counters[name + "_ms"] = Median(seconds[i]) * 1e3;
        state.counters[name + "_spread_ms"] = (*std::max_element(seconds[i].begin(), seconds[i].end()) -
                                               *std::min_element(seconds[i].begin(), seconds[i].end())) *
                                              1e3;
        state.counters[name + "_MiB"] = Median(peaks[i]);
        if (i == bare) continue;  // a peer
        state.counters[name + "_x"] = Median(seconds[i]) / Median(seconds[bare]);
        state.counters[name + "_plus_MiB"] = Median(peaks[i]) - Median(peaks[bare]);
    }
}
BENCHMARK(BM_StartToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);

}  // namespace
