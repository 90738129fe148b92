#pragma once
// The ten part lists of the main window and the fixed tables that go with
// them: the mask each list is filled with, whether it starts at its first file,
// and the order in which the selected items' layers are painted into the front
// and back textures.

#include <array>
#include <cstdint>

namespace wbx {

// The part lists, in the order of their masks' categories ("00" hair ... "09" accessory).
enum TPartList : int8_t {
    plHair,
    plBody,
    plUpper,
    plBottom,
    plShoes,
    plWear,
    plFace,
    plCostume,
    plFashion,
    plAccessory,
};
inline constexpr int kPartListCount = 10;

struct TPartListInfo {
    const char* Name;      // the control's name ("cbHair")
    const char* Mask;      // file mask in the avatar folder
    bool SelectFirstFile;  // start at the first file found rather than at "なし"
};

// Indexed by TPartList. Hair is found by its layer 02 file, every other part by
// its layer 01 file; only the first five lists start dressed.
inline constexpr std::array<TPartListInfo, kPartListCount> kPartLists = {{
    {"cbHair", "00_*_02.pav", true},
    {"cbBody", "01_*_01.pav", true},
    {"cbUpper", "02_*_01.pav", true},
    {"cbBottom", "03_*_01.pav", true},
    {"cbShoes", "04_*_01.pav", true},
    {"cbWear", "05_*_01.pav", false},
    {"cbFace", "06_*_01.pav", false},
    {"cbCostume", "07_*_01.pav", false},
    {"cbFashion", "08_*_01.pav", false},
    {"cbAccessory", "09_*_01.pav", false},
}};

// The item every part list holds at index 0 ("none"); it names no layer file.
inline constexpr const char* kNoPartItem = "なし";

// One painting step of a composition: a layer of the item selected in a list.
struct TLayerStep {
    TPartList List;
    int32_t LayerIndex;  // the "%.2d" of the layer file name
};
inline constexpr int kLayerStepCount = 12;
using TLayerOrder = std::array<TLayerStep, kLayerStepCount>;

// Bottom to top: later steps paint over earlier ones. Hair and body give two
// layers per side, one under everything and one (hair) above the body;
// bottoms go under uppers on both sides.
inline constexpr TLayerOrder kFrontLayerOrder = {{
    {plHair, 1},
    {plBody, 1},
    {plBody, 7},
    {plHair, 2},
    {plBottom, 1},
    {plUpper, 1},
    {plShoes, 1},
    {plWear, 1},
    {plFace, 1},
    {plCostume, 1},
    {plFashion, 1},
    {plAccessory, 1},
}};
inline constexpr TLayerOrder kBackLayerOrder = {{
    {plHair, 3},
    {plBody, 8},
    {plBody, 6},
    {plHair, 4},
    {plBottom, 2},
    {plUpper, 2},
    {plShoes, 2},
    {plWear, 2},
    {plFace, 2},
    {plCostume, 2},
    {plFashion, 2},
    {plAccessory, 2},
}};

}  // namespace wbx
