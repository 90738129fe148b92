#pragma once
// What a catalogue made, as its manifest lists it: one entry per picture
// (slot, item, view, file, size in bytes, the figure's bounding box in
// pixels, SHA-256), or, for a picture that could not be made, the reason.
//
// The manifest comes in two forms beside the pictures: manifest.csv (a
// header line, then one line per entry; RFC 4180 quoting) and manifest.json
// (the catalogue's settings, then the entries). With them the gallery page,
// index.html (gallery.h). A shard of a catalogue writes its entries into
// .shards/K-of-N.jsonl instead (JSON Lines: the settings, then one entry a
// line); merging the N shard files gives the three files a single run would
// have written, byte for byte.
//
// Everything here is written in entry order as entries arrive, never held
// whole: memory stays flat however large the catalogue.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "viewer/atomicfile.h"
#include "viewer/partlists.h"
#include "viewer/rgbaimage.h"

namespace wbx {

// The pictures made of each item.
enum class TCatalogueView : int8_t { Front, Back, Thumbnail };
inline constexpr int kCatalogueViewCount = 3;
const char* ViewName(TCatalogueView view);

struct TCatalogueEntry {
    TPartList Slot = plHair;
    std::string Item;
    TCatalogueView View = TCatalogueView::Front;
    std::string File;  // relative to the output folder, '/' between folders; "" when failed
    int64_t Bytes = 0;
    TPixelBounds Figure;  // where the figure is drawn
    std::string Sha256;   // of the file, hexadecimal
    std::string Error;    // not empty: the picture could not be made, for this reason
    bool operator==(const TCatalogueEntry&) const = default;
};

// The settings a manifest records, as text ready for its header: they are
// the same in every shard of one catalogue and in the merged result.
struct TCatalogueHeader {
    std::string Generator;           // "wardrobix 0.1.0"
    std::string Body;                // "type1"
    std::vector<std::string> Slots;  // the slots catalogued, in order
    std::vector<std::string> Base;   // the base outfit's item per slot (kPartListCount, "" for none)
    int32_t Width = 0, Height = 0;
    int32_t ThumbnailWidth = 0, ThumbnailHeight = 0;
    std::string Background;  // "grey" or "transparent"
    double Zoom = 1;
    int64_t Jobs = 0;  // items in the whole catalogue (all shards)
    bool operator==(const TCatalogueHeader&) const = default;
};

// The final manifest and gallery of a catalogue, written as entries arrive
// (in catalogue order: by slot, then item, then view) into temporary files
// that Finish puts in place.
class TManifestWriter {
public:
    TManifestWriter(const std::string& folder, const TCatalogueHeader& header, const std::string& tag);
    ~TManifestWriter();
    void Add(const TCatalogueEntry& entry);
    void Finish();

private:
    struct TFiles;
    std::unique_ptr<TFiles> files_;
    bool firstEntry_ = true;
};

// A shard's entries, written as they arrive into .shards/K-of-N.jsonl.
class TShardWriter {
public:
    TShardWriter(const std::string& folder, int32_t shard, int32_t shards, const TCatalogueHeader& header,
                 int64_t firstJob, int64_t endJob, const std::string& tag);
    void Add(const TCatalogueEntry& entry);
    void Finish();

private:
    TAtomicFile file_;
};

std::string ShardFileName(const std::string& folder, int32_t shard, int32_t shards);

// One line of a shard file read back. Raises Exception with the reason for
// anything that is not such a line.
struct TShardLine {
    bool IsHeader = false;
    TCatalogueHeader Header;        // IsHeader
    int32_t Shard = 0, Shards = 0;  // IsHeader
    int64_t FirstJob = 0, EndJob = 0;
    TCatalogueEntry Entry;  // !IsHeader
};
TShardLine ParseShardLine(const std::string& line);

// Reads the N shard files of folder in order and writes the final manifest
// and gallery, then removes the shard files. Raises Exception naming what is
// missing or inconsistent (a shard absent, settings that differ, entries out
// of order or short of the catalogue), before anything is replaced.
void MergeShards(const std::string& folder);

}  // namespace wbx
