#pragma once
// The ten part lists of the data folder: file category, the mask the viewer
// lists items by, the layer files the composition reads for each list, how
// many items the generator draws, and the naming of items and layer files.
//
// A layer file is "<category>_<identifier>_<layer>.pav", an item is its first
// eight characters (category, "_", five-character identifier).

#include <array>
#include <string>
#include <vector>

#include "sampledata/bodymap.h"

namespace wbx::sampledata {

struct PartList {
    const char* Name;         // "hair", "body", ...
    int Category;             // 0 .. 9, the file names' first two digits
    const char* Mask;         // the viewer's listing mask
    std::vector<int> Layers;  // layer indices the composition reads, front ones first
    int ItemCount;            // regular items the generator writes
};

inline constexpr int kPartListCount = 10;
const std::array<PartList, kPartListCount>& PartLists();

// Which texture a layer index of a list belongs to: hair 1, 2 and body 1, 7
// are front layers; hair 3, 4 and body 8, 6 back layers; elsewhere 1 is
// front and 2 back.
Face FaceOfLayer(int listIndex, int layerIndex);

// "00_10010": the item prefix of the itemIndex-th (0-based) regular item.
std::string ItemPrefix(int listIndex, int itemIndex);
// "00_10010_02.pav": prefix, "_", two-digit layer index, ".pav".
std::string LayerFileName(const std::string& prefix, int layerIndex);

}  // namespace wbx::sampledata
