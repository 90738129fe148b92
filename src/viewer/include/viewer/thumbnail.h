#pragma once
// Item thumbnails: the layers one item gives one side of the figure, composed
// on transparent texels as the figure's texture would hold them, cropped to
// the rectangle of drawn texels and scaled down to fit a square.

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/partlists.h"

namespace wbx {

enum class TThumbnailSide : uint8_t { Front, Back };

// The longest side of a thumbnail, in pixels.
inline constexpr int32_t kThumbnailSize = 64;
// The largest thumbnail any reader accepts.
inline constexpr int32_t kMaxThumbnailSize = 512;

// 32-bit pixels 0xAARRGGBB, alpha not premultiplied, rows top to bottom.
// Empty (0 x 0) when the item draws nothing on that side.
struct TThumbnail {
    int32_t Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;  // Width * Height

    bool Empty() const { return Pixels.empty(); }
    bool operator==(const TThumbnail&) const = default;
};

// The layer indices an item of list paints on side, bottom to top (the steps
// of that side's layer order that belong to the list).
std::vector<int32_t> ThumbnailLayers(TPartList list, TThumbnailSide side);

// Composes the layer files (absent ones are skipped) in order into a cleared
// 256 x 512 texture, crops it to its drawn texels and scales it to fit
// maxSize x maxSize (never up): each pixel averages the texels it covers, its
// alpha the share of them drawn. A damaged layer file raises its stream error
// naming the file; what was drawn is lost with it.
TThumbnail ComposeThumbnail(const std::vector<std::string>& layerFiles, int32_t maxSize = kThumbnailSize);

// The same from a composed 256 x 512 A1R5G5B5 texture (pitch in bytes).
TThumbnail ThumbnailOfTexture(const uint8_t* bits, int32_t pitch, int32_t maxSize = kThumbnailSize);

}  // namespace wbx
