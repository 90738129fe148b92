#pragma once
// The catalogue: every item of the chosen slots dressed on one body type
// (the rest of the outfit as given), drawn from the front and from behind at
// the picture size and once more, from the front, at the thumbnail size;
// the pictures go into the output folder as SLOT/ITEM-VIEW.png, with the
// manifest and the gallery page beside them (cataloguemanifest.h).
//
// How it runs:
//   - Work is spread over threads, one offscreen renderer each; entries are
//     written in catalogue order (slots in their order, items as the slot's
//     list offers them, views front, back, thumbnail) whatever the threads
//     do, and only a bounded window of finished items waits for its turn:
//     memory stays flat however large the catalogue.
//   - Same inputs, same bytes: a picture depends only on what it shows, not
//     on the thread that drew it or the run that made it.
//   - Resumable: each picture carries a stamp (pngsummary.h) with the
//     identity of what it was made from (the model file's and the layer
//     files' contents, the view, size, background, scale and this program's
//     version). A picture that is whole and whose stamp matches is kept as
//     it is; anything else is made again. Files are written to temporaries
//     and renamed (atomicfile.h); the temporaries of an interrupted run are
//     removed when the next one starts.
//   - Shards: part K of N takes the K-th of N consecutive runs of items and
//     writes its entries to a shard file instead of the manifest; merging
//     the shard files (MergeShards) gives the manifest and gallery of a
//     single run.
//   - A damaged layer file fails that item's pictures (recorded in the
//     manifest, reported through Report); a damaged model file fails every
//     picture; the rest of the work goes on. A full disk stops the run.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/cataloguemanifest.h"
#include "viewer/composition.h"
#include "viewer/offscreenrenderer.h"

namespace wbx {

struct TCatalogueSettings {
    std::string Body = "type1";    // the model
    std::vector<TPartList> Slots;  // in slot order, each once
    TPartSelection Base;           // the rest of the outfit ("" for none)
    int32_t Width = kViewerWidth;
    int32_t Height = kViewerHeight;
    int32_t ThumbnailWidth = 128;
    int32_t ThumbnailHeight = 128;
    TBackground Background = TBackground::Grey;
    float Zoom = 1.0f;
};

struct TCatalogueProgress {
    int64_t Done = 0;      // items finished (made, kept or failed)
    int64_t Total = 0;     // items of this run (its shard)
    int64_t Rendered = 0;  // pictures made
    int64_t Kept = 0;      // pictures already complete and current
    int64_t Failed = 0;    // pictures that could not be made
};

struct TCatalogueRun {
    std::string Folder;   // the output folder; must exist and be writable
    int32_t Threads = 1;  // workers, 1 or more
    int32_t Shard = 1;    // this run is part Shard of Shards
    int32_t Shards = 1;
    // Called on the calling thread after each item (may be empty).
    std::function<void(const TCatalogueProgress&)> Progress;
    // Called on the calling thread with a line for each failure (may be empty).
    std::function<void(const std::string&)> Report;
};

enum class TCatalogueStatus {
    Done,          // every picture made or kept, manifest written
    Failed,        // some pictures failed (see the manifest); the rest is done
    Stopped,       // a write failed for lack of space: no manifest written
    MissingModel,  // the body type's model file does not exist: nothing done
};

struct TCatalogueOutcome {
    TCatalogueStatus Status = TCatalogueStatus::Done;
    TCatalogueProgress Progress;
    std::string Message;  // for Stopped and MissingModel
};

// The items of the catalogue, in order: (slot, item) for each slot's items.
struct TCatalogueItem {
    TPartList Slot;
    std::string Item;
};
std::vector<TCatalogueItem> CatalogueItems(const std::vector<TPartList>& slots);

// The items [first, end) of shard (1-based) of shards among count items.
std::pair<int64_t, int64_t> ShardRange(int64_t count, int32_t shard, int32_t shards);

// The picture of an item and view, relative to the output folder.
std::string CataloguePictureName(TPartList slot, const std::string& item, TCatalogueView view);

// Runs the catalogue into run.Folder (the data folder must be set: see
// datafolder.h). Raises Exception only for what stops it before any work
// (the output folder cannot be written, no renderer could be made).
TCatalogueOutcome RunCatalogue(const TCatalogueSettings& settings, const TCatalogueRun& run);

}  // namespace wbx
