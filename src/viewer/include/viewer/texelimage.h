#pragma once
// The composed textures' texels (A1R5G5B5: one bit of alpha, five bits of
// each colour) as 32-bit ARGB pixels (0xAARRGGBB), for showing and saving
// them: each five-bit colour is widened to eight by repeating its top bits
// (31 -> 255, 0 -> 0), and the alpha bit becomes 0 or 255.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wbx {

uint32_t ArgbOfA1R5G5B5(uint16_t texel);

// width x height texels, rows pitch bytes apart (pitch >= width * 2), to
// width * height pixels, rows packed.
std::vector<uint32_t> ArgbOfA1R5G5B5Rows(const uint8_t* texels, size_t pitch, uint32_t width,
                                         uint32_t height);

}  // namespace wbx
