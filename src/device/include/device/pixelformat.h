#pragma once
// Conversion between the device layer's ARGB colour and the pixel layouts of
// Direct3D 9 formats, and the size of a pixel. Table-driven; pure functions.
//
// ARGB colour: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7 (in memory
// little-endian: blue, green, red, alpha).
// Pixel value: the low BitsPerPixel/8 bytes are the pixel as it lies in memory
// (little-endian); higher bytes are zero when read and ignored when written.
// Formats without a colour rule (palette, depth, unlisted) pack and unpack to 0.

#include <cstdint>

#include "d3d9/d3d9types.h"

namespace wbx {

// Bits per pixel of format; 0 for a format this layer does not know.
uint32_t BitsPerPixel(D3DFORMAT format);
// Packs an ARGB colour: each field takes the top bits of its 8-bit component.
uint32_t ARGBToPixel(uint32_t color, D3DFORMAT format);
// Packs four 8-bit components (only their low 8 bits count); the same pixel as
// ARGBToPixel of the colour built from them.
uint32_t PackARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b, D3DFORMAT format);
// Unpacks a pixel value into an ARGB colour, widening short fields to 0-255.
uint32_t PixelToARGB(uint32_t pixel, D3DFORMAT format);
// v x 255 div (2^n - 1): widens an n-bit field (1 <= n <= 8) to 0-255, truncating.
uint32_t WidenComponent(uint32_t v, uint32_t n);

}  // namespace wbx
