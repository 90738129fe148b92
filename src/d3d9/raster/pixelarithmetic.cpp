#include "pixelarithmetic.h"

#include <algorithm>

namespace wbx::raster {

uint32_t BlendPixel(const BlendState& b, uint32_t source, uint32_t destination) {
    uint32_t result = source;
    if (b.Enabled) {
        const uint32_t dst = b.TargetHasAlpha ? destination : (destination | 0xFF000000u);
        const uint32_t sa = source >> 24, da = dst >> 24;
        auto factor = [&](DWORD f, int c, bool isSource) -> uint32_t {
            switch (f) {
                case D3DBLEND_ZERO:
                    return 0;
                case D3DBLEND_ONE:
                    return 255;
                case D3DBLEND_SRCCOLOR:
                    return Channel(source, c);
                case D3DBLEND_INVSRCCOLOR:
                    return 255 - Channel(source, c);
                case D3DBLEND_SRCALPHA:
                    return sa;
                case D3DBLEND_INVSRCALPHA:
                    return 255 - sa;
                case D3DBLEND_DESTALPHA:
                    return da;
                case D3DBLEND_INVDESTALPHA:
                    return 255 - da;
                case D3DBLEND_DESTCOLOR:
                    return Channel(dst, c);
                case D3DBLEND_INVDESTCOLOR:
                    return 255 - Channel(dst, c);
                case D3DBLEND_SRCALPHASAT:
                    return c == 3 ? 255 : std::min(sa, 255 - da);
                case D3DBLEND_BLENDFACTOR:
                    return Channel(b.Factor, c);
                case D3DBLEND_INVBLENDFACTOR:
                    return 255 - Channel(b.Factor, c);
                default:
                    return isSource ? 255 : 0;  // unknown: the defaults ONE and ZERO
            }
        };
        result = 0;
        for (int c = 0; c < 4; ++c) {
            const uint32_t s = Channel(source, c), d = Channel(dst, c);
            uint32_t v;
            switch (b.Op) {
                case D3DBLENDOP_MIN:
                    v = std::min(s, d);
                    break;
                case D3DBLENDOP_MAX:
                    v = std::max(s, d);
                    break;
                case D3DBLENDOP_SUBTRACT:
                case D3DBLENDOP_REVSUBTRACT: {
                    const int ts = static_cast<int>(s * factor(b.SrcBlend, c, true));
                    const int td = static_cast<int>(d * factor(b.DestBlend, c, false));
                    const int t = b.Op == D3DBLENDOP_SUBTRACT ? ts - td : td - ts;
                    v = t > 0 ? static_cast<uint32_t>(t + 127) / 255 : 0;
                    break;
                }
                default:  // ADD
                    v = std::min(
                        (s * factor(b.SrcBlend, c, true) + d * factor(b.DestBlend, c, false) + 127) / 255,
                        255u);
                    break;
            }
            result |= v << (8 * c);
        }
    }
    return (destination & ~b.WriteMask) | (result & b.WriteMask);
}

}  // namespace wbx::raster
