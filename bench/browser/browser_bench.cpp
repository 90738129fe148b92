// What the wardrobe browser costs: thumbnails of 1,000 items made on the
// workers (against one worker, the peer) and taken from the disk cache
// (against making them), the longest the event loop waits meanwhile, and the
// grid at 10,000 items: filling it, scrolling it, and a search (against the
// search alone).
//
// The large catalogue (1,000 items a list) is generated once into the
// temporary folder and kept for later runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/thumbnailloader.h"
#include "app/wardrobemodel.h"
#include "qtapplication.h"
#include "sampledata/datafolder.h"
#include "viewer/fileutils.h"
#include "viewer/itemsearch.h"

namespace {

using namespace wbx;

constexpr int kItems = 1000;

const std::string& CatalogueAvatarFolder() {
    static const std::string folder = [] {
        const std::filesystem::path root = std::filesystem::temp_directory_path() / "wbx-browser-bench-1000";
        const std::filesystem::path done = root / "complete";
        if (!std::filesystem::exists(done)) {
            sampledata::DataFolderOptions options;
            options.ItemsPerList = kItems;
            sampledata::GenerateDataFolder(root.string(), options);
            std::ofstream(done.string()) << "1\n";
        }
        return (root / "item" / "avatar").string() + "/";
    }();
    return folder;
}

std::vector<std::string> UpperItems() {
    TStringList items;
    EnumerateFiles(CatalogueAvatarFolder(), kPartLists[plUpper].Mask, items, AddFilePrefix);
    items.resize(std::min<size_t>(items.size(), kItems));
    return items;
}

std::string FreshCacheFolder() {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "wbx-browser-bench-cache";
    std::filesystem::remove_all(folder);
    return folder.string();
}

// The longest gap between two turns of a 1 ms timer while it lives: the
// longest the event loop stalled.
class TStallMeter {
public:
    TStallMeter() {
        QObject::connect(&ticker_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, sinceTick_.nsecsElapsed());
            sinceTick_.restart();
        });
        ticker_.start(1);
        sinceTick_.start();
    }
    double LongestMs() const { return static_cast<double>(longest_) / 1e6; }

private:
    QTimer ticker_;
    QElapsedTimer sinceTick_;
    qint64 longest_ = 0;
};

// Requests every item and runs the event loop until all are delivered.
double LoadAll(TThumbnailLoader& loader, const std::vector<std::string>& items, double& longestStallMs) {
    const TStallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < items.size(); ++i)
        loader.Request({plUpper, items[i], TThumbnailSide::Front, static_cast<int>(i)});
    if (!loader.WaitUntilIdle(600000)) throw std::runtime_error("thumbnails did not finish");
    longestStallMs = std::max(longestStallMs, stalls.LongestMs());
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// threads: 0 one per processor; cached: the cache holds every thumbnail already.
void Thumbnails(benchmark::State& state, int threads, bool cached) {
    testing::EnsureQtApplication();
    const std::vector<std::string> items = UpperItems();
    const std::string cache = FreshCacheFolder();
    if (cached) {
        TThumbnailLoader filler(CatalogueAvatarFolder(), cache);
        double ignored = 0;
        LoadAll(filler, items, ignored);
    }
    double longestStallMs = 0;
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            std::filesystem::remove_all(cache);
            state.ResumeTiming();
        }
        TThumbnailLoader loader(CatalogueAvatarFolder(), cache, threads);
        int delivered = 0;
        loader.OnReady = [&](const TThumbnailRequest&, const TThumbnailResult&) { ++delivered; };
        state.SetIterationTime(LoadAll(loader, items, longestStallMs));
        if (delivered != static_cast<int>(items.size())) state.SkipWithError("not every thumbnail arrived");
    }
    state.counters["items"] = static_cast<double>(items.size());
    state.counters["thumbnails_per_s"] =
        benchmark::Counter(static_cast<double>(items.size()) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["longest_stall_ms"] = longestStallMs;
}

void BM_ThumbnailsCold(benchmark::State& state) { Thumbnails(state, 0, false); }
void BM_ThumbnailsColdOneWorker(benchmark::State& state) { Thumbnails(state, 1, false); }
void BM_ThumbnailsFromCache(benchmark::State& state) { Thumbnails(state, 0, true); }
BENCHMARK(BM_ThumbnailsCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_ThumbnailsColdOneWorker)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_ThumbnailsFromCache)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);

// The peer of the longest stall: the same timer with nothing else running
// for two seconds (about a cold run), which shows what the machine alone adds.
void BM_EventLoopAlone(benchmark::State& state) {
    testing::EnsureQtApplication();
    for (auto _ : state) {
        const TStallMeter stalls;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(200);
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        state.counters["longest_stall_ms"] = stalls.LongestMs();
    }
}
BENCHMARK(BM_EventLoopAlone)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(5);

// 10,000 items as the grid's model, with a thumbnail for each.
std::vector<std::string> TenThousandIds() {
    std::vector<std::string> items{kNoPartItem};
    for (int i = 1; i < 10000; ++i) items.push_back("02_2" + std::to_string(10000 + i).substr(1));
    return items;
}

struct TGrid {
    TWardrobeModel model;
    QListView view;

    TGrid() {
        view.setViewMode(QListView::IconMode);
        view.setMovement(QListView::Static);
        view.setResizeMode(QListView::Adjust);
        view.setUniformItemSizes(true);
        view.setLayoutMode(QListView::Batched);
        view.setBatchSize(500);
        view.setGridSize(QSize(100, 90));
        view.setIconSize(QSize(64, 64));
        view.resize(460, 560);
        view.setModel(&model);
        view.show();
    }
    void Fill(const std::vector<std::string>& items) {
        model.SetItems(items);
        QImage picture(48, 64, QImage::Format_ARGB32);
        picture.fill(qRgba(40, 90, 200, 255));
        for (int item = 1; item < model.ItemCount(); ++item) model.SetThumbnail(item, picture);
    }
    // Lays out and paints what is in view.
    void Settle() {
        QApplication::processEvents();
        view.viewport()->repaint();
    }
};

void BM_GridFillTenThousand(benchmark::State& state) {
    testing::EnsureQtApplication();
    const std::vector<std::string> items = TenThousandIds();
    TGrid grid;
    for (auto _ : state) {
        grid.Fill(items);
        grid.Settle();
    }
}
BENCHMARK(BM_GridFillTenThousand)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// One page down per iteration, wrapping at the end: what a user scrolling waits for.
void BM_GridScrollPageTenThousand(benchmark::State& state) {
    testing::EnsureQtApplication();
    TGrid grid;
    grid.Fill(TenThousandIds());
    grid.Settle();
    QScrollBar* bar = grid.view.verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        grid.Settle();
    }
    state.counters["rows_scrolled_through"] = static_cast<double>(bar->maximum());
}
BENCHMARK(BM_GridScrollPageTenThousand)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A search keystroke: the matches over 10,000 items, the grid filtered and repainted.
void BM_SearchAndFilterTenThousand(benchmark::State& state) {
    testing::EnsureQtApplication();
    const std::vector<std::string> items = TenThousandIds();
    TGrid grid;
    grid.Fill(items);
    grid.Settle();
    TItemSearch search;
    search.SetItems(plUpper, items);
    const char* queries[] = {"2", "20", "205", "2055", "205", "20"};
    size_t at = 0;
    for (auto _ : state) {
        const TItemMatches matches = search.Find(queries[at++ % std::size(queries)]);
        grid.model.SetFilter(matches.Items[plUpper]);
        grid.Settle();
    }
}
BENCHMARK(BM_SearchAndFilterTenThousand)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The peer: the search alone.
void BM_SearchOnlyTenThousand(benchmark::State& state) {
    const std::vector<std::string> items = TenThousandIds();
    TItemSearch search;
    search.SetItems(plUpper, items);
    const char* queries[] = {"2", "20", "205", "2055", "205", "20"};
    size_t at = 0;
    for (auto _ : state) benchmark::DoNotOptimize(search.Find(queries[at++ % std::size(queries)]));
}
BENCHMARK(BM_SearchOnlyTenThousand)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
