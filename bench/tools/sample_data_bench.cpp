// What the sample-data generator costs: the whole folder, and its parts.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "sampledata/bodymap.h"
#include "sampledata/datafolder.h"
#include "sampledata/figure.h"
#include "sampledata/itempainter.h"
#include "sampledata/layercanvas.h"
#include "sampledata/layerfile.h"
#include "sampledata/modelfile.h"
#include "sampledata/random.h"

namespace {

using namespace wbx::sampledata;

void BM_GenerateDataFolder(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "wbx-sample-data-bench";
    uint64_t bytes = 0;
    for (auto _ : state) {
        const DataFolderReport report = GenerateDataFolder(folder.string());
        bytes = report.TotalBytes;
    }
    state.counters["folder_bytes"] = static_cast<double>(bytes);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_GenerateDataFolder)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_BakeBodyMap(benchmark::State& state) {
    for (auto _ : state) {
        const BodyMap map;
        benchmark::DoNotOptimize(&map);
    }
}
BENCHMARK(BM_BakeBodyMap)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_PaintAndEncodeOneLayer(benchmark::State& state) {
    const BodyMap map;
    SampleRandom random(1);
    const ItemStyle style = MakeItemStyle(2, 3, random);  // the hooded sweater, front
    for (auto _ : state) {
        LayerCanvas canvas(map, Face::Front);
        PaintItemLayer(2, 3, 1, style, canvas);
        benchmark::DoNotOptimize(EncodeLayerFile(canvas.ToLayer()));
    }
}
BENCHMARK(BM_PaintAndEncodeOneLayer)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_BuildAndEncodeFigureModel(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeModelFile(BuildFigureModel(3)));
}
BENCHMARK(BM_BuildAndEncodeFigureModel)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace
