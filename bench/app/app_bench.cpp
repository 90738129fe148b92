// What the viewer's user waits for, measured on the generated sample data:
//   composing both textures with every part list dressed (aim: under 2 ms),
//     the painting alone and the window's ComposeTextures on the device,
//   reading the largest sample model file (aim: under 2 ms), alone and with
//     the window's upload into the mesh,
//   the snapshot run from process start to the written first frame (aim: under 300 ms),
//   one frame of the loop, and the CPU the running window takes while nobody
//     touches it (aim: under 15% of one core; reported as the counter "cpu_%").
// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/umain.h"
#include "base/format.h"
#include "qtapplication.h"
#include "sampledata/datafolder.h"
#include "viewer/composition.h"
#include "viewer/datafolder.h"
#include "viewer/fileutils.h"
#include "viewer/layer.h"
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

// The window's ComposeTextures with every list dressed. Arg 0: every layer
// inflated again (nothing kept from before); arg 1: the layers kept from the
// previous composition, as after a change of one list.
void BM_ComposeTexturesOnTheDevice(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    DressEveryList(*form);
    form->ComposeTextures();
    for (auto _ : state) {
        if (state.range(0) == 0) form->LayerCache().Clear();
        form->ComposeTextures();
    }
}
BENCHMARK(BM_ComposeTexturesOnTheDevice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A user's pick in one list: that item's two layer files are read afresh (their
// time stamps change, so the kept contents no longer count), the other
// layers come from the cache.
void BM_ComposeTexturesAfterOnePick(benchmark::State& state) {
    auto form = SampleWindow(1e9);
    if (!form) return state.SkipWithError("the window did not start on the sample data");
    DressEveryList(*form);
    const std::string item = form->PartCombo(wbx::plUpper)->Text();
    const std::vector<std::string> files = {wbx::LayerFileName(item, 1), wbx::LayerFileName(item, 2)};
    form->ComposeTextures();
    auto stamp = std::filesystem::file_time_type::clock::now();
    for (auto _ : state) {
        state.PauseTiming();
        stamp += std::chrono::seconds(1);
        for (const std::string& file : files) std::filesystem::last_write_time(file, stamp);
        state.ResumeTiming();
        form->ComposeTextures();
    }
}
BENCHMARK(BM_ComposeTexturesAfterOnePick)->Unit(benchmark::kMillisecond);

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

void BM_SnapshotStartToFirstFrame(benchmark::State& state) {
    const std::string png = (std::filesystem::temp_directory_path() / "wbx_bench_app_snapshot.png").string();
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + WBX_VIEWER_EXECUTABLE +
                                "' --data '" + SampleFolder() + "' --snapshot '" + png + "' 2>/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) return state.SkipWithError("the snapshot run failed");
    }
}
BENCHMARK(BM_SnapshotStartToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
