#pragma once
// The drawing rule of a layer, stated as plainly as possible, to check the
// real drawing against: every pixel in file order, drawn at (X + i mod W,
// Y + i div W) when its bit 15 is set and the texel lies in the 256 x 512
// texture. Used by the layer fuzz target and the layer sweeps.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/layer.h"

namespace wbx::testing {

// Fills texels (256 x 512, row-major) with what drawing content over a
// cleared texture gives. Returns false when the content ends before its
// W * H pixels (texels then holds the pixels that were there).
inline bool ReferenceLayerTexels(const uint8_t* content, size_t size, std::vector<uint16_t>& texels) {
    texels.assign(size_t{kLayerTextureWidth} * kLayerTextureHeight, 0);
    if (size < 8) return false;
    auto word = [&](size_t at) { return static_cast<uint16_t>(content[at] | content[at + 1] << 8); };
    const size_t x0 = word(0), y0 = word(2), width = word(4), height = word(6);
    for (size_t i = 0; i < width * height; ++i) {
        if (8 + 2 * i + 2 > size) return false;
        const uint16_t pixel = word(8 + 2 * i);
        const size_t x = x0 + i % width, y = y0 + i / width;
        if ((pixel & kLayerAlphaBit) && x < kLayerTextureWidth && y < kLayerTextureHeight)
            texels[y * kLayerTextureWidth + x] = pixel;
    }
    return true;
}

}  // namespace wbx::testing
