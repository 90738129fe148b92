#pragma once
// TRgbaImage: a picture on its way out of the viewer (a rendered view, a
// widened texture, a turntable frame). Eight bits per channel in the order
// red, green, blue, alpha; rows packed top to bottom.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wbx {

// A rectangle of pixels; Width or Height 0 is the empty rectangle.
struct TPixelBounds {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Empty() const { return Width <= 0 || Height <= 0; }
    bool operator==(const TPixelBounds&) const = default;
};

struct TRgbaImage {
    int32_t Width = 0;
    int32_t Height = 0;
    // Whether alpha carries information. False: every alpha is 255 and the
    // picture is written without an alpha channel.
    bool HasAlpha = false;
    std::vector<uint8_t> Pixels;  // Width * Height * 4 bytes

    TRgbaImage() = default;
    // A picture of the given size, every pixel 0 (transparent black).
    TRgbaImage(int32_t width, int32_t height, bool hasAlpha);

    uint8_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * RowBytes(); }
    const uint8_t* Row(int32_t y) const { return Pixels.data() + static_cast<size_t>(y) * RowBytes(); }
    size_t RowBytes() const { return static_cast<size_t>(Width) * 4; }
    bool operator==(const TRgbaImage&) const = default;
};

// The smallest rectangle holding every pixel whose alpha is not 0 (the whole
// picture for one without alpha).
TPixelBounds AlphaBounds(const TRgbaImage& image);

// The picture shrunk by factor in both directions, each output pixel the mean
// of a factor x factor block, weighted by alpha (so transparent pixels lend
// no colour to a partly covered one); alpha is the block's mean alpha. The
// sides must be multiples of factor. Rounds to the nearest.
TRgbaImage DownsampleBox(const TRgbaImage& image, int32_t factor);

}  // namespace wbx
