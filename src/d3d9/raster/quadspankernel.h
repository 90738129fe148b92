#pragma once
// The body of the vectorised pixel routine (quadspan.h), written once over a
// lane type V that each instruction-set variant supplies (quadspan.cpp for
// SSE2, quadspanavx2.cpp for AVX2). Only those two files include this, each
// compiled for its own instruction set; everything here therefore has
// internal linkage so that no variant's code can stand in for another's.
//
// V provides: kLanes; Int and Float vectors of kLanes 32-bit lanes; and the
// operations used below, each with the meaning of the SSE2 intrinsic of the
// same kind applied lane by lane.
//
// Every step mirrors the per-pixel routine's arithmetic: interpolation as
// ((Origin + Dy fy) + Dx fx) x w in single precision (no fused multiply-add), texel positions by FloorToInt,
// 5-bit channels widened as round(v 255 / 31), the two-pass 8-bit linear
// filter, products round(a b / 255), saturated specular add, and the blend
// (s a + d (255 - a) + 127) / 255.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "d3d9/raster/quadspan.h"
#include "pixelprocessor.h"
#include "sampler.h"

namespace wbx::raster {
namespace {

template <class V>
int QuadSpanKernel(const QuadSpanConstants& c, const TriangleSetup& t, const int32_t* xs, const int32_t* ys,
                   int fragmentCount) {
    using Int = typename V::Int;
    using Float = typename V::Float;
    constexpr int kLanes = V::kLanes;

    const Int ones = V::Set(-1);
    const Int zero = V::Set(0);
    const Int c255 = V::Set(255);
    const Int round128 = V::Set(128);
    const Int byteMask = c255;
    // The colour arithmetic works on channel pairs in 16-bit halves: blue
    // and red in one vector, green and alpha in the other, so that one
    // instruction serves two channels. Every intermediate value stays below
    // 2^16, so the halves never interact.
    const Int low16 = V::Set(0x0000FFFF), high16 = V::Set(static_cast<int>(0xFFFF0000u));
    const Int c255Pair = V::Set(0x00FF00FF);
    const Int texMaskBR = c.ColorTexture ? ones : zero;
    const Int texMaskGA = V::Or(c.ColorTexture ? low16 : zero, c.AlphaTexture ? high16 : zero);
    const Int difMaskBR = c.ColorDiffuse ? ones : zero;
    const Int difMaskGA = V::Or(c.ColorDiffuse ? low16 : zero, c.AlphaDiffuse ? high16 : zero);
    const Int keep = V::Set(static_cast<int>(~c.WriteMask));
    // Fully transparent texels change nothing under SRCALPHA / INVSRCALPHA
    // when depth is not written: alpha 0 blends to the destination exactly.
    const bool skipTransparent = c.Blend && !c.DepthWrite && c.AlphaTexture && c.AlphaBit;
    const Int alphaBits = V::Set(static_cast<int>(0x80008000u));
    const bool depth = c.DepthBytes == 2 && c.DepthBits != nullptr;
    const int texWidth = c.TexWidth, texHeight = c.TexHeight, texPitch = c.TexPitch;
    const uint8_t* const texBits = c.TexBits;
    // The triangle's planes (attribute / w; colours in r, g, b, a, specular r, g, b order).
    const Plane* const colors = t.Attr + kAttrDiffuse;
    const Plane& planeU = t.Attr[kAttrTexCoord];
    const Plane& planeV = t.Attr[kAttrTexCoord + 1];
    const bool flat = t.FlatColors;
    uint32_t flatColor[7] = {};
    if (flat)
        for (int a = 0; a < 7; ++a) flatColor[a] = ToByte(t.Flat[a]);

    auto select = [&](Int value, Int mask) {  // value where mask, else 255
        return V::Or(V::And(value, mask), V::AndNot(mask, c255Pair));
    };
    auto mul255 = [&](Int a, Int b) {  // round(a b / 255) per 16-bit half holding 0..255
        const Int t = V::Add16(V::Mul16(a, b), V::Set16(128));
        return V::template Srl16<8>(V::Add16(t, V::template Srl16<8>(t)));
    };
    auto pair = [&](Int low, Int high) { return V::Or(low, V::template Sll<16>(high)); };
    // A plane at the lanes' pixels: (Origin + Dy fy) + Dx fx, as EvalPlane.
    auto eval = [&](const Plane& p, Float fx, Float fy) {
        return V::AddF(V::AddF(V::SetF(p.Origin), V::MulF(V::SetF(p.Dy), fy)), V::MulF(V::SetF(p.Dx), fx));
    };
    auto toBytes = [&](const Plane& p, Float fx, Float fy, Float w) {  // ToByte(plane w)
        const Float value = V::MulF(eval(p, fx, fy), w);
        Float scaled = V::AddF(V::MulF(value, V::SetF(255.0f)), V::SetF(0.5f));
        scaled = V::MinF(V::MaxF(scaled, V::SetF(0.0f)), V::SetF(255.0f));  // NaN gives 0
        return V::Trunc(scaled);
    };
    auto position = [&](const Plane& p, Float fx, Float fy, Float w, int size) {  // LinearTexelPosition
        const Float coordinate = V::MulF(eval(p, fx, fy), w);
        Float t = V::SubF(V::MulF(coordinate, V::SetF(static_cast<float>(size * 256))), V::SetF(128.0f));
        // FloorToInt: clamp (NaN to the lower bound), truncate, step down where that rounded up.
        t = V::MaxF(t, V::SetF(-1073741824.0f));
        t = V::MinF(t, V::SetF(1073741824.0f));
        const Int truncated = V::Trunc(t);
        return V::Add(truncated, V::LessF(t, V::ToFloat(truncated)));
    };
    auto widen = [&](Int raw, auto shift) {  // two 5-bit fields per lane to 0..255
        const Int v = V::And(V::template Srl16<decltype(shift)::value>(raw), V::Set16(31));
        return V::template Srl16<6>(V::Add16(V::Mul16(v, V::Set16(527)), V::Set16(23)));
    };
    auto alphaOf = [&](Int raw) {
        return c.AlphaBit ? V::And(V::template Sra16<15>(raw), V::Set16(255)) : V::Set16(255);
    };

    for (int first = 0; first < fragmentCount; first += kLanes) {
        const int count = fragmentCount - first < kLanes ? fragmentCount - first : kLanes;
        alignas(32) int32_t px[kLanes] = {}, py[kLanes] = {};
        if (count == kLanes) {
            std::memcpy(px, xs + first, sizeof(px));
            std::memcpy(py, ys + first, sizeof(py));
        } else {
            // Lanes past the end repeat the first pixel, so that every lane
            // addresses memory that exists; they stay invisible.
            for (int i = 0; i < kLanes; ++i) {
                px[i] = xs[first + (i < count ? i : 0)];
                py[i] = ys[first + (i < count ? i : 0)];
            }
        }
        Int visible = V::CmpGt(V::Set(count), V::Iota());
        const Int pixelX = V::Load(px), pixelY = V::Load(py);
        const Float fx = V::ToFloat(V::Sub(pixelX, V::Set(t.OriginX)));
        const Float fy = V::ToFloat(V::Sub(pixelY, V::Set(t.OriginY)));

        // Depth, quantised as QuantizeDepth does for 16 bits.
        Int depthValue = zero, stored = zero;
        alignas(32) uint16_t depthWords[kLanes];
        alignas(32) int32_t depthAt[kLanes];  // byte offsets of the lanes' depth words
        if (depth) {
            const Float clamped = V::MinF(V::MaxF(eval(t.Z, fx, fy), V::SetF(0.0f)), V::SetF(1.0f));
            depthValue = V::Trunc(V::AddF(V::MulF(clamped, V::SetF(65535.0f)), V::SetF(0.5f)));
            V::Store(depthAt, V::Add(V::MulLo32(pixelY, V::Set(c.DepthPitch)), V::Add(pixelX, pixelX)));
            for (int i = 0; i < kLanes; ++i) std::memcpy(&depthWords[i], c.DepthBits + depthAt[i], 2);
            stored = V::LoadWidened16(depthWords);
            Int pass = ones;
            switch (c.DepthFunc) {
                case D3DCMP_NEVER:
                    pass = zero;
                    break;
                case D3DCMP_LESS:
                    pass = V::CmpGt(stored, depthValue);
                    break;
                case D3DCMP_EQUAL:
                    pass = V::CmpEq(depthValue, stored);
                    break;
                case D3DCMP_LESSEQUAL:
                    pass = V::Xor(V::CmpGt(depthValue, stored), ones);
                    break;
                case D3DCMP_GREATER:
                    pass = V::CmpGt(depthValue, stored);
                    break;
                case D3DCMP_NOTEQUAL:
                    pass = V::Xor(V::CmpEq(depthValue, stored), ones);
                    break;
                case D3DCMP_GREATEREQUAL:
                    pass = V::Xor(V::CmpGt(stored, depthValue), ones);
                    break;
                default:  // ALWAYS, and unknown values
                    break;
            }
            visible = V::And(visible, pass);
            if (V::LaneBits(visible) == 0) continue;
        }

        // w and the fixed-point texel positions.
        const Float w = V::DivF(V::SetF(1.0f), eval(t.Rhw, fx, fy));
        const Int tx = position(planeU, fx, fy, w, texWidth);
        const Int ty = position(planeV, fx, fy, w, texHeight);

        // The 2 x 2 footprints of the visible pixels: two texels from the
        // row y (`top`) and two from y + 1 (`bottom`) per lane, read
        // directly inside the level and addressed where they leave it.
        const Int tx0 = V::template Sra<8>(tx), ty0 = V::template Sra<8>(ty);
        const Int inside = V::And(V::And(V::CmpGt(tx0, V::Set(-1)), V::CmpGt(V::Set(texWidth - 1), tx0)),
                                  V::And(V::CmpGt(ty0, V::Set(-1)), V::CmpGt(V::Set(texHeight - 1), ty0)));
        const Int texOffsets = V::Add(V::MulLo32(ty0, V::Set(texPitch)), V::Add(tx0, tx0));
        const Int direct = V::And(visible, inside);
        Int rawTop = V::Gather32(texBits, texOffsets, direct);
        Int rawBottom = V::Gather32(texBits + texPitch, texOffsets, direct);
        const unsigned visibleBits = V::LaneBits(visible);
        const unsigned addressedBits = visibleBits & ~V::LaneBits(inside);
        bool addressable = true;
        if (addressedBits != 0) {
            alignas(32) int32_t txs[kLanes], tys[kLanes];
            alignas(32) uint32_t top[kLanes], bottom[kLanes];
            V::Store(txs, tx0);
            V::Store(tys, ty0);
            V::Store(top, rawTop);
            V::Store(bottom, rawBottom);
            for (int i = 0; i < kLanes; ++i) {
                if ((addressedBits & (1u << i)) == 0) continue;
                const int ax0 = AddressTexel(txs[i], texWidth, c.AddressU);
                const int ax1 = AddressTexel(txs[i] + 1, texWidth, c.AddressU);
                const int ay0 = AddressTexel(tys[i], texHeight, c.AddressV);
                const int ay1 = AddressTexel(tys[i] + 1, texHeight, c.AddressV);
                if ((ax0 | ax1 | ay0 | ay1) < 0) {
                    addressable = false;  // a border texel: its colour is not a 1-5-5-5 value
                    break;
                }
                auto raw = [&](int ax, int ay) {
                    uint16_t v;
                    std::memcpy(
                        &v, texBits + static_cast<ptrdiff_t>(ay) * texPitch + static_cast<ptrdiff_t>(ax) * 2,
                        2);
                    return static_cast<uint32_t>(v);
                };
                top[i] = raw(ax0, ay0) | (raw(ax1, ay0) << 16);
                bottom[i] = raw(ax0, ay1) | (raw(ax1, ay1) << 16);
            }
            rawTop = V::Load(top);
            rawBottom = V::Load(bottom);
        }
        if (!addressable) return first;
        if (skipTransparent) {
            const Int opaque = V::Xor(V::CmpEq(V::And(V::Or(rawTop, rawBottom), alphaBits), zero), ones);
            visible = V::And(visible, opaque);
            if (V::LaneBits(visible) == 0) continue;
        }

        // Linear filtering, channel by channel: across each row with
        // (256 - fx, fx), then down with (256 - fy, fy).
        const Int fxw = V::And(tx, byteMask), fyw = V::And(ty, byteMask);
        const Int across = V::Or(V::template Sll<16>(fxw), V::Sub(V::Set(256), fxw));
        const Int down = V::Or(V::template Sll<16>(fyw), V::Sub(V::Set(256), fyw));
        auto filter = [&](Int topChannel, Int bottomChannel) {
            const Int t = V::template Srl<8>(V::Add(V::Madd16(topChannel, across), round128));
            const Int b = V::template Srl<8>(V::Add(V::Madd16(bottomChannel, across), round128));
            const Int rows = V::Or(t, V::template Sll<16>(b));
            return V::template Srl<8>(V::Add(V::Madd16(rows, down), round128));
        };
        using Shift0 = std::integral_constant<int, 0>;
        using Shift5 = std::integral_constant<int, 5>;
        using Shift10 = std::integral_constant<int, 10>;
        const Int texB = filter(widen(rawTop, Shift0{}), widen(rawBottom, Shift0{}));
        const Int texG = filter(widen(rawTop, Shift5{}), widen(rawBottom, Shift5{}));
        const Int texR = filter(widen(rawTop, Shift10{}), widen(rawBottom, Shift10{}));
        const Int texA = filter(alphaOf(rawTop), alphaOf(rawBottom));

        // The interpolated colours (or the flat ones), the stage, then specular.
        Int difBR, difGA;
        if (flat) {
            difBR = V::Set(static_cast<int>(flatColor[2] | (flatColor[0] << 16)));
            difGA = V::Set(static_cast<int>(flatColor[1] | (flatColor[3] << 16)));
        } else {
            difBR = pair(toBytes(colors[2], fx, fy, w), toBytes(colors[0], fx, fy, w));
            difGA = pair(toBytes(colors[1], fx, fy, w), toBytes(colors[3], fx, fy, w));
        }
        Int br = mul255(select(pair(texB, texR), texMaskBR), select(difBR, difMaskBR));
        Int ga = mul255(select(pair(texG, texA), texMaskGA), select(difGA, difMaskGA));
        if (c.Specular) {
            Int specBR, specG;
            if (flat) {
                specBR = V::Set(static_cast<int>(flatColor[6] | (flatColor[4] << 16)));
                specG = V::Set(static_cast<int>(flatColor[5]));
            } else {
                specBR = pair(toBytes(colors[6], fx, fy, w), toBytes(colors[4], fx, fy, w));
                specG = toBytes(colors[5], fx, fy, w);
            }
            // Saturated at 255; alpha gains nothing.
            br = V::Min16(V::Add16(br, specBR), c255Pair);
            ga = V::Min16(V::Add16(ga, specG), c255Pair);
        }

        // Blend with the destination.
        const Int colorOffsets = V::Add(V::MulLo32(pixelY, V::Set(c.ColorPitch)), V::template Sll<2>(pixelX));
        const Int destination = V::Gather32(c.ColorBits, colorOffsets, visible);
        if (c.Blend) {
            // (s a + d (255 - a) + 127) / 255 = (t + 1 + (t >> 8)) >> 8, below 2^16 throughout; alpha 0
            // gives d exactly.
            const Int alpha = V::Or(V::template Srl<16>(ga), V::And(ga, high16));  // in both halves
            const Int inverse = V::Sub16(c255Pair, alpha);
            auto blend = [&](Int s, Int d) {
                const Int t = V::Add16(V::Add16(V::Mul16(s, alpha), V::Mul16(d, inverse)), V::Set16(127));
                return V::template Srl16<8>(V::Add16(V::Add16(t, V::Set16(1)), V::template Srl16<8>(t)));
            };
            const Int destinationBR = V::And(destination, c255Pair);
            Int destinationGA = V::template Srl16<8>(destination);
            // A target without alpha reads destination alpha as 1; the write mask drops it anyway.
            if (!c.TargetHasAlpha) destinationGA = V::Or(V::And(destinationGA, low16), V::Set(0x00FF0000));
            br = blend(br, destinationBR);
            ga = blend(ga, destinationGA);
        }
        Int result = V::Or(br, V::template Sll16<8>(ga));  // blue, green, red, alpha bytes
        result = V::Or(V::And(destination, keep), V::AndNot(keep, result));
        // Only the visible pixels are written back (a lane is visible only
        // if the depth test passed and its texels are not all transparent).
        const unsigned writtenBits = V::LaneBits(visible);
        alignas(32) uint32_t pixels[kLanes];
        alignas(32) int32_t offsets[kLanes];
        V::Store(pixels, result);
        V::Store(offsets, colorOffsets);
        for (unsigned bits = writtenBits; bits != 0; bits &= bits - 1) {
            const int i = std::countr_zero(bits);
            std::memcpy(c.ColorBits + offsets[i], &pixels[i], 4);
        }
        if (depth && c.DepthWrite) {
            alignas(32) uint32_t written[kLanes];
            V::Store(written, depthValue);
            for (int i = 0; i < kLanes; ++i) {
                if ((writtenBits & (1u << i)) == 0) continue;
                const uint16_t word = static_cast<uint16_t>(written[i]);
                std::memcpy(c.DepthBits + depthAt[i], &word, 2);
            }
        }
    }
    return fragmentCount;
}

}  // namespace
}  // namespace wbx::raster
