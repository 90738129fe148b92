#include "pixelprocessor.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wbx::raster {

PixelProcessor::PixelProcessor(const PipelineState& state, const RenderTargets& targets, bool referenceOnly,
                               PixelIsa isa) {
    const DWORD* rs = state.RenderStates;
    const Surface& color = targets.Color;
    if (color.Bits == nullptr || color.Width <= 0 || color.Height <= 0 || color.Pitch < color.Width * 4 ||
        !IsColorTargetFormat(color.Format)) {
        return;
    }
    colorBits_ = color.Bits;
    colorPitch_ = color.Pitch;
    const bool targetHasAlpha = color.Format == D3DFMT_A8R8G8B8;
    merge_.TargetHasAlpha = targetHasAlpha;
    const DWORD writeEnable = rs[D3DRS_COLORWRITEENABLE];
    merge_.WriteMask = ((writeEnable & D3DCOLORWRITEENABLE_RED) ? 0x00FF0000u : 0) |
                       ((writeEnable & D3DCOLORWRITEENABLE_GREEN) ? 0x0000FF00u : 0) |
                       ((writeEnable & D3DCOLORWRITEENABLE_BLUE) ? 0x000000FFu : 0) |
                       ((targetHasAlpha && (writeEnable & D3DCOLORWRITEENABLE_ALPHA)) ? 0xFF000000u : 0);

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
        const int64_t lastWord = static_cast<int64_t>(depth->Height - 1) * depth->Pitch +
                                 static_cast<int64_t>(depth->Width - 1) * layout.BytesPerPixel;
        depthLastWord_ = lastWord <= INT32_MAX ? static_cast<int>(lastWord) : -1;  // beyond any drawn pixel
        depth_ = layout;
        depthTest_ = true;
        depthWrite_ = rs[D3DRS_ZWRITEENABLE] != FALSE;
        depthFunc_ = rs[D3DRS_ZFUNC];
        // Depth that nothing has written since its clear holds one value,
        // and keeps it through a draw that writes none.
        if (depth->DepthUniform && !depthWrite_) {
            depthUniform_ = true;
            uniformDepth_ = QuantizeDepth(depth->ClearedDepth, layout);
        }
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
    merge_.Enabled = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    merge_.SrcBlend = rs[D3DRS_SRCBLEND];
    merge_.DestBlend = rs[D3DRS_DESTBLEND];
    if (merge_.SrcBlend == D3DBLEND_BOTHSRCALPHA) {
        merge_.SrcBlend = D3DBLEND_SRCALPHA;
        merge_.DestBlend = D3DBLEND_INVSRCALPHA;
    } else if (merge_.SrcBlend == D3DBLEND_BOTHINVSRCALPHA) {
        merge_.SrcBlend = D3DBLEND_INVSRCALPHA;
        merge_.DestBlend = D3DBLEND_SRCALPHA;
    }
    merge_.Op = rs[D3DRS_BLENDOP];
    merge_.Factor = rs[D3DRS_BLENDFACTOR];
    specularAdd_ = rs[D3DRS_SPECULARENABLE] != FALSE;
    stages_.Factor = rs[D3DRS_TEXTUREFACTOR];
    flat_ = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

    attributeMask_ = 0xFu;  // diffuse
    bool readsSpecular = specularAdd_;
    for (int s = 0; s < kRasterStages; ++s) {
        const DWORD* ss = state.StageStates[s];
        TextureStage& stage = stages_.Stages[s];
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
        stages_.Count = s + 1;
    }
    if (readsSpecular) attributeMask_ |= 0x70u;
    canDraw_ = scissor_.X0 < scissor_.X1 && scissor_.Y0 < scissor_.Y1;
    if (canDraw_ && !referenceOnly) ChooseKernel(isa);
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
    for (int s = 0; s < stages_.Count; ++s) {
        const SamplerSetup& sampler = samplers_[s];
        if (sampler.LevelCount == 0) continue;
        const float* d = f.Derivatives[s];
        const float lod = sampler.NeedsLod ? ComputeLod(sampler, d[0], d[1], d[2], d[3]) : 0.0f;
        texels[s] = Sample(sampler, f.Tex[s][0], f.Tex[s][1], lod);
    }
    uint32_t color = stages_.Evaluate(diffuse, specular, texels);
    if (specularAdd_) {
        uint32_t sum = color & 0xFF000000u;
        for (int c = 0; c < 3; ++c)
            sum |= std::min(Channel(color, c) + Channel(specular, c), 255u) << (8 * c);
        color = sum;
    }
    if (alphaTest_ && !Compare(alphaFunc_, color >> 24, alphaRef_)) return;
    uint8_t* pixel = colorBits_ + static_cast<ptrdiff_t>(f.Y) * colorPitch_ + static_cast<ptrdiff_t>(f.X) * 4;
    Store32(pixel, BlendPixel(merge_, color, Load32(pixel)));
    if (depthWrite_) {
        const uint32_t fieldMask = DepthFieldMask(depth_) << depth_.DepthShift;
        StoreDepthWord(depthPixel, depth_.BytesPerPixel,
                       (depthWord & ~fieldMask) | ((depthValue << depth_.DepthShift) & fieldMask));
    }
}

void PixelProcessor::ShadePixel(const TriangleSetup& t, int x, int y) const {
    Fragment f;
    f.X = x;
    f.Y = y;
    const float fx = static_cast<float>(x - t.OriginX);
    const float fy = static_cast<float>(y - t.OriginY);
    f.Z = EvalPlane(t.At(kPlaneZ), fx, fy);
    const float rhw = EvalPlane(t.At(kPlaneRhw), fx, fy);
    const float w = 1.0f / rhw;
    for (int a = 0; a < kAttrTexCoord; ++a) {
        if ((attributeMask_ & (1u << a)) == 0) continue;
        f.Color[a] = t.FlatColors ? t.Flat[a] : EvalPlane(t.At(kPlaneAttr + a), fx, fy) * w;
    }
    for (int s = 0; s < kRasterStages; ++s) {
        const int a = kAttrTexCoord + 2 * s;
        if ((attributeMask_ & (1u << a)) == 0) continue;
        const Plane pu = t.At(kPlaneAttr + a), pv = t.At(kPlaneAttr + a + 1), q = t.At(kPlaneRhw);
        const float u = EvalPlane(pu, fx, fy) * w;
        const float v = EvalPlane(pv, fx, fy) * w;
        f.Tex[s][0] = u;
        f.Tex[s][1] = v;
        // d(U/Q)/dx = (dU/dx - u dQ/dx) / Q with Q = 1/w.
        f.Derivatives[s][0] = (pu.Dx - u * q.Dx) * w;
        f.Derivatives[s][1] = (pv.Dx - v * q.Dx) * w;
        f.Derivatives[s][2] = (pu.Dy - u * q.Dy) * w;
        f.Derivatives[s][3] = (pv.Dy - v * q.Dy) * w;
    }
    ShadeFragment(f);
}

void PixelProcessor::DrawTriangle(const TriangleSetup& t, const PixelRect& clip) const {
    if (kernel_ != nullptr) {
        DrawPacked(t, clip);
        return;
    }
    ForEachSpan(t, clip, [&](int y, int x0, int x1) {
        for (int x = x0; x < x1; ++x) ShadePixel(t, x, y);
    });
}

// The covered pixels gathered into batches for the span kernel; a pixel it
// cannot draw goes through the reference on its own.
void PixelProcessor::DrawPacked(const TriangleSetup& t, const PixelRect& clip) const {
    const SpanKernel kernel = kernel_;
    // A row's run is written a whole row wide at once: room for that past the batch.
    alignas(16) int32_t xs[kSpanBatch + kNarrowSpanWidth], ys[kSpanBatch + kNarrowSpanWidth];
    int gathered = 0;
    auto flush = [&] {
        int done = 0;
        while (done < gathered) {
            done += kernel(span_, t, xs + done, ys + done, gathered - done);
            if (done < gathered) {
                ShadePixel(t, xs[done], ys[done]);
                ++done;
            }
        }
        gathered = 0;
    };
    // Writes x, x + 1, ... and y into `count` entries (a multiple of 4) from `at`.
    auto put = [&](int at, int x, int y, int count) {
        for (int i = 0; i < count; i += 4) {
#if defined(__SSE2__)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(xs + at + i),
                             _mm_add_epi32(_mm_set1_epi32(x + i), _mm_setr_epi32(0, 1, 2, 3)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(ys + at + i), _mm_set1_epi32(y));
#else
            for (int k = 0; k < 4; ++k) {
                xs[at + i + k] = x + i + k;
                ys[at + i + k] = y;
            }
#endif
        }
    };
    ForEachCoverageBox(
        t, clip,
        [&](const int64_t* row, int x0, int x1, int y0, int y1) {
            NarrowEdges edges(t, row, x1 - x0);
            for (int y = y0; y < y1;) {
                y += packNarrow_(edges, x0, y, y1 - y, kSpanBatch, xs, ys, gathered);
                if (gathered >= kSpanBatch) flush();
            }
        },
        [&](int y, int x0, int x1) {
            for (int x = x0; x < x1;) {
                const int n = std::min(x1 - x, kSpanBatch - gathered);
                put(gathered, x, y, (n + 3) & ~3);
                gathered += n;
                x += n;
                if (gathered == kSpanBatch) flush();
            }
        });
    flush();
}

void PixelProcessor::ChooseKernel(PixelIsa isa) {
    // Stages: at most stage 0, each of its operations a product of (texture
    // or white) and (diffuse or white).
    if (stages_.Count > 1) return;
    const TextureStage& stage = stages_.Stages[0];
    auto classify = [&](DWORD op, DWORD a1, DWORD a2, bool& texture, bool& diffuse) {
        texture = diffuse = false;
        if (stages_.Count == 0 || op == D3DTOP_DISABLE) {
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
    const bool stageDisabled = stages_.Count == 0;
    if (!classify(stageDisabled ? D3DTOP_DISABLE : stage.ColorOp, stage.ColorArg1, stage.ColorArg2,
                  span_.ColorTexture, span_.ColorDiffuse) ||
        !classify(stageDisabled ? D3DTOP_DISABLE : stage.AlphaOp, stage.AlphaArg1, stage.AlphaArg2,
                  span_.AlphaTexture, span_.AlphaDiffuse)) {
        return;
    }
    if (!stageDisabled && stage.ResultArg == D3DTA_TEMP) return;
    if (!span_.AlphaDiffuse && !span_.AlphaTexture) return;  // an alpha op the reduction cannot express

    SpanConstants& c = span_;
    TexelKind texels = TexelKind::None;
    if (c.ColorTexture || c.AlphaTexture) {
        const SamplerSetup& s = samplers_[0];
        if (s.NeedsLod) return;  // one level and one filter only
        const SampledLevel& level = s.Levels[s.BaseLevel];
        c.Level = level;
        c.AddressU = s.AddressU;
        c.AddressV = s.AddressV;
        c.Border = s.Border;
        c.Linear = s.MagFilter == D3DTEXF_LINEAR;
        const bool is1555 = level.Format == D3DFMT_A1R5G5B5 || level.Format == D3DFMT_X1R5G5B5;
        c.AlphaBit = level.Format == D3DFMT_A1R5G5B5;
        texels = is1555 && c.Linear ? TexelKind::Linear1555 : TexelKind::Fetched;
        // The kernels address texels with 32-bit offsets.
        if (static_cast<int64_t>(level.Height) * level.Pitch >= INT32_MAX) return;
    }
    c.Specular = specularAdd_;
    c.AlphaTest = alphaTest_;
    c.AlphaFunc = alphaFunc_;
    c.AlphaRef = alphaRef_;
    const DepthOutcome outcome = depthUniform_
                                     ? DepthOutcomeAgainst(depthFunc_, uniformDepth_, DepthFieldMask(depth_))
                                     : DepthOutcome::Varies;
    // A test every depth passes is no test.
    if (depthTest_ && outcome != DepthOutcome::Always) {
        c.Depth = depth_.BytesPerPixel == 2 ? DepthKind::Word16 : DepthKind::Word32;
        c.DepthUniform = depthUniform_;
        c.UniformDepth = uniformDepth_;
        c.DepthBits = depthBits_;
        c.DepthPitch = depthPitch_;
        c.DepthLastWord = depthLastWord_;
        c.DepthFormat = depth_;
        c.DepthFunc = depthFunc_;
        c.DepthWrite = depthWrite_;
    }
    c.ColorBits = colorBits_;
    c.ColorPitch = colorPitch_;
    c.Merge = merge_;
    c.Blend = BlendKind::Off;
    if (merge_.Enabled) {
        c.Blend = merge_.SrcBlend == D3DBLEND_SRCALPHA && merge_.DestBlend == D3DBLEND_INVSRCALPHA &&
                          merge_.Op == D3DBLENDOP_ADD
                      ? BlendKind::SourceAlpha
                      : BlendKind::General;
    }
    if (static_cast<int64_t>(scissor_.Y1) * colorPitch_ >= INT32_MAX ||
        static_cast<int64_t>(scissor_.Y1) * depthPitch_ >= INT32_MAX) {
        return;
    }
    profile_ = SpanProfileOf(c, texels);
    kernel_ = SpanKernelFor(isa, texels, profile_);
    if (kernel_ == nullptr) profile_ = SpanProfile::Any;
    packNarrow_ = NarrowPackFor(isa);
}

}  // namespace wbx::raster
