#pragma once
// Test support: bitmap file images written byte by byte, the way a Windows
// program writes them (14-byte file header, 40-byte (or longer) information header,
// 256-entry palette for 8 bits, bottom-up rows padded to 4 bytes).

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace wbx::testing {

// pixel(x, y) gives the raw pixel value (its low bitCount/8 bytes are stored)
// of column x in row y counted from the top of the image.
// palette: ARGB entries for 8-bit images (stored blue, green, red, 0).
// infoHeaderSize: 40, or 108 / 124 for the later header versions (their
// fields beyond the first 40 bytes are written as zeros).
inline std::vector<uint8_t> MakeBitmap(int32_t width, int32_t height, uint16_t bitCount,
                                       const std::function<uint32_t(int32_t, int32_t)>& pixel,
                                       const std::vector<uint32_t>& palette = {},
                                       uint32_t infoHeaderSize = 40) {
    const uint32_t bytesPerPixel = bitCount / 8;
    const uint32_t rowLength = (static_cast<uint32_t>(width) * bytesPerPixel + 3) & ~3u;
    const uint32_t paletteBytes = bitCount <= 8 ? 1024 : 0;
    const uint32_t offset = 14 + infoHeaderSize + paletteBytes;
    const uint32_t imageSize = rowLength * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(0x4D42, 2);
    put(offset + imageSize, 4);
    put(0, 4);
    put(offset, 4);
    put(infoHeaderSize, 4);
    put(static_cast<uint32_t>(width), 4);
    put(static_cast<uint32_t>(height), 4);
    put(1, 2);
    put(bitCount, 2);
    put(0, 4);
    put(imageSize, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    out.resize(14 + infoHeaderSize, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) put(i < palette.size() ? palette[i] & 0xFFFFFF : 0, 4);
    for (int32_t y = height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int32_t x = 0; x < width; ++x) put(pixel(x, y), static_cast<int>(bytesPerPixel));
        out.resize(rowStart + rowLength, 0);
    }
    return out;
}

}  // namespace wbx::testing
