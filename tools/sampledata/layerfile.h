#pragma once
// Writer of layer files (".pav"): the compressed-file wrapper around
//
//   offset 0  uint16 X, uint16 Y   top-left texel of the layer in the 256 x 512 texture
//   offset 4  uint16 W, uint16 H   size in texels
//   offset 8  W*H uint16 pixels    A1R5G5B5, rows top to bottom, each left to right
//
// A pixel is drawn by the viewer only when its bit 15 (alpha) is set.

#include <cstdint>
#include <vector>

#include "sampledata/compressedfile.h"

namespace wbx::sampledata {

inline constexpr int kTextureWidth = 256;   // texels; both composed textures have this size
inline constexpr int kTextureHeight = 512;  // texels
inline constexpr uint16_t kAlphaBit = 0x8000;

struct LayerImage {
    uint16_t X = 0, Y = 0, W = 0, H = 0;
    std::vector<uint16_t> Pixels;  // W*H pixels, row-major from the top row
};

// Options for odd and damaged content (defaults give a plain, valid file).
struct LayerFileOptions {
    size_t TrailingBytes = 0;     // extra bytes after the last pixel (readers ignore them)
    uint8_t TrailingFill = 0xA5;  // value of those bytes
    size_t MissingPixels = 0;     // pixels left off the end: the content ends early (damaged)
    CompressedFileOptions Wrapper;
};

// The uncompressed layer content. Raises std::invalid_argument when Pixels does
// not hold W*H entries or MissingPixels exceeds them. The rectangle is not
// checked against the texture, so tests can write layers that overhang it.
std::vector<uint8_t> EncodeLayerContent(const LayerImage& layer, const LayerFileOptions& options = {});
// The whole ".pav" file: the content above inside the compressed-file wrapper.
std::vector<uint8_t> EncodeLayerFile(const LayerImage& layer, const LayerFileOptions& options = {});

// 8-bit colour channels to an opaque (alpha bit set) A1R5G5B5 pixel, truncating.
constexpr uint16_t OpaquePixel(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(kAlphaBit | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

}  // namespace wbx::sampledata
