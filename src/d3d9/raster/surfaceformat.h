#pragma once
// Texel and depth encodings of the surfaces the rasteriser reads and writes.
//
// Colours inside the pipeline are ARGB8888 (alpha in bits 24-31, blue in 0-7).
// Narrow channels widen the way Direct3D 9 samples them: an n-bit field v
// becomes round(v * 255 / (2^n - 1)), so 5-bit 16 reads 132 and 31 reads 255.
// Luminance formats replicate L into red, green and blue; formats without
// alpha read alpha 255; A8 reads colour 0.

#include <cstdint>

#include "d3d9/d3d9types.h"

namespace wbx::raster {

// Bytes one texel of a sampleable colour format occupies; 0 when the
// rasteriser cannot read the format (depth, palette, compressed, unknown).
int TexelBytes(D3DFORMAT format);

// The ARGB8888 colour of one texel whose bytes start at `texel` (not owned;
// TexelBytes(format) bytes are read). Unreadable formats give 0.
uint32_t DecodeTexel(D3DFORMAT format, const uint8_t* texel);

// Widens an n-bit field (1..16 bits) to 0..255 with rounding.
constexpr uint32_t WidenRounded(uint32_t value, int bits) {
    const uint32_t maxValue = (1u << bits) - 1;
    return (value * 255 + maxValue / 2) / maxValue;
}

// For formats of one or two bytes per texel: a table from the raw texel value
// to ARGB8888 (256 or 65536 entries), built once and shared by every draw.
// Returns nullptr for wider formats, which are decoded directly.
const uint32_t* TexelLookupTable(D3DFORMAT format);

// Depth-stencil layouts: where the depth value lives in the word and how many
// bits it has. A format the rasteriser cannot use has DepthBits 0.
struct DepthLayout {
    int BytesPerPixel = 0;  // 2 or 4
    int DepthBits = 0;      // 15, 16, 24 or 32
    int DepthShift = 0;     // bit position of the depth field's lowest bit
    int StencilBits = 0;    // 0, 1, 4 or 8, in the lowest bits
};
DepthLayout DepthLayoutOf(D3DFORMAT format);

// Quantises a depth in [0, 1] (clamped; NaN reads 0) to the layout's depth
// field: round(z * (2^bits - 1)), unshifted.
inline uint32_t QuantizeDepth(float z, const DepthLayout& layout) {
    const float clamped = z > 0.0f ? (z < 1.0f ? z : 1.0f) : 0.0f;
    if (layout.DepthBits >= 32)
        return static_cast<uint32_t>(static_cast<double>(clamped) * 4294967295.0 + 0.5);
    // Below 32 bits, single precision holds z (2^-24 steps) finely enough;
    // at 24 bits the rounding of 2^24 - 0.5 can reach 2^24, hence the min.
    const uint32_t maxValue = (1u << layout.DepthBits) - 1;
    const uint32_t q = static_cast<uint32_t>(clamped * static_cast<float>(maxValue) + 0.5f);
    return q < maxValue ? q : maxValue;
}

}  // namespace wbx::raster
