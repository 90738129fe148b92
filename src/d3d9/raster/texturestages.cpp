#include "texturestages.h"

#include <algorithm>
#include <utility>

#include "pixelarithmetic.h"

namespace wbx::raster {

namespace {

inline uint32_t PackChannels(const uint32_t ch[4]) {
    return ch[0] | (ch[1] << 8) | (ch[2] << 16) | (ch[3] << 24);
}

// One texture-stage operation on one channel; a1, a2, a0 are the arguments,
// `alphas` the alphas that the BLEND*ALPHA operations read.
struct BlendAlphas {
    uint32_t Diffuse, Texture, Factor, Current;
};

inline uint32_t Lerp255(uint32_t a, uint32_t b, uint32_t alpha) {
    return (a * alpha + b * (255 - alpha) + 127) / 255;
}

uint32_t StageOperation(DWORD op, uint32_t a1, uint32_t a2, uint32_t a0, const BlendAlphas& alphas) {
    switch (op) {
        case D3DTOP_SELECTARG1:
            return a1;
        case D3DTOP_SELECTARG2:
            return a2;
        case D3DTOP_MODULATE:
            return Mul255(a1, a2);
        case D3DTOP_MODULATE2X:
            return std::min(2 * Mul255(a1, a2), 255u);
        case D3DTOP_MODULATE4X:
            return std::min(4 * Mul255(a1, a2), 255u);
        case D3DTOP_ADD:
            return std::min(a1 + a2, 255u);
        case D3DTOP_ADDSIGNED:
            return static_cast<uint32_t>(std::clamp(static_cast<int>(a1 + a2) - 128, 0, 255));
        case D3DTOP_ADDSIGNED2X:
            return static_cast<uint32_t>(std::clamp((static_cast<int>(a1 + a2) - 128) * 2, 0, 255));
        case D3DTOP_SUBTRACT:
            return a1 > a2 ? a1 - a2 : 0;
        case D3DTOP_ADDSMOOTH:
            return std::min(a1 + Mul255(a2, 255 - a1), 255u);
        case D3DTOP_BLENDDIFFUSEALPHA:
            return Lerp255(a1, a2, alphas.Diffuse);
        case D3DTOP_BLENDTEXTUREALPHA:
            return Lerp255(a1, a2, alphas.Texture);
        case D3DTOP_BLENDFACTORALPHA:
            return Lerp255(a1, a2, alphas.Factor);
        case D3DTOP_BLENDCURRENTALPHA:
            return Lerp255(a1, a2, alphas.Current);
        case D3DTOP_BLENDTEXTUREALPHAPM:
            return std::min(a1 + Mul255(a2, 255 - alphas.Texture), 255u);
        case D3DTOP_MULTIPLYADD:
            return std::min(a0 + Mul255(a1, a2), 255u);
        case D3DTOP_LERP:
            return (a1 * a0 + a2 * (255 - a0) + 127) / 255;
        default:
            // Operations without a meaning here (bump mapping, premodulate)
            // select their first argument.
            return a1;
    }
}

}  // namespace

uint32_t TextureStages::Evaluate(uint32_t diffuse, uint32_t specular,
                                 const uint32_t texels[kRasterStages]) const {
    uint32_t current = diffuse;
    uint32_t temp = 0;
    if (Count == 0) return diffuse;  // stage 0 disabled: the diffuse colour
    for (int s = 0; s < Count; ++s) {
        const TextureStage& stage = Stages[s];
        auto value = [&](DWORD arg) -> uint32_t {
            uint32_t v;
            switch (arg & D3DTA_SELECTMASK) {
                case D3DTA_DIFFUSE:
                    v = diffuse;
                    break;
                case D3DTA_CURRENT:
                    v = current;
                    break;
                case D3DTA_TEXTURE:
                    v = texels[s];
                    break;
                case D3DTA_TFACTOR:
                    v = Factor;
                    break;
                case D3DTA_SPECULAR:
                    v = specular;
                    break;
                case D3DTA_TEMP:
                    v = temp;
                    break;
                case D3DTA_CONSTANT:
                    v = stage.Constant;
                    break;
                default:
                    v = current;
                    break;
            }
            if (arg & D3DTA_COMPLEMENT) v = ~v;
            if (arg & D3DTA_ALPHAREPLICATE) v = (v >> 24) * 0x01010101u;
            return v;
        };
        auto readsTexture = [](DWORD op, DWORD a1, DWORD a2, DWORD a0) {
            auto isTexture = [](DWORD a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
            const bool usesArg0 = op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
            return (op != D3DTOP_SELECTARG2 && isTexture(a1)) || (op != D3DTOP_SELECTARG1 && isTexture(a2)) ||
                   (usesArg0 && isTexture(a0)) || op == D3DTOP_BLENDTEXTUREALPHA ||
                   op == D3DTOP_BLENDTEXTUREALPHAPM;
        };
        const BlendAlphas alphas{diffuse >> 24, texels[s] >> 24, Factor >> 24, current >> 24};

        // Colour. An operation that reads a texture the stage does not have
        // passes the current colour through unchanged.
        uint32_t rgb = current & 0x00FFFFFFu;
        if (stage.Textured ||
            !readsTexture(stage.ColorOp, stage.ColorArg1, stage.ColorArg2, stage.ColorArg0)) {
            const uint32_t a1 = value(stage.ColorArg1), a2 = value(stage.ColorArg2),
                           a0 = value(stage.ColorArg0);
            uint32_t ch[4] = {0, 0, 0, 0};
            if (stage.ColorOp == D3DTOP_DOTPRODUCT3) {
                int dot = 0;
                for (int c = 0; c < 3; ++c)
                    dot +=
                        (static_cast<int>(Channel(a1, c)) - 128) * (static_cast<int>(Channel(a2, c)) - 128);
                const uint32_t d = static_cast<uint32_t>(std::clamp(dot * 4 / 255, 0, 255));
                // DOTPRODUCT3 replicates into alpha as well.
                current = d * 0x01010101u;
                if (stage.ResultArg == D3DTA_TEMP) std::swap(current, temp);
                continue;
            }
            for (int c = 0; c < 3; ++c)
                ch[c] = StageOperation(stage.ColorOp, Channel(a1, c), Channel(a2, c), Channel(a0, c), alphas);
            rgb = PackChannels(ch);
        }
        // Alpha. DISABLE on the alpha operation keeps the current alpha.
        uint32_t alpha = current >> 24;
        if (stage.AlphaOp != D3DTOP_DISABLE &&
            (stage.Textured ||
             !readsTexture(stage.AlphaOp, stage.AlphaArg1, stage.AlphaArg2, stage.AlphaArg0))) {
            alpha = StageOperation(stage.AlphaOp, value(stage.AlphaArg1) >> 24, value(stage.AlphaArg2) >> 24,
                                   value(stage.AlphaArg0) >> 24, alphas);
        }
        const uint32_t result = rgb | (alpha << 24);
        if (stage.ResultArg == D3DTA_TEMP) {
            temp = result;
        } else {
            current = result;
        }
    }
    return current;
}

}  // namespace wbx::raster
