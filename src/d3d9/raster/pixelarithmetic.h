#pragma once
// The rounding rules of the pixel pipeline, written once for every path that
// produces pixels: the per-pixel reference (pixelprocessor.cpp) and the
// vectorised span kernels (spankernelbody.h), which compute the same values
// lane by lane and call these where a lane is done on its own.
//
// Precision: colours are 8 bits per channel from the moment they leave the
// interpolators (round(c * 255)); products of two channels round to the
// nearest (round(a b / 255)); sums saturate at 255; blending rounds
// (Src SrcBlend + Dst DestBlend) / 255 to the nearest. Depth is compared in
// the depth buffer's own precision.

#include <cstdint>
#include <cstring>

#include "d3d9/d3d9types.h"
#include "surfaceformat.h"

namespace wbx::raster {

// Comparison functions, "value FUNC reference" (D3DCMPFUNC).
inline bool Compare(DWORD func, uint32_t value, uint32_t reference) {
    switch (func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return value < reference;
        case D3DCMP_EQUAL:
            return value == reference;
        case D3DCMP_LESSEQUAL:
            return value <= reference;
        case D3DCMP_GREATER:
            return value > reference;
        case D3DCMP_NOTEQUAL:
            return value != reference;
        case D3DCMP_GREATEREQUAL:
            return value >= reference;
        default:
            return true;  // ALWAYS, and unknown values
    }
}

// How "q FUNC reference" comes out for every q in [0, largest]: the same
// for all of them, or depending on q.
enum class DepthOutcome { Always, Never, Varies };
inline DepthOutcome DepthOutcomeAgainst(DWORD func, uint32_t reference, uint32_t largest) {
    // Each comparison passes for an interval of q (or for all but one value):
    // its ends and the values next to the reference decide.
    const uint32_t probes[] = {0, largest, reference, reference - 1, reference + 1};
    bool any = false, all = true;
    for (const uint32_t q : probes) {
        if (q > largest) continue;
        const bool pass = Compare(func, q, reference);
        any = any || pass;
        all = all && pass;
    }
    return all ? DepthOutcome::Always : (any ? DepthOutcome::Varies : DepthOutcome::Never);
}

// round(c * 255) clamped to 0..255; NaN gives 0.
inline uint32_t ToByte(float c) {
    const float s = c * 255.0f + 0.5f;
    if (!(s > 0.0f)) return 0;
    return s >= 255.0f ? 255u : static_cast<uint32_t>(s);
}

// round(a * b / 255) for a, b in 0..255.
inline uint32_t Mul255(uint32_t a, uint32_t b) {
    const uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Channel c of an ARGB word: 0 blue, 1 green, 2 red, 3 alpha.
inline uint32_t Channel(uint32_t argb, int c) { return (argb >> (8 * c)) & 0xFF; }

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

inline uint32_t LoadDepthWord(const uint8_t* p, int bytes) {
    if (bytes == 2) return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
    return Load32(p);
}

inline void StoreDepthWord(uint8_t* p, int bytes, uint32_t v) {
    if (bytes == 2) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        return;
    }
    Store32(p, v);
}

// The depth field's bits, unshifted.
inline uint32_t DepthFieldMask(const DepthLayout& layout) {
    return layout.DepthBits >= 32 ? 0xFFFFFFFFu : ((1u << layout.DepthBits) - 1);
}

// The output merger's blend and colour-write state for one draw.
struct BlendState {
    bool Enabled = false;
    DWORD SrcBlend = D3DBLEND_ONE, DestBlend = D3DBLEND_ZERO, Op = D3DBLENDOP_ADD;  // BOTH* resolved
    uint32_t Factor = 0xFFFFFFFFu;                                                  // D3DRS_BLENDFACTOR
    bool TargetHasAlpha = false;  // A8R8G8B8; without alpha the destination reads alpha 1
    uint32_t WriteMask = 0;       // bits of the pixel word that drawing may change
};

// The pixel word written for `source` over `destination`: blended when
// blending is on, then only the write mask's bits changed.
uint32_t BlendPixel(const BlendState& b, uint32_t source, uint32_t destination);

}  // namespace wbx::raster
