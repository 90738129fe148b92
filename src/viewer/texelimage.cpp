#include "viewer/texelimage.h"

#include <cstring>

namespace wbx {

namespace {

uint32_t Widened(uint32_t five) { return (five << 3) | (five >> 2); }

}  // namespace

uint32_t ArgbOfA1R5G5B5(uint16_t texel) {
    const uint32_t alpha = (texel & 0x8000) != 0 ? 0xFFu : 0u;
    return alpha << 24 | Widened((texel >> 10) & 31) << 16 | Widened((texel >> 5) & 31) << 8 |
           Widened(texel & 31);
}

std::vector<uint32_t> ArgbOfA1R5G5B5Rows(const uint8_t* texels, size_t pitch, uint32_t width,
                                         uint32_t height) {
    std::vector<uint32_t> pixels(size_t{width} * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = texels + y * pitch;
        for (uint32_t x = 0; x < width; ++x) {
            uint16_t texel = 0;
            std::memcpy(&texel, row + size_t{x} * 2, 2);
            pixels[size_t{y} * width + x] = ArgbOfA1R5G5B5(texel);
        }
    }
    return pixels;
}

}  // namespace wbx
