#include "d3d9/raster/pixelprocessor.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

PixelProcessor::PixelProcessor(const PipelineState& state, const RenderTargets& targets, bool referenceOnly) {
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
    if (canDraw_ && !referenceOnly) ChooseFastPath();
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
        if (stage.Textured || !readsTexture(stage.ColorOp, stage.ColorArg1, stage.ColorArg2, stage.ColorArg0)) {
            const uint32_t a1 = value(stage.ColorArg1), a2 = value(stage.ColorArg2), a0 = value(stage.ColorArg0);
            uint32_t ch[4] = {0, 0, 0, 0};
            if (stage.ColorOp == D3DTOP_DOTPRODUCT3) {
                int dot = 0;
                for (int c = 0; c < 3; ++c)
                    dot += (static_cast<int>(Channel(a1, c)) - 128) * (static_cast<int>(Channel(a2, c)) - 128);
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
            (stage.Textured || !readsTexture(stage.AlphaOp, stage.AlphaArg1, stage.AlphaArg2, stage.AlphaArg0))) {
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
                    ch[c] = std::min((s * factor(srcBlend_, c, true) + d * factor(destBlend_, c, false) + 127) / 255,
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
    const uint32_t diffuse = (ToByte(f.Color[3]) << 24) | (ToByte(f.Color[0]) << 16) | (ToByte(f.Color[1]) << 8) |
                             ToByte(f.Color[2]);
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

void PixelProcessor::DrawTriangleReference(const TriangleSetup& t) const {
    ForEachSpan(t, [&](int y, int x0, int x1) {
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
    });
}

void PixelProcessor::DrawTriangle(const TriangleSetup& t) const {
    if (fastSpan_ == nullptr) {
        DrawTriangleReference(t);
        return;
    }
    ForEachSpan(t, [&](int y, int x0, int x1) { fastSpan_(*this, t, y, x0, x1); });
}

// ---------------------------------------------------------------------------
// The fast path. TexBytes: 0 no texture, 1 or 2 a looked-up format, 4
// A8R8G8B8/X8R8G8B8. DepthBytes: 0 no depth test, else the depth word size.
// BlendKind: 0 off, 1 SRCALPHA/INVSRCALPHA with ADD, 2 any other blend.
template <int TexBytes, bool Linear, int DepthBytes, int BlendKind>
struct FastSpan {
    static uint32_t Texel(const SampledLevel& level, int x, int y) {
        const uint8_t* p = level.Bits + static_cast<ptrdiff_t>(y) * level.Pitch + static_cast<ptrdiff_t>(x) * TexBytes;
        if constexpr (TexBytes == 1) return level.Lookup[p[0]];
        if constexpr (TexBytes == 2) return level.Lookup[static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)];
        if constexpr (TexBytes == 4) {
            const uint32_t v = Load32(p);
            return level.Format == D3DFMT_X8R8G8B8 ? (v | 0xFF000000u) : v;
        }
        return 0;
    }
    static uint32_t Addressed(const SamplerSetup& s, const SampledLevel& level, int x, int y) {
        const int ax = AddressTexel(x, level.Width, s.AddressU);
        const int ay = AddressTexel(y, level.Height, s.AddressV);
        if ((ax | ay) < 0) return s.Border;
        return Texel(level, ax, ay);
    }
    static uint32_t Sample(const SamplerSetup& s, const SampledLevel& level, float u, float v) {
        if constexpr (Linear) {
            const int tx = FloorToInt(static_cast<double>(u) * level.Width * 256.0 - 128.0);
            const int ty = FloorToInt(static_cast<double>(v) * level.Height * 256.0 - 128.0);
            const int x = tx >> 8, y = ty >> 8;
            const uint32_t fx = static_cast<uint32_t>(tx & 255), fy = static_cast<uint32_t>(ty & 255);
            const uint32_t c00 = Addressed(s, level, x, y);
            const uint32_t c10 = Addressed(s, level, x + 1, y);
            const uint32_t c01 = Addressed(s, level, x, y + 1);
            const uint32_t c11 = Addressed(s, level, x + 1, y + 1);
            return LerpColor(LerpColor(c00, c10, fx), LerpColor(c01, c11, fx), fy);
        } else {
            const int x = FloorToInt(static_cast<double>(u) * level.Width);
            const int y = FloorToInt(static_cast<double>(v) * level.Height);
            return Addressed(s, level, x, y);
        }
    }

    static void Run(const PixelProcessor& p, const TriangleSetup& t, int y, int x0, int x1) {
        // Everything the loop reads is copied to locals first: the pixel
        // stores go through byte pointers, which the compiler must otherwise
        // assume may change the processor's or the setup's fields.
        const uint32_t mask = p.attributeMask_;
        const float fy = static_cast<float>(y - t.OriginY);
        const float zRow = t.Z.Origin + t.Z.Dy * fy, zDx = t.Z.Dx;
        const float rhwRow = t.Rhw.Origin + t.Rhw.Dy * fy, rhwDx = t.Rhw.Dx;
        const bool flat = t.FlatColors;
        const bool specular = p.specularAdd_;
        float colorRow[7] = {}, colorDx[7] = {};
        uint32_t flatColor[7] = {};
        for (int a = 0; a < 7; ++a) {
            if ((mask & (1u << a)) == 0) continue;
            if (flat) {
                flatColor[a] = ToByte(t.Flat[a]);
            } else {
                colorRow[a] = t.Attr[a].Origin + t.Attr[a].Dy * fy;
                colorDx[a] = t.Attr[a].Dx;
            }
        }
        float uRow = 0, vRow = 0, uDx = 0, vDx = 0;
        SamplerSetup sampler;
        if constexpr (TexBytes != 0) {
            const SamplerSetup& s = p.samplers_[0];
            sampler.AddressU = s.AddressU;
            sampler.AddressV = s.AddressV;
            sampler.Border = s.Border;
            sampler.Levels[0] = s.Levels[0];
            uRow = t.Attr[kAttrTexCoord].Origin + t.Attr[kAttrTexCoord].Dy * fy;
            vRow = t.Attr[kAttrTexCoord + 1].Origin + t.Attr[kAttrTexCoord + 1].Dy * fy;
            uDx = t.Attr[kAttrTexCoord].Dx;
            vDx = t.Attr[kAttrTexCoord + 1].Dx;
        }
        const SampledLevel level = sampler.Levels[0];
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
        uint8_t* colorRowBits = p.colorBits_ + static_cast<ptrdiff_t>(y) * p.colorPitch_;
        uint8_t* depthRowBits = DepthBytes != 0 ? p.depthBits_ + static_cast<ptrdiff_t>(y) * p.depthPitch_ : nullptr;

        for (int x = x0; x < x1; ++x) {
            const float fx = static_cast<float>(x - t.OriginX);
            uint32_t depthWord = 0, depthValue = 0;
            if constexpr (DepthBytes != 0) {
                const float z = zRow + zDx * fx;
                depthWord = LoadDepthWord(depthRowBits + x * DepthBytes, DepthBytes);
                depthValue = QuantizeDepth(z, depthLayout);
                if (!Compare(depthFunc, depthValue, (depthWord >> depthShift) & fieldMask)) continue;
            }
            const float w = 1.0f / (rhwRow + rhwDx * fx);
            uint32_t d[4];
            if (flat) {
                for (int a = 0; a < 4; ++a) d[a] = flatColor[a];
            } else {
                for (int a = 0; a < 4; ++a) d[a] = ToByte((colorRow[a] + colorDx[a] * fx) * w);
            }
            uint32_t texel = 0xFFFFFFFFu;
            if constexpr (TexBytes != 0) {
                const float u = (uRow + uDx * fx) * w;
                const float v = (vRow + vDx * fx) * w;
                texel = Sample(sampler, level, u, v);
            }
            const uint32_t alpha = Mul255(alphaFromTexture ? texel >> 24 : 255u, alphaFromDiffuse ? d[3] : 255u);
            if (alphaTest && !Compare(alphaFunc, alpha, alphaRef)) continue;
            if constexpr (BlendKind == 1) {
                // Src x 0 + Dst x 1 leaves the destination as it is.
                if (alpha == 0 && !depthWrite) continue;
            }
            uint32_t c[3];
            for (int k = 0; k < 3; ++k) {
                const uint32_t tc = colorFromTexture ? (texel >> (16 - 8 * k)) & 0xFF : 255u;
                c[k] = Mul255(tc, colorFromDiffuse ? d[k] : 255u);
            }
            if (specular) {
                for (int k = 0; k < 3; ++k) {
                    const uint32_t s = flat ? flatColor[4 + k] : ToByte((colorRow[4 + k] + colorDx[4 + k] * fx) * w);
                    c[k] = std::min(c[k] + s, 255u);
                }
            }
            uint8_t* pixel = colorRowBits + static_cast<ptrdiff_t>(x) * 4;
            const uint32_t destination = Load32(pixel);
            uint32_t result;
            if constexpr (BlendKind == 0) {
                result = (alpha << 24) | (c[0] << 16) | (c[1] << 8) | c[2];
            } else if constexpr (BlendKind == 1) {
                const uint32_t inverse = 255 - alpha;
                const uint32_t da = targetHasAlpha ? destination >> 24 : 255u;
                result = (((alpha * alpha + da * inverse + 127) / 255) << 24) |
                         (((c[0] * alpha + ((destination >> 16) & 0xFF) * inverse + 127) / 255) << 16) |
                         (((c[1] * alpha + ((destination >> 8) & 0xFF) * inverse + 127) / 255) << 8) |
                         ((c[2] * alpha + (destination & 0xFF) * inverse + 127) / 255);
            } else {
                result = p.BlendAndMask((alpha << 24) | (c[0] << 16) | (c[1] << 8) | c[2], destination);
            }
            if constexpr (BlendKind != 2) result = (destination & ~writeMask) | (result & writeMask);
            Store32(pixel, result);
            if constexpr (DepthBytes != 0) {
                if (depthWrite) {
                    const uint32_t field = fieldMask << depthShift;
                    StoreDepthWord(depthRowBits + x * DepthBytes, DepthBytes,
                                   (depthWord & ~field) | ((depthValue << depthShift) & field));
                }
            }
        }
    }
};

namespace {

template <int TexBytes, bool Linear, int DepthBytes>
PixelProcessor::SpanFunction PickBlend(int blendKind) {
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
PixelProcessor::SpanFunction PickDepth(int depthBytes, int blendKind) {
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

void PixelProcessor::ChooseFastPath() {
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
        if (op == D3DTOP_SELECTARG1) k2 = -1;
        else if (op == D3DTOP_SELECTARG2) k1 = -1;
        else if (op != D3DTOP_MODULATE) return false;
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
    if (!classify(stageDisabled ? D3DTOP_DISABLE : stage.ColorOp, stage.ColorArg1, stage.ColorArg2, fastColorTexture_,
                  fastColorDiffuse_) ||
        !classify(stageDisabled ? D3DTOP_DISABLE : stage.AlphaOp, stage.AlphaArg1, stage.AlphaArg2, fastAlphaTexture_,
                  fastAlphaDiffuse_)) {
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
        if (level.Lookup != nullptr) {
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
    SpanFunction chosen = nullptr;
    switch (texBytes) {
        case 0:
            chosen = PickDepth<0, false>(depthBytes, blendKind);
            break;
        case 1:
            chosen = linear ? PickDepth<1, true>(depthBytes, blendKind) : PickDepth<1, false>(depthBytes, blendKind);
            break;
        case 2:
            chosen = linear ? PickDepth<2, true>(depthBytes, blendKind) : PickDepth<2, false>(depthBytes, blendKind);
            break;
        default:
            chosen = linear ? PickDepth<4, true>(depthBytes, blendKind) : PickDepth<4, false>(depthBytes, blendKind);
            break;
    }
    fastSpan_ = chosen;
}

}  // namespace wbx::raster
