#include "sampledata/partcatalogue.h"

#include <stdexcept>

#include "base/format.h"

namespace wbx::sampledata {

const std::array<PartList, kPartListCount>& PartLists() {
    static const std::array<PartList, kPartListCount> lists{{
        {"hair", 0, "00_*_02.pav", {1, 2, 3, 4}, 4},
        {"body", 1, "01_*_01.pav", {1, 7, 8, 6}, 3},
        {"upper", 2, "02_*_01.pav", {1, 2}, 5},
        {"bottom", 3, "03_*_01.pav", {1, 2}, 4},
        {"shoes", 4, "04_*_01.pav", {1, 2}, 3},
        {"wear", 5, "05_*_01.pav", {1, 2}, 3},
        {"face", 6, "06_*_01.pav", {1, 2}, 3},
        {"costume", 7, "07_*_01.pav", {1, 2}, 2},
        {"fashion", 8, "08_*_01.pav", {1, 2}, 3},
        {"accessory", 9, "09_*_01.pav", {1, 2}, 3},
    }};
    return lists;
}

Face FaceOfLayer(int listIndex, int layerIndex) {
    if (listIndex == 0) return layerIndex <= 2 ? Face::Front : Face::Back;
    if (listIndex == 1) return (layerIndex == 1 || layerIndex == 7) ? Face::Front : Face::Back;
    return layerIndex == 1 ? Face::Front : Face::Back;
}

std::string ItemPrefix(int listIndex, int itemIndex) {
    if (listIndex < 0 || listIndex >= kPartListCount || itemIndex < 0 || itemIndex > 98) {
        throw std::out_of_range("item outside the catalogue");
    }
    // Identifiers are five digits: 1, the category, two digits of the item, 0.
    return Format("%.2d_1%d%.2d0", listIndex, listIndex, itemIndex + 1);
}

std::string LayerFileName(const std::string& prefix, int layerIndex) {
    return Format("%s_%.2d.pav", prefix, layerIndex);
}

}  // namespace wbx::sampledata
