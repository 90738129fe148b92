#include "viewer/rgbaimage.h"

#include <algorithm>
#include <stdexcept>

namespace wbx {

TRgbaImage::TRgbaImage(int32_t width, int32_t height, bool hasAlpha)
    : Width(width),
      Height(height),
      HasAlpha(hasAlpha),
      Pixels(static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)) * 4, 0) {}

TPixelBounds AlphaBounds(const TRgbaImage& image) {
    if (!image.HasAlpha) return {0, 0, image.Width, image.Height};
    int32_t left = image.Width, right = -1, top = -1, bottom = -1;
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* row = image.Row(y);
        int32_t first = -1, last = -1;
        for (int32_t x = 0; x < image.Width; ++x) {
            if (row[4 * x + 3] == 0) continue;
            if (first < 0) first = x;
            last = x;
        }
        if (first < 0) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

TRgbaImage DownsampleBox(const TRgbaImage& image, int32_t factor) {
    if (factor < 1 || image.Width % factor != 0 || image.Height % factor != 0)
        throw std::invalid_argument("DownsampleBox: the sides are not multiples of the factor");
    if (factor == 1) return image;
    TRgbaImage result(image.Width / factor, image.Height / factor, image.HasAlpha);
    const uint32_t samples = static_cast<uint32_t>(factor * factor);
    for (int32_t y = 0; y < result.Height; ++y) {
        uint8_t* out = result.Row(y);
        for (int32_t x = 0; x < result.Width; ++x) {
            // Colour weighted by alpha (premultiplied), alpha summed.
            uint64_t red = 0, green = 0, blue = 0, alpha = 0;
            for (int32_t sy = 0; sy < factor; ++sy) {
                const uint8_t* in = image.Row(y * factor + sy) + static_cast<size_t>(x) * factor * 4;
                for (int32_t sx = 0; sx < factor; ++sx, in += 4) {
                    red += uint64_t{in[0]} * in[3];
                    green += uint64_t{in[1]} * in[3];
                    blue += uint64_t{in[2]} * in[3];
                    alpha += in[3];
                }
            }
            uint8_t* pixel = out + static_cast<size_t>(x) * 4;
            const uint64_t meanAlpha = (alpha + samples / 2) / samples;
            // A pixel that ends up fully transparent keeps no colour.
            if (meanAlpha == 0) continue;
            pixel[0] = static_cast<uint8_t>((red + alpha / 2) / alpha);
            pixel[1] = static_cast<uint8_t>((green + alpha / 2) / alpha);
            pixel[2] = static_cast<uint8_t>((blue + alpha / 2) / alpha);
            pixel[3] = static_cast<uint8_t>(meanAlpha);
        }
    }
    return result;
}

}  // namespace wbx
