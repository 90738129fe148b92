#pragma once
// The composed textures as pictures: each A1R5G5B5 texel widened exactly to
// eight bits a channel (a 5-bit value v becomes v << 3 | v >> 2, so 0 stays 0
// and 31 becomes 255), the alpha bit to 0 or 255.

#include <cstdint>
#include <span>

#include "viewer/rgbaimage.h"

namespace wbx {

// One texel in RGBA order.
inline void WidenA1R5G5B5(uint16_t texel, uint8_t rgba[4]) {
    const auto widen = [](uint32_t v) { return static_cast<uint8_t>(v << 3 | v >> 2); };
    rgba[0] = widen(texel >> 10 & 31);
    rgba[1] = widen(texel >> 5 & 31);
    rgba[2] = widen(texel & 31);
    rgba[3] = (texel & 0x8000) != 0 ? 255 : 0;
}

// width x height texels (rows packed) as a picture with alpha.
TRgbaImage WidenTexture(std::span<const uint16_t> texels, int32_t width, int32_t height);

}  // namespace wbx
