#pragma once
// Texture sampling for one stage: texel fetch in every readable format,
// addressing (wrap, mirror, clamp, border, mirror once), point and linear
// filtering and mip selection, with Direct3D 9's texel-centre convention:
// texel i covers [i, i + 1) in texel space, so point sampling takes
// floor(u W) and linear sampling blends floor(u W - 0.5) and its neighbour.
//
// Precision: texel coordinates are single precision, taken to 1/256 texel; linear filtering
// weights are 8-bit (0..256) and each of the two passes rounds to the nearest
// 8-bit value, so every path that uses these functions gives the same bits.

#include <cstdint>

#include "d3d9/raster/rasterizer.h"
#include "surfaceformat.h"

namespace wbx::raster {

struct SampledLevel {
    const uint8_t* Bits = nullptr;  // not owned; valid during the draw
    int Pitch = 0;                  // bytes between rows
    int Width = 0, Height = 0;
    int Bytes = 0;  // per texel
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    const uint32_t* Lookup = nullptr;  // raw texel -> ARGB for 1- and 2-byte formats, else null
};

struct SamplerSetup {
    int LevelCount = 0;  // usable levels, 0: no texture
    SampledLevel Levels[kMaxMipLevels];
    DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
    uint32_t Border = 0;  // ARGB
    DWORD MagFilter = D3DTEXF_POINT, MinFilter = D3DTEXF_POINT, MipFilter = D3DTEXF_NONE;
    int BaseLevel = 0;  // most detailed level used (D3DSAMP_MAXMIPLEVEL, clamped)
    float LodBias = 0.0f;
    bool NeedsLod = false;  // the result depends on the level of detail
};

// Reads the texture's levels and the stage's sampler states. Levels that are
// unusable (no memory, unreadable format, pitch too small) end the chain; a
// level 0 that is unusable leaves LevelCount 0.
void PrepareSampler(const TextureLevels& texture, const DWORD samplerStates[D3DSAMP_MAX], SamplerSetup& out);

// floor(v) as an integer, for v clamped to +-2^30 (NaN reads as the lower bound).
inline int FloorToInt(float v) {
    constexpr float kLimit = 1073741824.0f;
    v = v > -kLimit ? v : -kLimit;
    v = v < kLimit ? v : kLimit;
    const int t = static_cast<int>(v);
    return t - (v < static_cast<float>(t) ? 1 : 0);
}

inline uint32_t FetchTexel(const SampledLevel& level, int x, int y) {
    const uint8_t* p =
        level.Bits + static_cast<ptrdiff_t>(y) * level.Pitch + static_cast<ptrdiff_t>(x) * level.Bytes;
    if (level.Lookup != nullptr) {
        const uint32_t raw =
            level.Bytes == 1 ? p[0] : (static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8));
        return level.Lookup[raw];
    }
    return DecodeTexel(level.Format, p);
}

// Maps texel index i into [0, size) by the address mode; -1 means "border".
inline int AddressTexel(int i, int size, DWORD mode) {
    switch (mode) {
        case D3DTADDRESS_CLAMP:
            return i < 0 ? 0 : (i >= size ? size - 1 : i);
        case D3DTADDRESS_BORDER:
            return (i < 0 || i >= size) ? -1 : i;
        case D3DTADDRESS_MIRROR: {
            const int period = 2 * size;
            int m = i % period;
            if (m < 0) m += period;
            return m < size ? m : period - 1 - m;
        }
        case D3DTADDRESS_MIRRORONCE: {
            const int m = i < 0 ? -1 - i : i;
            return m >= size ? size - 1 : m;
        }
        default: {  // WRAP, and any unknown mode
            if ((size & (size - 1)) == 0) return i & (size - 1);
            const int m = i % size;
            return m < 0 ? m + size : m;
        }
    }
}

inline uint32_t FetchAddressed(const SamplerSetup& s, const SampledLevel& level, int x, int y) {
    const int ax = AddressTexel(x, level.Width, s.AddressU);
    const int ay = AddressTexel(y, level.Height, s.AddressV);
    if ((ax | ay) < 0) return s.Border;
    return FetchTexel(level, ax, ay);
}

inline uint32_t SamplePoint(const SamplerSetup& s, const SampledLevel& level, float u, float v) {
    const int x = FloorToInt(u * static_cast<float>(level.Width));
    const int y = FloorToInt(v * static_cast<float>(level.Height));
    return FetchAddressed(s, level, x, y);
}

// The fixed-point texel position of a linear sample: texel index in the
// high bits, the weight of the next texel (0..255) in the low 8.
inline int LinearTexelPosition(float coordinate, int size) {
    return FloorToInt(coordinate * static_cast<float>(size * 256) - 128.0f);
}

// Blends two ARGB colours: (a (256 - f) + b f) / 256 per channel, rounded; f in 0..256.
inline uint32_t LerpColor(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t low = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f + 0x00800080u) >> 8) & 0x00FF00FFu;
    const uint32_t high =
        ((((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f + 0x00800080u)) & 0xFF00FF00u;
    return low | high;
}

// The 2 x 2 texels whose top-left one is (x, y), addressed. When all four lie
// inside the level, addressing changes nothing and is skipped.
template <class Fetch, class FetchAddressed>
inline void Gather2x2(const SampledLevel& level, int x, int y, uint32_t out[4], Fetch&& fetch,
                      FetchAddressed&& addressed) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(level.Width - 1) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(level.Height - 1)) {
        out[0] = fetch(x, y);
        out[1] = fetch(x + 1, y);
        out[2] = fetch(x, y + 1);
        out[3] = fetch(x + 1, y + 1);
        return;
    }
    out[0] = addressed(x, y);
    out[1] = addressed(x + 1, y);
    out[2] = addressed(x, y + 1);
    out[3] = addressed(x + 1, y + 1);
}

// The four texels and weights of a linear sample, with a caller's texel
// fetch (the fast path reads texels of a known format directly);
// `fetch(x, y)` reads a texel inside the level. `s` is anything with
// AddressU, AddressV and Border.
struct LinearTaps {
    uint32_t Texels[4];  // (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1)
    uint32_t Fx, Fy;     // weights of the second column and row, 0..255 (of 256)
};
template <class Addressing, class Fetch>
inline LinearTaps GatherLinearAt(const Addressing& s, const SampledLevel& level, int tx, int ty,
                                 Fetch&& fetch) {
    LinearTaps taps;
    Gather2x2(level, tx >> 8, ty >> 8, taps.Texels, fetch, [&](int x, int y) {
        const int ax = AddressTexel(x, level.Width, s.AddressU);
        const int ay = AddressTexel(y, level.Height, s.AddressV);
        return (ax | ay) < 0 ? s.Border : fetch(ax, ay);
    });
    taps.Fx = static_cast<uint32_t>(tx & 255);
    taps.Fy = static_cast<uint32_t>(ty & 255);
    return taps;
}
template <class Addressing, class Fetch>
inline LinearTaps GatherLinear(const Addressing& s, const SampledLevel& level, float u, float v,
                               Fetch&& fetch) {
    return GatherLinearAt(s, level, LinearTexelPosition(u, level.Width), LinearTexelPosition(v, level.Height),
                          fetch);
}

inline uint32_t FilterLinear(const LinearTaps& t) {
    return LerpColor(LerpColor(t.Texels[0], t.Texels[1], t.Fx), LerpColor(t.Texels[2], t.Texels[3], t.Fx),
                     t.Fy);
}

inline uint32_t SampleLinear(const SamplerSetup& s, const SampledLevel& level, float u, float v) {
    return FilterLinear(GatherLinear(s, level, u, v, [&](int x, int y) { return FetchTexel(level, x, y); }));
}

// Level of detail from the screen-space derivatives of u and v (in texture
// coordinates per pixel), measured on the base level, plus the bias.
float ComputeLod(const SamplerSetup& s, float dudx, float dvdx, float dudy, float dvdy);

// The full sampler: chooses the magnification or minification filter and the
// mip level(s) from `lod`. Requires s.LevelCount > 0.
uint32_t Sample(const SamplerSetup& s, float u, float v, float lod);

}  // namespace wbx::raster
