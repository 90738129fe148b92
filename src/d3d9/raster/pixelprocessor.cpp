#include "pixelprocessor.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wbx::raster {

namespace {

// Channel c of an ARGB word: 0 blue, 1 green, 2 red, 3 alpha.
inline uint32_t Channel(uint32_t argb, int c) { return (argb >> (8 * c)) & 0xFF; }

inline uint32_t PackChannels(const uint32_t ch[4]) {
    return ch[0] | (ch[1] << 8) | (ch[2] << 16) | (ch[3] << 24);
}

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

inline uint32_t DepthFieldMask(const DepthLayout& layout) {
    return layout.DepthBits >= 32 ? 0xFFFFFFFFu : ((1u << layout.DepthBits) - 1);
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

// Four 8-bit channels held in wider lanes, in ARGB word order (blue first),
// for the fast path's colour arithmetic. Every operation computes exactly
// what the scalar reference computes per channel.
#if defined(__SSE2__)
struct Lanes {
    __m128i V;  // 16-bit lanes 0..3: blue, green, red, alpha
};
inline Lanes LanesFromArgb(uint32_t argb) {
    return {_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), _mm_setzero_si128())};
}
inline uint32_t LanesToArgb(Lanes l) {
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(l.V, l.V)));
}
inline uint32_t LaneAlpha(Lanes l) { return static_cast<uint32_t>(_mm_extract_epi16(l.V, 3)); }
// ToByte of (row + dx fx) w for the four interpolated channels r, g, b, a.
inline Lanes LanesFromInterpolated(const float row[4], const float dx[4], float fx, float w) {
    const __m128 value = _mm_mul_ps(
        _mm_add_ps(_mm_loadu_ps(row), _mm_mul_ps(_mm_loadu_ps(dx), _mm_set1_ps(fx))), _mm_set1_ps(w));
    __m128 scaled = _mm_add_ps(_mm_mul_ps(value, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
    scaled = _mm_max_ps(scaled, _mm_setzero_ps());  // NaN gives the second operand: 0
    scaled = _mm_min_ps(scaled, _mm_set1_ps(255.0f));
    const __m128i rgba = _mm_cvttps_epi32(scaled);
    const __m128i bgra = _mm_shuffle_epi32(rgba, _MM_SHUFFLE(3, 0, 1, 2));
    return {_mm_packs_epi32(bgra, bgra)};
}
// Linear filtering on taps held channel by channel: `blueGreen` holds the
// blue of the four taps then their green, `redAlpha` their red then alpha,
// as 16-bit lanes, taps in LinearTaps order. The arithmetic is FilterLinear's:
// (a (256 - f) + b f + 128) >> 8 per channel, across then down.
inline Lanes FilterTaps(__m128i blueGreen, __m128i redAlpha, uint32_t fx, uint32_t fy) {
    const __m128i round = _mm_set1_epi32(128);
    const __m128i across = _mm_set1_epi32(static_cast<int>((fx << 16) | (256 - fx)));
    const __m128i down = _mm_set1_epi32(static_cast<int>((fy << 16) | (256 - fy)));
    // Per channel, the top and bottom rows blended across.
    const __m128i bg = _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(blueGreen, across), round), 8);
    const __m128i ra = _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(redAlpha, across), round), 8);
    const __m128i rows = _mm_packs_epi32(bg, ra);  // b top, b bottom, g top, g bottom, r ..., a ...
    const __m128i blended = _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(rows, down), round), 8);
    return {_mm_packs_epi32(blended, blended)};
}

// Four ARGB taps rearranged channel by channel for FilterTaps.
inline Lanes FilterTexels(const uint32_t texels[4], uint32_t fx, uint32_t fy) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(texels));
    const __m128i zero = _mm_setzero_si128();
    const __m128i first = _mm_unpacklo_epi8(words, zero);    // b0 g0 r0 a0 b1 g1 r1 a1
    const __m128i second = _mm_unpackhi_epi8(words, zero);   // b2 g2 r2 a2 b3 g3 r3 a3
    const __m128i even = _mm_unpacklo_epi16(first, second);  // b0 b2 g0 g2 r0 r2 a0 a2
    const __m128i odd = _mm_unpackhi_epi16(first, second);   // b1 b3 g1 g3 r1 r3 a1 a3
    return FilterTaps(_mm_unpacklo_epi16(even, odd), _mm_unpackhi_epi16(even, odd), fx, fy);
}

// The four taps of a 1-5-5-5 texture straight from memory: `top` holds the
// texels (x, y) and (x + 1, y), `bottom` those of row y + 1. Each 5-bit field
// widens as round(v 255 / 31) = (v 527 + 23) >> 6; alpha is 255 or 0 (always
// 255 without an alpha bit).
inline Lanes Filter1555(uint32_t top, uint32_t bottom, bool alphaBit, uint32_t fx, uint32_t fy) {
    const __m128i raw = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(top)),
                                           _mm_cvtsi32_si128(static_cast<int>(bottom)));  // t0 t1 t2 t3
    const __m128i fields = _mm_set1_epi16(31);
    auto widen = [](__m128i v) {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(527)), _mm_set1_epi16(23)), 6);
    };
    const __m128i blue = widen(_mm_and_si128(raw, fields));
    const __m128i green = widen(_mm_and_si128(_mm_srli_epi16(raw, 5), fields));
    const __m128i red = widen(_mm_and_si128(_mm_srli_epi16(raw, 10), fields));
    const __m128i alpha =
        alphaBit ? _mm_and_si128(_mm_srai_epi16(raw, 15), _mm_set1_epi16(255)) : _mm_set1_epi16(255);
    return FilterTaps(_mm_unpacklo_epi64(blue, green), _mm_unpacklo_epi64(red, alpha), fx, fy);
}
inline Lanes LanesFromBytes(const uint32_t rgba[4]) {
    const __m128i v = _mm_setr_epi32(static_cast<int>(rgba[2]), static_cast<int>(rgba[1]),
                                     static_cast<int>(rgba[0]), static_cast<int>(rgba[3]));
    return {_mm_packs_epi32(v, v)};
}
// Per lane: `value` where `mask` is set, else 255.
inline Lanes SelectOrWhite(Lanes value, Lanes mask) {
    return {_mm_or_si128(_mm_and_si128(value.V, mask.V), _mm_andnot_si128(mask.V, _mm_set1_epi16(255)))};
}
inline Lanes MaskLanes(bool color, bool alpha) {
    const short c = color ? -1 : 0, a = alpha ? -1 : 0;
    return {_mm_setr_epi16(c, c, c, a, c, c, c, a)};
}
// round(a b / 255) per lane.
inline Lanes MulLanes(Lanes a, Lanes b) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(a.V, b.V), _mm_set1_epi16(128));
    return {_mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8)};
}
// min(a + b, 255) on the colour lanes; b's alpha lane must be 0.
inline Lanes AddSaturated(Lanes a, Lanes b) {
    return {_mm_min_epi16(_mm_add_epi16(a.V, b.V), _mm_set1_epi16(255))};
}
// (s a + d (255 - a) + 127) / 255 per lane, a = the source alpha.
inline Lanes BlendSourceAlpha(Lanes source, Lanes destination) {
    const __m128i a = _mm_shufflelo_epi16(source.V, _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), a);
    const __m128i t =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(source.V, a), _mm_mullo_epi16(destination.V, inverse)),
                      _mm_set1_epi16(127));
    // floor(t / 255) = (t + 1 + (t >> 8)) >> 8 for t < 65535.
    return {_mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8)};
}
#else
struct Lanes {
    uint32_t C[4];  // blue, green, red, alpha
};
inline Lanes LanesFromArgb(uint32_t argb) {
    return {{argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF, argb >> 24}};
}
inline uint32_t LanesToArgb(Lanes l) { return l.C[0] | (l.C[1] << 8) | (l.C[2] << 16) | (l.C[3] << 24); }
inline uint32_t LaneAlpha(Lanes l) { return l.C[3]; }
inline Lanes LanesFromInterpolated(const float row[4], const float dx[4], float fx, float w) {
    Lanes l;
    for (int c = 0; c < 4; ++c) l.C[c < 3 ? 2 - c : 3] = ToByte((row[c] + dx[c] * fx) * w);
    return l;
}
inline Lanes LanesFromBytes(const uint32_t rgba[4]) { return {{rgba[2], rgba[1], rgba[0], rgba[3]}}; }
inline Lanes FilterTexels(const uint32_t texels[4], uint32_t fx, uint32_t fy) {
    return LanesFromArgb(FilterLinear(LinearTaps{{texels[0], texels[1], texels[2], texels[3]}, fx, fy}));
}
inline Lanes SelectOrWhite(Lanes value, Lanes mask) {
    Lanes l;
    for (int c = 0; c < 4; ++c) l.C[c] = mask.C[c] ? value.C[c] : 255u;
    return l;
}
inline Lanes MaskLanes(bool color, bool alpha) { return {{color, color, color, alpha}}; }
inline Lanes MulLanes(Lanes a, Lanes b) {
    Lanes l;
    for (int c = 0; c < 4; ++c) l.C[c] = Mul255(a.C[c], b.C[c]);
    return l;
}
inline Lanes AddSaturated(Lanes a, Lanes b) {
    Lanes l;
    for (int c = 0; c < 4; ++c) l.C[c] = std::min(a.C[c] + b.C[c], 255u);
    return l;
}
inline Lanes BlendSourceAlpha(Lanes source, Lanes destination) {
    Lanes l;
    const uint32_t a = source.C[3];
    for (int c = 0; c < 4; ++c) l.C[c] = (source.C[c] * a + destination.C[c] * (255 - a) + 127) / 255;
    return l;
}
#endif

}  // namespace

PixelProcessor::PixelProcessor(const PipelineState& state, const RenderTargets& targets, bool referenceOnly,
                               PixelIsa isa) {
    const DWORD* rs = state.RenderStates;
    const Surface& color = targets.Color;
    if (color.Bits == nullptr || color.Width <= 0 || color.Height <= 0 || color.Pitch < color.Width * 4 ||
        (color.Format != D3DFMT_X8R8G8B8 && color.Format != D3DFMT_A8R8G8B8)) {
        return;
    }
    colorBits_ = color.Bits;
    colorPitch_ = color.Pitch;
    targetHasAlpha_ = color.Format == D3DFMT_A8R8G8B8;
    const DWORD writeEnable = rs[D3DRS_COLORWRITEENABLE];
    writeMask_ = ((writeEnable & D3DCOLORWRITEENABLE_RED) ? 0x00FF0000u : 0) |
                 ((writeEnable & D3DCOLORWRITEENABLE_GREEN) ? 0x0000FF00u : 0) |
                 ((writeEnable & D3DCOLORWRITEENABLE_BLUE) ? 0x000000FFu : 0) |
                 ((targetHasAlpha_ && (writeEnable & D3DCOLORWRITEENABLE_ALPHA)) ? 0xFF000000u : 0);

    // The viewport, within the colour target.
    const D3DVIEWPORT9& vp = state.Viewport;
    const int64_t vx0 = vp.X, vy0 = vp.Y;
    const int64_t vx1 = vx0 + vp.Width, vy1 = vy0 + vp.Height;
    int64_t x1 = std::min<int64_t>(vx1, color.Width), y1 = std::min<int64_t>(vy1, color.Height);

    // Depth: ZENABLE TRUE (or USEW, done as z) with a readable depth buffer.
    const Surface* depth = targets.Depth;
    const DepthLayout layout = depth != nullptr ? DepthLayoutOf(depth->Format) : DepthLayout{};
    const bool depthUsable = depth != nullptr && depth->Bits != nullptr && layout.DepthBits > 0 &&
                             depth->Width > 0 && depth->Height > 0 &&
                             depth->Pitch >= depth->Width * layout.BytesPerPixel;
    if (depthUsable && rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        depthBits_ = depth->Bits;
        depthPitch_ = depth->Pitch;
        depth_ = layout;
        depthTest_ = true;
        depthWrite_ = rs[D3DRS_ZWRITEENABLE] != FALSE;
        depthFunc_ = rs[D3DRS_ZFUNC];
        // Never touch depth memory outside the depth surface.
        x1 = std::min<int64_t>(x1, depth->Width);
        y1 = std::min<int64_t>(y1, depth->Height);
    }
    scissor_.X0 = static_cast<int>(std::min<int64_t>(vx0, x1));
    scissor_.Y0 = static_cast<int>(std::min<int64_t>(vy0, y1));
    scissor_.X1 = static_cast<int>(x1);
    scissor_.Y1 = static_cast<int>(y1);

    alphaTest_ = rs[D3DRS_ALPHATESTENABLE] != FALSE;
    alphaFunc_ = rs[D3DRS_ALPHAFUNC];
    alphaRef_ = rs[D3DRS_ALPHAREF] & 0xFF;
    blend_ = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    srcBlend_ = rs[D3DRS_SRCBLEND];
    destBlend_ = rs[D3DRS_DESTBLEND];
    if (srcBlend_ == D3DBLEND_BOTHSRCALPHA) {
        srcBlend_ = D3DBLEND_SRCALPHA;
        destBlend_ = D3DBLEND_INVSRCALPHA;
    } else if (srcBlend_ == D3DBLEND_BOTHINVSRCALPHA) {
        srcBlend_ = D3DBLEND_INVSRCALPHA;
        destBlend_ = D3DBLEND_SRCALPHA;
    }
    blendOp_ = rs[D3DRS_BLENDOP];
    blendFactor_ = rs[D3DRS_BLENDFACTOR];
    specularAdd_ = rs[D3DRS_SPECULARENABLE] != FALSE;
    textureFactor_ = rs[D3DRS_TEXTUREFACTOR];
    flat_ = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

    attributeMask_ = 0xFu;  // diffuse
    bool readsSpecular = specularAdd_;
    for (int s = 0; s < kRasterStages; ++s) {
        const DWORD* ss = state.StageStates[s];
        Stage& stage = stages_[s];
        stage.ColorOp = ss[D3DTSS_COLOROP];
        if (stage.ColorOp == D3DTOP_DISABLE) break;
        stage.ColorArg1 = ss[D3DTSS_COLORARG1];
        stage.ColorArg2 = ss[D3DTSS_COLORARG2];
        stage.ColorArg0 = ss[D3DTSS_COLORARG0];
        stage.AlphaOp = ss[D3DTSS_ALPHAOP];
        stage.AlphaArg1 = ss[D3DTSS_ALPHAARG1];
        stage.AlphaArg2 = ss[D3DTSS_ALPHAARG2];
        stage.AlphaArg0 = ss[D3DTSS_ALPHAARG0];
        stage.ResultArg = ss[D3DTSS_RESULTARG];
        stage.Constant = ss[D3DTSS_CONSTANT];
        PrepareSampler(state.Textures[s], state.SamplerStates[s], samplers_[s]);
        stage.Textured = samplers_[s].LevelCount > 0;
        if (stage.Textured) attributeMask_ |= 3u << (kAttrTexCoord + 2 * s);
        const DWORD args[6] = {stage.ColorArg1, stage.ColorArg2, stage.ColorArg0,
                               stage.AlphaArg1, stage.AlphaArg2, stage.AlphaArg0};
        for (DWORD arg : args) readsSpecular |= (arg & D3DTA_SELECTMASK) == D3DTA_SPECULAR;
        stageCount_ = s + 1;
    }
    if (readsSpecular) attributeMask_ |= 0x70u;
    canDraw_ = scissor_.X0 < scissor_.X1 && scissor_.Y0 < scissor_.Y1;
    if (canDraw_ && !referenceOnly) ChooseFastPath(isa);
}

uint32_t PixelProcessor::EvaluateStages(uint32_t diffuse, uint32_t specular,
                                        const uint32_t texels[kRasterStages]) const {
    uint32_t current = diffuse;
    uint32_t temp = 0;
    if (stageCount_ == 0) return diffuse;  // stage 0 disabled: the diffuse colour
    for (int s = 0; s < stageCount_; ++s) {
        const Stage& stage = stages_[s];
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
                    v = textureFactor_;
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
        const BlendAlphas alphas{diffuse >> 24, texels[s] >> 24, textureFactor_ >> 24, current >> 24};

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

uint32_t PixelProcessor::BlendAndMask(uint32_t source, uint32_t destination) const {
    uint32_t result = source;
    if (blend_) {
        // A target without alpha reads destination alpha as 1.
        const uint32_t dst = targetHasAlpha_ ? destination : (destination | 0xFF000000u);
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
                    return Channel(blendFactor_, c);
                case D3DBLEND_INVBLENDFACTOR:
                    return 255 - Channel(blendFactor_, c);
                default:
                    return isSource ? 255 : 0;  // unknown: the defaults ONE and ZERO
            }
        };
        uint32_t ch[4];
        for (int c = 0; c < 4; ++c) {
            const uint32_t s = Channel(source, c), d = Channel(dst, c);
            switch (blendOp_) {
                case D3DBLENDOP_MIN:
                    ch[c] = std::min(s, d);
                    break;
                case D3DBLENDOP_MAX:
                    ch[c] = std::max(s, d);
                    break;
                case D3DBLENDOP_SUBTRACT:
                case D3DBLENDOP_REVSUBTRACT: {
                    const int ts = static_cast<int>(s * factor(srcBlend_, c, true));
                    const int td = static_cast<int>(d * factor(destBlend_, c, false));
                    const int t = blendOp_ == D3DBLENDOP_SUBTRACT ? ts - td : td - ts;
                    ch[c] = t > 0 ? static_cast<uint32_t>(t + 127) / 255 : 0;
                    break;
                }
                default:  // ADD
                    ch[c] = std::min(
                        (s * factor(srcBlend_, c, true) + d * factor(destBlend_, c, false) + 127) / 255,
                        255u);
                    break;
            }
        }
        result = PackChannels(ch);
    }
    return (destination & ~writeMask_) | (result & writeMask_);
}

void PixelProcessor::ShadeFragment(const Fragment& f) const {
    uint8_t* depthPixel = nullptr;
    uint32_t depthWord = 0, depthValue = 0;
    if (depthTest_) {
        depthPixel = depthBits_ + static_cast<ptrdiff_t>(f.Y) * depthPitch_ + f.X * depth_.BytesPerPixel;
        depthWord = LoadDepthWord(depthPixel, depth_.BytesPerPixel);
        depthValue = QuantizeDepth(f.Z, depth_);
        const uint32_t stored = (depthWord >> depth_.DepthShift) & DepthFieldMask(depth_);
        if (!Compare(depthFunc_, depthValue, stored)) return;
    }
    const uint32_t diffuse = (ToByte(f.Color[3]) << 24) | (ToByte(f.Color[0]) << 16) |
                             (ToByte(f.Color[1]) << 8) | ToByte(f.Color[2]);
    const uint32_t specular = (ToByte(f.Color[4]) << 16) | (ToByte(f.Color[5]) << 8) | ToByte(f.Color[6]);
    uint32_t texels[kRasterStages] = {0, 0};
    for (int s = 0; s < stageCount_; ++s) {
        const SamplerSetup& sampler = samplers_[s];
        if (sampler.LevelCount == 0) continue;
        const float* d = f.Derivatives[s];
        const float lod = sampler.NeedsLod ? ComputeLod(sampler, d[0], d[1], d[2], d[3]) : 0.0f;
        texels[s] = Sample(sampler, f.Tex[s][0], f.Tex[s][1], lod);
    }
    uint32_t color = EvaluateStages(diffuse, specular, texels);
    if (specularAdd_) {
        uint32_t ch[4];
        for (int c = 0; c < 3; ++c) ch[c] = std::min(Channel(color, c) + Channel(specular, c), 255u);
        ch[3] = color >> 24;
        color = PackChannels(ch);
    }
    if (alphaTest_ && !Compare(alphaFunc_, color >> 24, alphaRef_)) return;
    uint8_t* pixel = colorBits_ + static_cast<ptrdiff_t>(f.Y) * colorPitch_ + static_cast<ptrdiff_t>(f.X) * 4;
    Store32(pixel, BlendAndMask(color, Load32(pixel)));
    if (depthWrite_) {
        const uint32_t fieldMask = DepthFieldMask(depth_) << depth_.DepthShift;
        StoreDepthWord(depthPixel, depth_.BytesPerPixel,
                       (depthWord & ~fieldMask) | ((depthValue << depth_.DepthShift) & fieldMask));
    }
}

void PixelProcessor::DrawTriangleReference(const TriangleSetup& t, const RowBands& bands) const {
    ForEachSpan(
        t,
        [&](int y, int x0, int x1) {
            Fragment f;
            f.Y = y;
            const float fy = static_cast<float>(y - t.OriginY);
            for (int x = x0; x < x1; ++x) {
                const float fx = static_cast<float>(x - t.OriginX);
                f.X = x;
                f.Z = EvalPlane(t.Z, fx, fy);
                const float rhw = EvalPlane(t.Rhw, fx, fy);
                const float w = 1.0f / rhw;
                for (int a = 0; a < kAttrTexCoord; ++a) {
                    if ((attributeMask_ & (1u << a)) == 0) continue;
                    f.Color[a] = t.FlatColors ? t.Flat[a] : EvalPlane(t.Attr[a], fx, fy) * w;
                }
                for (int s = 0; s < kRasterStages; ++s) {
                    const int a = kAttrTexCoord + 2 * s;
                    if ((attributeMask_ & (1u << a)) == 0) continue;
                    const float u = EvalPlane(t.Attr[a], fx, fy) * w;
                    const float v = EvalPlane(t.Attr[a + 1], fx, fy) * w;
                    f.Tex[s][0] = u;
                    f.Tex[s][1] = v;
                    // d(U/Q)/dx = (dU/dx - u dQ/dx) / Q with Q = 1/w.
                    f.Derivatives[s][0] = (t.Attr[a].Dx - u * t.Rhw.Dx) * w;
                    f.Derivatives[s][1] = (t.Attr[a + 1].Dx - v * t.Rhw.Dx) * w;
                    f.Derivatives[s][2] = (t.Attr[a].Dy - u * t.Rhw.Dy) * w;
                    f.Derivatives[s][3] = (t.Attr[a + 1].Dy - v * t.Rhw.Dy) * w;
                }
                ShadeFragment(f);
            }
        },
        bands);
}

void PixelProcessor::DrawTriangle(const TriangleSetup& t, const RowBands& bands) const {
    if (fastTriangle_ == nullptr) {
        DrawTriangleReference(t, bands);
        return;
    }
    fastTriangle_(*this, t, bands);
}

// ---------------------------------------------------------------------------
// The fast path. TexBytes: 0 no texture, 1 or 2 a looked-up format, 4
// A8R8G8B8/X8R8G8B8, kTex1555 A1R5G5B5/X1R5G5B5 (decoded in registers). DepthBytes: 0 no depth test, else the
// depth word size. BlendKind: 0 off, 1 SRCALPHA/INVSRCALPHA with ADD, 2 any other blend.
constexpr int kTex1555 = 15;

template <int TexBytes, bool Linear, int DepthBytes, int BlendKind>
struct FastSpan {
    // Whether the vectorised pixel routine (quadspan.h) may cover this combination.
    static constexpr bool kQuad =
        TexBytes == kTex1555 && Linear && (DepthBytes == 0 || DepthBytes == 2) && BlendKind != 2;

    static constexpr int kBytes = TexBytes == kTex1555 ? 2 : TexBytes;
    static uint32_t Texel(const SampledLevel& level, int x, int y) {
        const uint8_t* p =
            level.Bits + static_cast<ptrdiff_t>(y) * level.Pitch + static_cast<ptrdiff_t>(x) * kBytes;
        if constexpr (TexBytes == 1) return level.Lookup[p[0]];
        if constexpr (kBytes == 2)
            return level.Lookup[static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)];
        if constexpr (TexBytes == 4) {
            const uint32_t v = Load32(p);
            return level.Format == D3DFMT_X8R8G8B8 ? (v | 0xFF000000u) : v;
        }
        return 0;
    }
    struct Addressing {
        DWORD AddressU, AddressV;
        uint32_t Border;
    };
    static uint32_t Addressed(const Addressing& s, const SampledLevel& level, int x, int y) {
        const int ax = AddressTexel(x, level.Width, s.AddressU);
        const int ay = AddressTexel(y, level.Height, s.AddressV);
        if ((ax | ay) < 0) return s.Border;
        return Texel(level, ax, ay);
    }
    // Samples at a texel position from Positions: fixed point (8 fraction
    // bits) for linear filtering, a texel index for point sampling.
    static Lanes SampleAt(const Addressing& s, const SampledLevel& level, int tx, int ty) {
        if constexpr (Linear) {
#if defined(__SSE2__)
            if constexpr (TexBytes == kTex1555) {
                const int x = tx >> 8, y = ty >> 8;
                if (static_cast<unsigned>(x) < static_cast<unsigned>(level.Width - 1) &&
                    static_cast<unsigned>(y) < static_cast<unsigned>(level.Height - 1)) {
                    const uint8_t* p =
                        level.Bits + static_cast<ptrdiff_t>(y) * level.Pitch + static_cast<ptrdiff_t>(x) * 2;
                    return Filter1555(Load32(p), Load32(p + level.Pitch), level.Format == D3DFMT_A1R5G5B5,
                                      static_cast<uint32_t>(tx & 255), static_cast<uint32_t>(ty & 255));
                }
            }
#endif
            const LinearTaps taps =
                GatherLinearAt(s, level, tx, ty, [&](int x, int y) { return Texel(level, x, y); });
            return FilterTexels(taps.Texels, taps.Fx, taps.Fy);
        } else {
            return LanesFromArgb(Addressed(s, level, tx, ty));
        }
    }

    // For four pixels from offset `fx0` along the row: w = 1 / (1/w), and the
    // texel positions SampleAt takes, computed as the scalar formulas do
    // (LinearTexelPosition, or FloorToInt(u size)), lane by lane.
    static void Positions(int fx0, float rhwRow, float rhwDx, float uRow, float uDx, float vRow, float vDx,
                          const SampledLevel& level, float w[4], int tx[4], int ty[4]) {
#if defined(__SSE2__)
        const __m128 fx = _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(fx0), _mm_setr_epi32(0, 1, 2, 3)));
        const __m128 wv = _mm_div_ps(_mm_set1_ps(1.0f),
                                     _mm_add_ps(_mm_set1_ps(rhwRow), _mm_mul_ps(_mm_set1_ps(rhwDx), fx)));
        _mm_storeu_ps(w, wv);
        if constexpr (TexBytes != 0) {
            auto position = [&](float row, float dx, int size) {
                const __m128 c =
                    _mm_mul_ps(_mm_add_ps(_mm_set1_ps(row), _mm_mul_ps(_mm_set1_ps(dx), fx)), wv);
                __m128 t = Linear ? _mm_sub_ps(_mm_mul_ps(c, _mm_set1_ps(static_cast<float>(size * 256))),
                                               _mm_set1_ps(128.0f))
                                  : _mm_mul_ps(c, _mm_set1_ps(static_cast<float>(size)));
                // FloorToInt: clamp (NaN to the lower bound), truncate, step down where that rounded up.
                t = _mm_max_ps(t, _mm_set1_ps(-1073741824.0f));
                t = _mm_min_ps(t, _mm_set1_ps(1073741824.0f));
                const __m128i truncated = _mm_cvttps_epi32(t);
                const __m128i above = _mm_castps_si128(_mm_cmplt_ps(t, _mm_cvtepi32_ps(truncated)));
                return _mm_add_epi32(truncated, above);
            };
            _mm_storeu_si128(reinterpret_cast<__m128i*>(tx), position(uRow, uDx, level.Width));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(ty), position(vRow, vDx, level.Height));
        }
#else
        for (int i = 0; i < 4; ++i) {
            const float fx = static_cast<float>(fx0 + i);
            w[i] = 1.0f / (rhwRow + rhwDx * fx);
            if constexpr (TexBytes != 0) {
                const float u = (uRow + uDx * fx) * w[i], v = (vRow + vDx * fx) * w[i];
                tx[i] = Linear ? LinearTexelPosition(u, level.Width)
                               : FloorToInt(u * static_cast<float>(level.Width));
                ty[i] = Linear ? LinearTexelPosition(v, level.Height)
                               : FloorToInt(v * static_cast<float>(level.Height));
            }
        }
#endif
    }

    static void Run(const PixelProcessor& p, const TriangleSetup& t, const RowBands& bands) {
        if constexpr (kQuad) {
            if (p.quadSpan_ != nullptr) {
                DrawPacked(p, t, bands);
                return;
            }
        }
        DrawRows(p, t, bands, nullptr);
    }

    // The covered pixels gathered into batches for the vectorised routine;
    // a pixel it cannot draw goes through DrawRows on its own.
    static void DrawPacked(const PixelProcessor& p, const TriangleSetup& t, const RowBands& bands) {
        const QuadSpanFunction quadSpan = p.quadSpan_;
        int32_t xs[kQuadSpanBatch], ys[kQuadSpanBatch];
        int gathered = 0;
        auto flush = [&] {
            int done = 0;
            while (done < gathered) {
                done += quadSpan(p.quad_, t, xs + done, ys + done, gathered - done);
                if (done < gathered) {
                    const int pixel[2] = {xs[done], ys[done]};
                    DrawRows(p, t, bands, pixel);
                    ++done;
                }
            }
            gathered = 0;
        };
        ForEachSpan(
            t,
            [&](int y, int x0, int x1) {
                for (int x = x0; x < x1; ++x) {
                    xs[gathered] = x;
                    ys[gathered] = y;
                    if (++gathered == kQuadSpanBatch) flush();
                }
            },
            bands);
        flush();
    }

    // Draws the rows of the triangle that `bands` owns, or with `onlyPixel`
    // (x, y) that one pixel alone.
    static void DrawRows(const PixelProcessor& p, const TriangleSetup& t, const RowBands& bands,
                         const int* onlyPixel) {
        // Everything the loop reads is copied to locals first: the pixel
        // stores go through byte pointers, which the compiler must otherwise
        // assume may change the processor's or the setup's fields.
        const uint32_t mask = p.attributeMask_;
        const bool flat = t.FlatColors;
        const bool specular = p.specularAdd_;
        float colorOrigin[8] = {}, colorDy[8] = {}, colorDx[8] = {};
        uint32_t flatColor[8] = {};
        for (int a = 0; a < 7; ++a) {
            if ((mask & (1u << a)) == 0) continue;
            if (flat) {
                flatColor[a] = ToByte(t.Flat[a]);
            } else {
                colorOrigin[a] = t.Attr[a].Origin;
                colorDy[a] = t.Attr[a].Dy;
                colorDx[a] = t.Attr[a].Dx;
            }
        }
        const Plane z = t.Z, rhw = t.Rhw;
        Plane u, v;
        const SamplerSetup& samplerSetup = p.samplers_[0];
        const Addressing addressing{samplerSetup.AddressU, samplerSetup.AddressV, samplerSetup.Border};
        const SampledLevel level = samplerSetup.Levels[0];
        if constexpr (TexBytes != 0) {
            u = t.Attr[kAttrTexCoord];
            v = t.Attr[kAttrTexCoord + 1];
        }
        const int originX = t.OriginX, originY = t.OriginY;
        const DepthLayout depthLayout = p.depth_;
        const uint32_t fieldMask = DepthFieldMask(depthLayout);
        const int depthShift = depthLayout.DepthShift;
        const DWORD depthFunc = p.depthFunc_;
        const bool depthWrite = p.depthWrite_;
        const bool alphaTest = p.alphaTest_;
        const DWORD alphaFunc = p.alphaFunc_;
        const uint32_t alphaRef = p.alphaRef_;
        const bool alphaFromTexture = p.fastAlphaTexture_, alphaFromDiffuse = p.fastAlphaDiffuse_;
        const bool colorFromTexture = p.fastColorTexture_, colorFromDiffuse = p.fastColorDiffuse_;
        const bool targetHasAlpha = p.targetHasAlpha_;
        const uint32_t writeMask = p.writeMask_;
        uint8_t* const colorBits = p.colorBits_;
        uint8_t* const depthBits = p.depthBits_;
        const int colorPitch = p.colorPitch_, depthPitch = p.depthPitch_;

        const Lanes textureMask = MaskLanes(colorFromTexture, alphaFromTexture);
        const Lanes diffuseMask = MaskLanes(colorFromDiffuse, alphaFromDiffuse);
        const Lanes flatDiffuse = LanesFromBytes(flatColor);
        const uint32_t flatSpecularBytes[4] = {flatColor[4], flatColor[5], flatColor[6], 0};
        const Lanes flatSpecular = LanesFromBytes(flatSpecularBytes);
        const Lanes white = LanesFromArgb(0xFFFFFFFFu);

        // Pixels [x0, x1) of row y, four at a time.
        auto span = [&](int y, int x0, int x1) {
            // Values at the start of the row, as EvalPlane computes them.
            const float fy = static_cast<float>(y - originY);
            const float zRow = z.Origin + z.Dy * fy;
            const float rhwRow = rhw.Origin + rhw.Dy * fy;
            float colorRow[8];
            for (int a = 0; a < 8; ++a) colorRow[a] = colorOrigin[a] + colorDy[a] * fy;
            const float uRow = u.Origin + u.Dy * fy, vRow = v.Origin + v.Dy * fy;
            const float zDx = z.Dx, rhwDx = rhw.Dx, uDx = u.Dx, vDx = v.Dx;
            uint8_t* colorRowBits = colorBits + static_cast<ptrdiff_t>(y) * colorPitch;
            uint8_t* depthRowBits =
                DepthBytes != 0 ? depthBits + static_cast<ptrdiff_t>(y) * depthPitch : nullptr;

            // Four pixels at a time: first what vectorises (w and texel
            // positions), then each pixel on its own.
            for (int batch = x0; batch < x1; batch += 4) {
                float ws[4];
                int tx[4] = {}, ty[4] = {};
                Positions(batch - originX, rhwRow, rhwDx, uRow, uDx, vRow, vDx, level, ws, tx, ty);
                const int count = std::min(batch + 4, x1) - batch;
                // Phase one, pixel by pixel: depth test, texel, colours.
                // Phase two: the stage, alpha test, blend and writes. The
                // four pixels of each phase are independent, so their work
                // overlaps in the processor.
                bool visible[4];
                uint32_t depthWord[4] = {}, depthValue[4] = {};
                Lanes texel[4], diffuse[4], specularColor[4];
                for (int i = 0; i < count; ++i) {
                    const int x = batch + i;
                    const float fx = static_cast<float>(x - originX);
                    if constexpr (DepthBytes != 0) {
                        const float z = zRow + zDx * fx;
                        depthWord[i] = LoadDepthWord(depthRowBits + x * DepthBytes, DepthBytes);
                        depthValue[i] = QuantizeDepth(z, depthLayout);
                        visible[i] =
                            Compare(depthFunc, depthValue[i], (depthWord[i] >> depthShift) & fieldMask);
                        if (!visible[i]) continue;
                    } else {
                        visible[i] = true;
                    }
                    const float w = ws[i];
                    texel[i] = white;
                    if constexpr (TexBytes != 0) texel[i] = SampleAt(addressing, level, tx[i], ty[i]);
                    diffuse[i] = flat ? flatDiffuse : LanesFromInterpolated(colorRow, colorDx, fx, w);
                    if (specular) {
                        specularColor[i] =
                            flat ? flatSpecular : LanesFromInterpolated(colorRow + 4, colorDx + 4, fx, w);
                    }
                }
                for (int i = 0; i < count; ++i) {
                    if (!visible[i]) continue;
                    const int x = batch + i;
                    // The stage: (texture or white) x (diffuse or white), colour and alpha.
                    Lanes color = MulLanes(SelectOrWhite(texel[i], textureMask),
                                           SelectOrWhite(diffuse[i], diffuseMask));
                    const uint32_t alpha = LaneAlpha(color);
                    if (alphaTest && !Compare(alphaFunc, alpha, alphaRef)) continue;
                    if constexpr (BlendKind == 1) {
                        // Src x 0 + Dst x 1 leaves the destination as it is.
                        if (alpha == 0 && !depthWrite) continue;
                    }
                    if (specular) color = AddSaturated(color, specularColor[i]);
                    uint8_t* pixel = colorRowBits + static_cast<ptrdiff_t>(x) * 4;
                    const uint32_t destination = Load32(pixel);
                    uint32_t result;
                    if constexpr (BlendKind == 0) {
                        result = LanesToArgb(color);
                    } else if constexpr (BlendKind == 1) {
                        // A target without alpha reads destination alpha as 1; its
                        // alpha byte is masked off below anyway.
                        result = LanesToArgb(BlendSourceAlpha(
                            color, LanesFromArgb(targetHasAlpha ? destination : destination | 0xFF000000u)));
                    } else {
                        result = p.BlendAndMask(LanesToArgb(color), destination);
                    }
                    if constexpr (BlendKind != 2) result = (destination & ~writeMask) | (result & writeMask);
                    Store32(pixel, result);
                    if constexpr (DepthBytes != 0) {
                        if (depthWrite) {
                            const uint32_t field = fieldMask << depthShift;
                            StoreDepthWord(depthRowBits + x * DepthBytes, DepthBytes,
                                           (depthWord[i] & ~field) | ((depthValue[i] << depthShift) & field));
                        }
                    }
                }
            }
        };
        if (onlyPixel != nullptr) {
            span(onlyPixel[1], onlyPixel[0], onlyPixel[0] + 1);
        } else {
            ForEachSpan(t, span, bands);
        }
    }
};

namespace {

template <int TexBytes, bool Linear, int DepthBytes>
PixelProcessor::TriangleFunction PickBlend(int blendKind) {
    switch (blendKind) {
        case 0:
            return &FastSpan<TexBytes, Linear, DepthBytes, 0>::Run;
        case 1:
            return &FastSpan<TexBytes, Linear, DepthBytes, 1>::Run;
        default:
            return &FastSpan<TexBytes, Linear, DepthBytes, 2>::Run;
    }
}

template <int TexBytes, bool Linear>
PixelProcessor::TriangleFunction PickDepth(int depthBytes, int blendKind) {
    switch (depthBytes) {
        case 0:
            return PickBlend<TexBytes, Linear, 0>(blendKind);
        case 2:
            return PickBlend<TexBytes, Linear, 2>(blendKind);
        default:
            return PickBlend<TexBytes, Linear, 4>(blendKind);
    }
}

}  // namespace

void PixelProcessor::ChooseFastPath(PixelIsa isa) {
    // Stages: at most stage 0, each of its operations a product of (texture
    // or white) and (diffuse or white).
    if (stageCount_ > 1) return;
    const Stage& stage = stages_[0];
    auto classify = [&](DWORD op, DWORD a1, DWORD a2, bool& texture, bool& diffuse) {
        texture = diffuse = false;
        if (stageCount_ == 0 || op == D3DTOP_DISABLE) {
            diffuse = true;  // stage 0 disabled: the diffuse colour and alpha
            return true;
        }
        auto kind = [&](DWORD a) -> int {  // 1 texture, 2 diffuse (CURRENT is diffuse on stage 0), 0 other
            if (a == D3DTA_TEXTURE) return 1;
            if (a == D3DTA_DIFFUSE || a == D3DTA_CURRENT) return 2;
            return 0;
        };
        int k1 = kind(a1), k2 = kind(a2);
        if (op == D3DTOP_SELECTARG1)
            k2 = -1;
        else if (op == D3DTOP_SELECTARG2)
            k1 = -1;
        else if (op != D3DTOP_MODULATE)
            return false;
        if (k1 == 0 || k2 == 0 || k1 == k2) return false;
        texture = k1 == 1 || k2 == 1;
        diffuse = k1 == 2 || k2 == 2;
        if (texture && !stage.Textured) {
            texture = false;  // a missing texture passes the current colour through
            diffuse = true;
        }
        return true;
    };
    const bool stageDisabled = stageCount_ == 0;
    if (!classify(stageDisabled ? D3DTOP_DISABLE : stage.ColorOp, stage.ColorArg1, stage.ColorArg2,
                  fastColorTexture_, fastColorDiffuse_) ||
        !classify(stageDisabled ? D3DTOP_DISABLE : stage.AlphaOp, stage.AlphaArg1, stage.AlphaArg2,
                  fastAlphaTexture_, fastAlphaDiffuse_)) {
        return;
    }
    if (!stageDisabled && stage.ResultArg == D3DTA_TEMP) return;
    if (!fastAlphaDiffuse_ && !fastAlphaTexture_) return;  // an alpha op the reduction cannot express

    const bool textured = fastColorTexture_ || fastAlphaTexture_;
    int texBytes = 0;
    bool linear = false;
    if (textured) {
        const SamplerSetup& s = samplers_[0];
        if (s.NeedsLod) return;
        const SampledLevel& level = s.Levels[0];
        if (level.Format == D3DFMT_A1R5G5B5 || level.Format == D3DFMT_X1R5G5B5) {
            texBytes = kTex1555;
        } else if (level.Lookup != nullptr) {
            texBytes = level.Bytes;
        } else if (level.Format == D3DFMT_A8R8G8B8 || level.Format == D3DFMT_X8R8G8B8) {
            texBytes = 4;
        } else {
            return;
        }
        linear = s.MagFilter == D3DTEXF_LINEAR;
    }
    const int depthBytes = depthTest_ ? depth_.BytesPerPixel : 0;
    int blendKind = 0;
    if (blend_) {
        blendKind = (srcBlend_ == D3DBLEND_SRCALPHA && destBlend_ == D3DBLEND_INVSRCALPHA &&
                     blendOp_ == D3DBLENDOP_ADD)
                        ? 1
                        : 2;
    }
    TriangleFunction chosen = nullptr;
    switch (texBytes) {
        case 0:
            chosen = PickDepth<0, false>(depthBytes, blendKind);
            break;
        case 1:
            chosen = linear ? PickDepth<1, true>(depthBytes, blendKind)
                            : PickDepth<1, false>(depthBytes, blendKind);
            break;
        case 2:
            chosen = linear ? PickDepth<2, true>(depthBytes, blendKind)
                            : PickDepth<2, false>(depthBytes, blendKind);
            break;
        case kTex1555:
            chosen = linear ? PickDepth<kTex1555, true>(depthBytes, blendKind)
                            : PickDepth<kTex1555, false>(depthBytes, blendKind);
            break;
        default:
            chosen = linear ? PickDepth<4, true>(depthBytes, blendKind)
                            : PickDepth<4, false>(depthBytes, blendKind);
            break;
    }
    fastTriangle_ = chosen;

    // The vectorised routine: its combinations, with D16's 16-bit depth (not
    // D15S1's, whose field sits above a stencil bit) and 32-bit offsets into
    // the texture and the targets.
    const SampledLevel& level = samplers_[0].Levels[0];
    const bool d16 = depthBytes == 2 && depth_.DepthBits == 16 && depth_.DepthShift == 0;
    const bool combination =
        texBytes == kTex1555 && linear && blendKind != 2 && !alphaTest_ && (depthBytes == 0 || d16);
    const bool offsets = static_cast<int64_t>(level.Height) * level.Pitch < INT32_MAX &&
                         static_cast<int64_t>(scissor_.Y1) * colorPitch_ < INT32_MAX &&
                         static_cast<int64_t>(scissor_.Y1) * depthPitch_ < INT32_MAX;
    if (!combination || !offsets) return;
    quadSpan_ = QuadSpanFor(isa);
    QuadSpanConstants& q = quad_;
    q.TexBits = level.Bits;
    q.TexPitch = level.Pitch;
    q.TexWidth = level.Width;
    q.TexHeight = level.Height;
    q.AlphaBit = level.Format == D3DFMT_A1R5G5B5;
    q.AddressU = samplers_[0].AddressU;
    q.AddressV = samplers_[0].AddressV;
    q.ColorTexture = fastColorTexture_;
    q.ColorDiffuse = fastColorDiffuse_;
    q.AlphaTexture = fastAlphaTexture_;
    q.AlphaDiffuse = fastAlphaDiffuse_;
    q.Specular = specularAdd_;
    q.ColorBits = colorBits_;
    q.ColorPitch = colorPitch_;
    q.DepthBits = depthBits_;
    q.DepthPitch = depthPitch_;
    q.DepthBytes = depthBytes;
    q.DepthFunc = depthFunc_;
    q.DepthWrite = depthWrite_;
    q.Blend = blendKind == 1;
    q.TargetHasAlpha = targetHasAlpha_;
    q.WriteMask = writeMask_;
}

}  // namespace wbx::raster
