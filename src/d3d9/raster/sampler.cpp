#include "sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace wbx::raster {

void PrepareSampler(const TextureLevels& texture, const DWORD samplerStates[D3DSAMP_MAX], SamplerSetup& out) {
    out = SamplerSetup{};
    const int levels = std::clamp(texture.LevelCount, 0, kMaxMipLevels);
    for (int i = 0; i < levels; ++i) {
        const Surface& surface = texture.Levels[i];
        const int bytes = TexelBytes(surface.Format);
        if (surface.Bits == nullptr || bytes == 0 || surface.Width <= 0 || surface.Height <= 0 ||
            surface.Pitch < surface.Width * bytes) {
            break;
        }
        SampledLevel& level = out.Levels[i];
        level.Bits = surface.Bits;
        level.Pitch = surface.Pitch;
        level.Width = surface.Width;
        level.Height = surface.Height;
        level.Bytes = bytes;
        level.Format = surface.Format;
        level.Lookup = TexelLookupTable(surface.Format);
        out.LevelCount = i + 1;
    }
    out.AddressU = samplerStates[D3DSAMP_ADDRESSU];
    out.AddressV = samplerStates[D3DSAMP_ADDRESSV];
    out.Border = samplerStates[D3DSAMP_BORDERCOLOR];
    // Anisotropic filtering is done as linear; unknown filters as point.
    auto filter = [](DWORD f) -> DWORD {
        if (f == D3DTEXF_ANISOTROPIC) return D3DTEXF_LINEAR;
        return f == D3DTEXF_LINEAR ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    };
    out.MagFilter = filter(samplerStates[D3DSAMP_MAGFILTER]);
    out.MinFilter = filter(samplerStates[D3DSAMP_MINFILTER]);
    const DWORD mip = samplerStates[D3DSAMP_MIPFILTER];
    out.MipFilter = mip == D3DTEXF_NONE ? D3DTEXF_NONE : filter(mip);
    float bias;
    const DWORD biasBits = samplerStates[D3DSAMP_MIPMAPLODBIAS];
    static_assert(sizeof(bias) == sizeof(biasBits));
    std::memcpy(&bias, &biasBits, sizeof(bias));
    out.LodBias = std::isfinite(bias) ? bias : 0.0f;
    // MIPFILTER NONE samples level 0 whatever the chain holds.
    out.BaseLevel =
        out.MipFilter == D3DTEXF_NONE
            ? 0
            : static_cast<int>(std::min<DWORD>(samplerStates[D3DSAMP_MAXMIPLEVEL],
                                               static_cast<DWORD>(std::max(out.LevelCount - 1, 0))));
    const bool severalLevels = out.MipFilter != D3DTEXF_NONE && out.LevelCount - out.BaseLevel > 1;
    out.NeedsLod = out.MagFilter != out.MinFilter || severalLevels;
}

float ComputeLod(const SamplerSetup& s, float dudx, float dvdx, float dudy, float dvdy) {
    const SampledLevel& base = s.Levels[s.BaseLevel];
    const float w = static_cast<float>(base.Width), h = static_cast<float>(base.Height);
    const float lengthX = (dudx * w) * (dudx * w) + (dvdx * h) * (dvdx * h);
    const float lengthY = (dudy * w) * (dudy * w) + (dvdy * h) * (dvdy * h);
    const float rho2 = std::max(lengthX, lengthY);
    if (!(rho2 > 0.0f)) return -1000.0f;  // no footprint: magnification
    return 0.5f * std::log2(rho2) + s.LodBias;
}

uint32_t Sample(const SamplerSetup& s, float u, float v, float lod) {
    auto filtered = [&](DWORD filter, int level) {
        const SampledLevel& l = s.Levels[level];
        return filter == D3DTEXF_LINEAR ? SampleLinear(s, l, u, v) : SamplePoint(s, l, u, v);
    };
    if (!(lod > 0.0f)) return filtered(s.MagFilter, s.BaseLevel);
    if (s.MipFilter == D3DTEXF_NONE) return filtered(s.MinFilter, s.BaseLevel);
    const int last = s.LevelCount - 1;
    const float maxLod = static_cast<float>(last - s.BaseLevel);
    if (s.MipFilter == D3DTEXF_POINT) {
        const float nearest = std::floor(std::min(lod, maxLod) + 0.5f);
        return filtered(s.MinFilter, std::min(s.BaseLevel + static_cast<int>(nearest), last));
    }
    const float clamped = std::min(lod, maxLod);
    const int level = s.BaseLevel + static_cast<int>(std::floor(clamped));
    const uint32_t fraction = static_cast<uint32_t>((clamped - std::floor(clamped)) * 256.0f + 0.5f);
    const uint32_t a = filtered(s.MinFilter, level);
    if (level >= last || fraction == 0) return a;
    return LerpColor(a, filtered(s.MinFilter, level + 1), fraction);
}

}  // namespace wbx::raster
