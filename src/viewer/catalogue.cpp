#include "viewer/catalogue.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "base/format.h"
#include "base/path.h"
#include "viewer/atomicfile.h"
#include "viewer/commandline.h"
#include "viewer/datafolder.h"
#include "viewer/pngsummary.h"
#include "viewer/pngwriter.h"
#include "viewer/sha256.h"
#include "viewer/slotnames.h"

namespace wbx {

namespace {

// Changes whenever the pictures a catalogue makes would change for the same
// inputs; part of every picture's stamp, so such a change redraws everything.
constexpr const char* kPictureRevision = "wardrobix catalogue picture 1";

// Finished items that may wait for an earlier one, per worker.
constexpr int64_t kWindowPerThread = 8;

// The largest picture file a resumed run reads back to check.
constexpr int64_t kMaxPictureBytes = int64_t{1} << 30;

// The contents' digests of the files a picture is made from, kept while the
// file keeps its size and modification time.
class TFileDigests {
public:
    // "-" for a file that does not exist.
    const std::string& Of(const std::string& fileName) {
        struct stat st {};
        if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return missing_;
        TDigest& digest = digests_[fileName];
        if (!digest.Hex.empty() && digest.Size == st.st_size && digest.Modified == st.st_mtim.tv_sec &&
            digest.ModifiedNanoseconds == st.st_mtim.tv_nsec)
            return digest.Hex;
        digest.Size = st.st_size;
        digest.Modified = st.st_mtim.tv_sec;
        digest.ModifiedNanoseconds = st.st_mtim.tv_nsec;
        TSha256 hash;
        std::ifstream in(fileName, std::ios::binary);
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            hash.Update(buffer, static_cast<size_t>(in.gcount()));
        // A file that cannot be read has no digest: its pictures are always made again.
        digest.Hex = in.bad() ? "unreadable" : DigestHex(hash.Final());
        if (digests_.size() > 4096) digests_.clear();  // bounded; the base outfit's come back at once
        return digest.Hex;
    }
    void Forget(const std::string& fileName) { digests_.erase(fileName); }

private:
    struct TDigest {
        int64_t Size = 0;
        int64_t Modified = 0;
        int64_t ModifiedNanoseconds = 0;
        std::string Hex;
    };
    std::unordered_map<std::string, TDigest> digests_;
    std::string missing_ = "-";
};

struct TViewSpec {
    TCatalogueView View;
    int32_t Yaw;
    int32_t Width;
    int32_t Height;
    bool Back;
};

std::string BackgroundName(TBackground background) {
    return background == TBackground::Transparent ? "transparent" : "grey";
}

// The digests of the layers a side of the figure is composed from, one line
// each, as a picture's identity names them.
std::string LayerLines(const TLayerOrder& order, const TPartSelection& outfit, TFileDigests& digests) {
    std::string lines;
    for (const TLayerStep& step : order) {
        const std::string& item = outfit[static_cast<size_t>(step.List)];
        lines += item.empty() ? std::string("layer -\n")
                              : "layer " + digests.Of(LayerFileName(item, step.LayerIndex)) + "\n";
    }
    return lines;
}

// The identity of what a picture shows; layerLines: LayerLines of the side it shows.
std::string SourceKey(const TCatalogueSettings& settings, const TViewSpec& view,
                      const std::string& modelDigest, const std::string& layerLines) {
    TSha256 hash;
    hash.Update(std::string(kPictureRevision) + " " + ProgramVersion() + "\n");
    hash.Update(Format("view %s yaw %d pitch 0 scale %.9g size %dx%d background %s\nmodel %s\n",
                       ViewName(view.View), view.Yaw, static_cast<double>(settings.Zoom), view.Width,
                       view.Height, BackgroundName(settings.Background), modelDigest));
    hash.Update(layerLines);
    return DigestHex(hash.Final());
}

// The entry of a picture a previous run left, when it is whole and was made
// from the same source.
bool Reuse(const std::string& fileName, const std::string& source, TCatalogueEntry& entry) {
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxPictureBytes) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return false;
    const std::optional<TPngInfo> info = SummarizePng(bytes);
    if (!info) return false;
    for (const TPngText& text : info->Texts) {
        if (text.Keyword != kStampKeyword) continue;
        const std::optional<TPictureStamp> stamp = ParseStamp(text.Text);
        if (!stamp || stamp->Source != source) return false;
        entry.Bytes = static_cast<int64_t>(bytes.size());
        entry.Figure = stamp->Figure;
        entry.Sha256 = Sha256Hex(bytes.data(), bytes.size());
        return true;
    }
    return false;
}

// The work of one item, and what came of it.
struct TItemResult {
    TCatalogueEntry Entries[kCatalogueViewCount];
    int Rendered = 0;
    int Kept = 0;
    int Failed = 0;
    bool OutOfSpace = false;
    std::vector<std::string> Reports;
};

// Everything the workers share.
struct TShared {
    const TCatalogueSettings* Settings = nullptr;
    std::string Folder;  // with a trailing separator
    std::string Tag;     // of this run's temporaries
    std::vector<TCatalogueItem> Items;
    int64_t First = 0, End = 0;
    std::string ModelDigest;
    std::string ModelError;  // not empty: the model file is damaged; every picture fails with it

    std::mutex Mutex;
    std::condition_variable Claimable;  // a slot of the window came free, or the run stops
    std::condition_variable Finished;   // an item was finished
    int64_t Next = 0;                   // the next item to claim
    int64_t Written = 0;                // items handed to the manifest so far
    int64_t Window = 0;
    std::vector<std::optional<TItemResult>> Results;  // Window slots, item i in slot i % Window
    bool Stop = false;                                // out of space: no more claims
    int Running = 0;                                  // workers not yet ended
};

// Only the base outfit's layers come back with the next item: the item's own
// would fill the renderer's cache (renderer may be null) and the digests for
// nothing, item after item.
void ForgetOwnLayers(const TCatalogueSettings& settings, const TCatalogueItem& item,
                     TOffscreenRenderer* renderer, TFileDigests& digests) {
    if (item.Item == settings.Base[static_cast<size_t>(item.Slot)]) return;
    for (const TLayerOrder* order : {&kFrontLayerOrder, &kBackLayerOrder}) {
        for (const TLayerStep& step : *order) {
            if (step.List != item.Slot) continue;
            const std::string fileName = LayerFileName(item.Item, step.LayerIndex);
            if (renderer != nullptr) renderer->LayerCache().Forget(fileName);
            digests.Forget(fileName);
        }
    }
}

TItemResult MakeItem(TShared& shared, const TCatalogueItem& item, TOffscreenRenderer* renderer,
                     TPngWriter& png, TFileDigests& digests, TRenderedPicture& picture) {
    const TCatalogueSettings& settings = *shared.Settings;
    TItemResult result;
    TPartSelection outfit = settings.Base;
    outfit[static_cast<size_t>(item.Slot)] = item.Item;
    const TViewSpec views[kCatalogueViewCount] = {
        {TCatalogueView::Front, 0, settings.Width, settings.Height, false},
        {TCatalogueView::Back, 2048, settings.Width, settings.Height, true},
        {TCatalogueView::Thumbnail, 0, settings.ThumbnailWidth, settings.ThumbnailHeight, false},
    };
    std::string sources[kCatalogueViewCount];
    // Each side's layers are looked up once for the views that show it.
    std::optional<std::string> layerLines[2];
    bool pending[kCatalogueViewCount] = {false, false, false};
    bool any = false;
    for (int v = 0; v < kCatalogueViewCount; ++v) {
        TCatalogueEntry& entry = result.Entries[v];
        entry.Slot = item.Slot;
        entry.Item = item.Item;
        entry.View = views[v].View;
        const std::string name = CataloguePictureName(item.Slot, item.Item, views[v].View);
        if (!shared.ModelError.empty()) {
            entry.Error = shared.ModelError;
            ++result.Failed;
            continue;
        }
        std::optional<std::string>& lines = layerLines[views[v].Back ? 1 : 0];
        if (!lines) lines = LayerLines(views[v].Back ? kBackLayerOrder : kFrontLayerOrder, outfit, digests);
        sources[v] = SourceKey(settings, views[v], shared.ModelDigest, *lines);
        if (Reuse(shared.Folder + name, sources[v], entry)) {
            entry.File = name;
            ++result.Kept;
            continue;
        }
        pending[v] = any = true;
    }
    if (!any) {
        ForgetOwnLayers(settings, item, renderer, digests);
        return result;
    }

    std::string composeError;
    try {
        renderer->ComposeTextures(outfit);
    } catch (const std::exception& error) {
        composeError = error.what();
        result.Reports.push_back(Format("%s %s: %s", SlotName(item.Slot), item.Item, composeError));
    }
    ForgetOwnLayers(settings, item, renderer, digests);
    for (int v = 0; v < kCatalogueViewCount; ++v) {
        if (!pending[v]) continue;
        TCatalogueEntry& entry = result.Entries[v];
        if (!composeError.empty()) {
            entry.Error = composeError;
            ++result.Failed;
            continue;
        }
        const std::string name = CataloguePictureName(item.Slot, item.Item, views[v].View);
        try {
            renderer->Render({views[v].Yaw, 0, settings.Zoom}, views[v].Width, views[v].Height,
                             settings.Background, picture);
            const std::vector<uint8_t>& bytes =
                png.Encode(picture.Image, {{kStampKeyword, FormatStamp({sources[v], picture.Figure})}});
            WriteFileAtomically(shared.Folder + name, bytes, shared.Tag);
            entry.File = name;
            entry.Bytes = static_cast<int64_t>(bytes.size());
            entry.Figure = picture.Figure;
            entry.Sha256 = Sha256Hex(bytes.data(), bytes.size());
            ++result.Rendered;
        } catch (const EWriteFailure& error) {
            entry.Error = error.Message();
            result.OutOfSpace = result.OutOfSpace || error.OutOfSpace();
            result.Reports.push_back(error.Message());
            ++result.Failed;
        } catch (const std::exception& error) {
            entry.Error = error.what();
            result.Reports.push_back(
                Format("%s %s %s: %s", SlotName(item.Slot), item.Item, ViewName(views[v].View), entry.Error));
            ++result.Failed;
        }
    }
    return result;
}

void Work(TShared& shared, TOffscreenRenderer* renderer) {
    TPngWriter png;
    TFileDigests digests;
    TRenderedPicture picture;  // each picture drawn into the last one's buffer
    while (true) {
        int64_t index;
        {
            std::unique_lock<std::mutex> lock(shared.Mutex);
            shared.Claimable.wait(lock, [&] {
                return shared.Stop || shared.Next >= shared.End ||
                       shared.Next < shared.Written + shared.Window;
            });
            if (shared.Stop || shared.Next >= shared.End) break;
            index = shared.Next++;
        }
        TItemResult result;
        try {
            result =
                MakeItem(shared, shared.Items[static_cast<size_t>(index)], renderer, png, digests, picture);
        } catch (const std::exception& error) {
            // Nothing but memory can fail here; the item is failed, the run goes on.
            const TCatalogueItem& item = shared.Items[static_cast<size_t>(index)];
            result = TItemResult{};
            for (int v = 0; v < kCatalogueViewCount; ++v)
                result.Entries[v] = {item.Slot, item.Item,   static_cast<TCatalogueView>(v), "", 0, {},
                                     "",        error.what()};
            result.Failed = kCatalogueViewCount;
        }
        std::lock_guard<std::mutex> lock(shared.Mutex);
        if (result.OutOfSpace) shared.Stop = true;
        shared.Results[static_cast<size_t>(index % shared.Window)] = std::move(result);
        shared.Finished.notify_all();
        if (shared.Stop) shared.Claimable.notify_all();
    }
    std::lock_guard<std::mutex> lock(shared.Mutex);
    --shared.Running;
    shared.Finished.notify_all();
}

TCatalogueHeader HeaderOf(const TCatalogueSettings& settings, int64_t items) {
    TCatalogueHeader header;
    header.Generator = "wardrobix " + ProgramVersion();
    header.Body = settings.Body;
    for (const TPartList slot : settings.Slots) header.Slots.push_back(SlotName(slot));
    header.Base.assign(settings.Base.begin(), settings.Base.end());
    header.Width = settings.Width;
    header.Height = settings.Height;
    header.ThumbnailWidth = settings.ThumbnailWidth;
    header.ThumbnailHeight = settings.ThumbnailHeight;
    header.Background = BackgroundName(settings.Background);
    header.Zoom = static_cast<double>(settings.Zoom);
    header.Jobs = items;
    return header;
}

}  // namespace

std::vector<TCatalogueItem> CatalogueItems(const std::vector<TPartList>& slots) {
    std::vector<TCatalogueItem> items;
    std::vector<TStringList> lists = SlotItems(slots);
    for (size_t i = 0; i < slots.size(); ++i)
        for (std::string& item : lists[i]) items.push_back({slots[i], std::move(item)});
    return items;
}

std::pair<int64_t, int64_t> ShardRange(int64_t count, int32_t shard, int32_t shards) {
    return {count * (shard - 1) / shards, count * shard / shards};
}

std::string CataloguePictureName(TPartList slot, const std::string& item, TCatalogueView view) {
    return std::string(SlotName(slot)) + "/" + item + "-" + ViewName(view) + ".png";
}

TCatalogueOutcome RunCatalogue(const TCatalogueSettings& settings, const TCatalogueRun& run) {
    TCatalogueOutcome outcome;
    TShared shared;
    shared.Settings = &settings;
    shared.Folder = IncludeTrailingPathDelimiter(run.Folder);
    shared.Tag = run.Shards > 1 ? Format("s%dof%d", run.Shard, run.Shards) : "all";
    shared.Items = CatalogueItems(settings.Slots);
    const auto [first, end] = ShardRange(static_cast<int64_t>(shared.Items.size()), run.Shard, run.Shards);
    shared.First = first;
    shared.End = end;
    shared.Next = first;
    shared.Written = first;
    outcome.Progress.Total = end - first;

    // The model, read once: its digest names it in every stamp.
    const std::string modelFile = ModelFileName(settings.Body);
    std::ifstream modelStream(modelFile, std::ios::binary);
    if (!modelStream) {
        outcome.Status = TCatalogueStatus::MissingModel;
        outcome.Message = Format("the model file \"%s\" is missing.", modelFile);
        return outcome;
    }
    TMemoryStream modelBytes;
    modelBytes.Bytes().assign(std::istreambuf_iterator<char>(modelStream), std::istreambuf_iterator<char>());
    shared.ModelDigest = Sha256Hex(modelBytes.Memory(), modelBytes.Bytes().size());
    TPdtRec model;
    try {
        model = ReadPdt(modelBytes, modelFile);
        if (model.Objects.empty())
            throw Exception(Format("The model file \"%s\" holds no object.", modelFile));
    } catch (const std::exception& error) {
        shared.ModelError = error.what();
        if (run.Report) run.Report(shared.ModelError);
    }

    // Before any work: the folders, the leftovers of an interrupted run,
    // and the renderers.
    for (const TPartList slot : settings.Slots) {
        std::error_code ec;
        std::filesystem::create_directories(shared.Folder + SlotName(slot), ec);
        if (ec)
            throw Exception(
                Format("Cannot make the folder \"%s\" (%s).", shared.Folder + SlotName(slot), ec.message()));
    }
    RemoveStaleTemporaries(run.Folder, shared.Tag);
    const int32_t threads =
        static_cast<int32_t>(std::clamp<int64_t>(run.Threads, 1, std::max<int64_t>(1, end - first)));
    std::vector<std::unique_ptr<TOffscreenRenderer>> renderers;
    if (shared.ModelError.empty() && end > first) {
        for (int32_t t = 0; t < threads; ++t) {
            renderers.push_back(
                std::make_unique<TOffscreenRenderer>(std::max(settings.Width, settings.ThumbnailWidth),
                                                     std::max(settings.Height, settings.ThumbnailHeight)));
            renderers.back()->SetModel(model);
        }
    } else {
        renderers.resize(static_cast<size_t>(threads));
    }

    const TCatalogueHeader header = HeaderOf(settings, static_cast<int64_t>(shared.Items.size()));
    std::unique_ptr<TManifestWriter> manifest;
    std::unique_ptr<TShardWriter> shardFile;
    if (run.Shards > 1) {
        std::error_code ec;
        std::filesystem::create_directories(
            std::filesystem::path(ShardFileName(run.Folder, run.Shard, run.Shards)).parent_path(), ec);
        shardFile =
            std::make_unique<TShardWriter>(run.Folder, run.Shard, run.Shards, header, first, end, shared.Tag);
    } else {
        manifest = std::make_unique<TManifestWriter>(run.Folder, header, shared.Tag);
    }

    shared.Window = kWindowPerThread * threads;
    shared.Results.resize(static_cast<size_t>(shared.Window));
    shared.Running = threads;
    std::vector<std::thread> workers;
    for (int32_t t = 0; t < threads; ++t)
        workers.emplace_back(Work, std::ref(shared), renderers[size_t(t)].get());

    // This thread writes the entries in order as they become ready.
    std::optional<EWriteFailure> manifestFailure;
    bool stopped = false;
    {
        std::unique_lock<std::mutex> lock(shared.Mutex);
        while (shared.Written < end) {
            std::optional<TItemResult>& slot =
                shared.Results[static_cast<size_t>(shared.Written % shared.Window)];
            if (!slot) {
                if (shared.Running == 0 || (shared.Stop && shared.Next <= shared.Written)) {
                    stopped = true;
                    break;
                }
                shared.Finished.wait(lock);
                continue;
            }
            TItemResult result = std::move(*slot);
            slot.reset();
            ++shared.Written;
            shared.Claimable.notify_all();
            lock.unlock();
            if (!manifestFailure) {
                try {
                    for (const TCatalogueEntry& entry : result.Entries) {
                        if (manifest) manifest->Add(entry);
                        if (shardFile) shardFile->Add(entry);
                    }
                } catch (const EWriteFailure& error) {
                    manifestFailure = error;
                }
            }
            ++outcome.Progress.Done;
            outcome.Progress.Rendered += result.Rendered;
            outcome.Progress.Kept += result.Kept;
            outcome.Progress.Failed += result.Failed;
            if (run.Report)
                for (const std::string& line : result.Reports) run.Report(line);
            if (run.Progress) run.Progress(outcome.Progress);
            lock.lock();
            if (manifestFailure && manifestFailure->OutOfSpace()) {
                shared.Stop = true;
                shared.Claimable.notify_all();
            }
        }
        stopped = stopped || shared.Stop;
    }
    for (std::thread& worker : workers) worker.join();
    {
        const std::lock_guard<std::mutex> lock(shared.Mutex);
        stopped = stopped || shared.Stop;
    }

    if (stopped || manifestFailure) {
        outcome.Status = TCatalogueStatus::Stopped;
        outcome.Message = manifestFailure
                              ? manifestFailure->Message()
                              : std::string("the disk is full: the run stopped; run it again to resume.");
        return outcome;  // the writers' destructors remove their temporaries
    }
    try {
        if (manifest) manifest->Finish();
        if (shardFile) shardFile->Finish();
    } catch (const EWriteFailure& error) {
        outcome.Status = TCatalogueStatus::Stopped;
        outcome.Message = error.Message();
        return outcome;
    }
    outcome.Status = outcome.Progress.Failed > 0 ? TCatalogueStatus::Failed : TCatalogueStatus::Done;
    return outcome;
}

}  // namespace wbx
