#include "viewer/thumbnail.h"

#include <algorithm>
#include <cstring>

#include "viewer/layer.h"

namespace wbx {
namespace {

constexpr int32_t kPitch = kLayerTextureWidth * 2;

uint16_t TexelAt(const uint8_t* bits, int32_t pitch, int32_t x, int32_t y) {
    uint16_t texel;
    std::memcpy(&texel, bits + static_cast<ptrdiff_t>(y) * pitch + 2 * x, sizeof texel);
    return texel;
}

uint32_t Expand5(uint32_t value) { return (value << 3) | (value >> 2); }

}  // namespace

std::vector<int32_t> ThumbnailLayers(TPartList list, TThumbnailSide side) {
    const TLayerOrder& order = side == TThumbnailSide::Front ? kFrontLayerOrder : kBackLayerOrder;
    std::vector<int32_t> layers;
    for (const TLayerStep& step : order)
        if (step.List == list) layers.push_back(step.LayerIndex);
    return layers;
}

TThumbnail ComposeThumbnail(const std::vector<std::string>& layerFiles, int32_t maxSize) {
    std::vector<uint8_t> texture(static_cast<size_t>(kPitch) * kLayerTextureHeight, 0);
    for (const std::string& fileName : layerFiles) DrawLayerFile(fileName, texture.data(), kPitch);
    return ThumbnailOfTexture(texture.data(), kPitch, maxSize);
}

TThumbnail ThumbnailOfTexture(const uint8_t* bits, int32_t pitch, int32_t maxSize) {
    maxSize = std::clamp(maxSize, 1, kMaxThumbnailSize);
    // The rectangle of drawn texels. Most of a texture is undrawn: four
    // texels' alpha bits are tested at once, and only the words holding one
    // are looked at texel by texel.
    constexpr uint64_t kFourAlphaBits = 0x8000800080008000ull;
    int32_t left = kLayerTextureWidth, top = kLayerTextureHeight, right = -1, bottom = -1;
    for (int32_t y = 0; y < kLayerTextureHeight; ++y) {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < kLayerTextureWidth; x += 4) {
            uint64_t four;
            std::memcpy(&four, row + 2 * x, sizeof four);
            if (!(four & kFourAlphaBits)) continue;
            for (int32_t i = x; i < x + 4; ++i) {
                if (!(TexelAt(bits, pitch, i, y) & kLayerAlphaBit)) continue;
                left = std::min(left, i);
                right = std::max(right, i);
            }
            top = std::min(top, y);
            bottom = y;
        }
    }
    TThumbnail thumbnail;
    if (right < 0) return thumbnail;
    const int32_t width = right - left + 1, height = bottom - top + 1;
    const int32_t longest = std::max(width, height);
    if (longest <= maxSize) {
        thumbnail.Width = width;
        thumbnail.Height = height;
    } else {
        // Rounded, and never below one pixel, so a thin item stays visible.
        thumbnail.Width = std::max(1, (width * maxSize + longest / 2) / longest);
        thumbnail.Height = std::max(1, (height * maxSize + longest / 2) / longest);
    }
    thumbnail.Pixels.resize(static_cast<size_t>(thumbnail.Width) * thumbnail.Height);
    for (int32_t ty = 0; ty < thumbnail.Height; ++ty) {
        // The texels [y0, y1) x [x0, x1) of the crop this pixel covers; at
        // least one each way.
        const int32_t y0 = top + ty * height / thumbnail.Height;
        const int32_t y1 = std::max(y0 + 1, top + (ty + 1) * height / thumbnail.Height);
        for (int32_t tx = 0; tx < thumbnail.Width; ++tx) {
            const int32_t x0 = left + tx * width / thumbnail.Width;
            const int32_t x1 = std::max(x0 + 1, left + (tx + 1) * width / thumbnail.Width);
            uint32_t drawn = 0, red = 0, green = 0, blue = 0;
            for (int32_t y = y0; y < y1; ++y) {
                for (int32_t x = x0; x < x1; ++x) {
                    const uint16_t texel = TexelAt(bits, pitch, x, y);
                    if (!(texel & kLayerAlphaBit)) continue;
                    ++drawn;
                    red += Expand5((texel >> 10) & 31);
                    green += Expand5((texel >> 5) & 31);
                    blue += Expand5(texel & 31);
                }
            }
            uint32_t pixel = 0;
            if (drawn > 0) {
                const uint32_t covered = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
                const uint32_t alpha = (255 * drawn + covered / 2) / covered;
                pixel = (alpha << 24) | (((red + drawn / 2) / drawn) << 16) |
                        (((green + drawn / 2) / drawn) << 8) | ((blue + drawn / 2) / drawn);
            }
            thumbnail.Pixels[static_cast<size_t>(ty) * thumbnail.Width + tx] = pixel;
        }
    }
    return thumbnail;
}

}  // namespace wbx
