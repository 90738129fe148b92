// What the viewer's user waits for, measured on the generated sample data:
//   composing both textures with every part list dressed (aim: under 2 ms),
//   reading the largest sample model file (aim: under 2 ms),
//   the snapshot run from process start to the written first frame (aim: under 300 ms).
// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/composition.h"
#include "app/datafolder.h"
#include "app/fileutils.h"
#include "app/layer.h"
#include "app/pathresolver.h"
#include "app/ucommon.h"
#include "base/format.h"
#include "sampledata/data_folder.h"

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
