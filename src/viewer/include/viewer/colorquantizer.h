#pragma once
// A palette for pictures with more colours than a GIF can hold: median cut
// over the colours of every frame (counted at five bits a channel), so one
// palette serves a whole animation and the frames do not flicker. Exact when
// the frames hold no more colours than the palette may: every colour then
// keeps its place and its value.

#include <array>
#include <cstdint>
#include <vector>

#include "viewer/rgbaimage.h"

namespace wbx {

class TColorQuantizer {
public:
    // Counts the opaque pixels (alpha 128 or more) of a frame.
    void AddFrame(const TRgbaImage& frame);
    // Makes the palette of at most maxColors (1 to 256) entries, each {r, g, b}.
    // Deterministic: the same frames give the same palette.
    void Build(int maxColors);

    const std::vector<std::array<uint8_t, 3>>& Palette() const { return palette_; }
    // The palette index of an opaque colour (the nearest entry). Only after Build.
    uint8_t IndexOf(uint8_t red, uint8_t green, uint8_t blue) const;

private:
    static uint32_t Key15(uint8_t r, uint8_t g, uint8_t b) {
        return uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | b >> 3;
    }

    std::vector<uint64_t> counts15_ = std::vector<uint64_t>(32768, 0);  // pixels per 15-bit colour
    // Exact colours while there are few (so a picture of few colours keeps them).
    std::vector<uint32_t> exact_;
    bool exactOverflow_ = false;
    std::vector<std::array<uint8_t, 3>> palette_;
    std::vector<uint8_t> lookup15_;  // 15-bit colour -> palette index
    bool exactPalette_ = false;
};

}  // namespace wbx
