#pragma once
// The body of the span kernels (spankernel.h), written once over a lane type
// V that each instruction-set variant supplies (scalarlanes.h, sse2lanes.h,
// avx2lanes.h). Only the files that instantiate it include this, each
// compiled for its own instruction set; everything here therefore has
// internal linkage so that no variant's code can stand in for another's.
//
// V provides: kLanes; Int and Float vectors of kLanes 32-bit lanes; and the
// operations used below, each with the meaning of the SSE2 intrinsic of the
// same kind applied lane by lane (min and max of floats return the second
// operand when either is NaN, as minps and maxps do).
//
// Every step mirrors the reference's arithmetic: interpolation as
// ((Origin + Dy fy) + Dx fx) x w in single precision (no fused multiply-add),
// texel positions by FloorToInt, 5-bit channels widened as round(v 255 / 31),
// the two-pass 8-bit linear filter, products round(a b / 255), the saturated
// specular add, depth quantised as QuantizeDepth, and the blend
// (s a + d (255 - a) + 127) / 255; anything rarer is done lane by lane with
// the reference's own functions.

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "pixelarithmetic.h"
#include "sampler.h"
#include "spankernel.h"

namespace wbx::raster {
namespace {

// Constants of the kernels' loop, read from memory as operands of the
// instructions that use them. Left to itself the compiler builds each in
// registers (three instructions) at every use in the loop, or once a call
// and keeps it on the stack; read through a pointer it cannot see through,
// a constant costs nothing but its operand.
struct alignas(32) LaneWords {
    uint32_t Words[8];  // as many lanes as the widest variant has
};
constexpr LaneWords Splat(uint32_t v) { return {{v, v, v, v, v, v, v, v}}; }
constexpr LaneWords SplatPair(uint32_t v) { return Splat(v | (v << 16)); }
enum LaneConstant {
    kC255,
    kC256,
    kRound128,
    kSignBit,
    kLow16,
    kHigh16,
    kAlphaBits,
    kOnePair,
    kC23Pair,
    kC31Pair,
    kRound127Pair,
    kRound128Pair,
    kC255Pair,
    kC527Pair,
};
constexpr LaneWords kLaneConstants[] = {
    Splat(255),         Splat(256),         Splat(128),     Splat(0x80000000u), Splat(0x0000FFFFu),
    Splat(0xFFFF0000u), Splat(0x80008000u), SplatPair(1),   SplatPair(23),      SplatPair(31),
    SplatPair(127),     SplatPair(128),     SplatPair(255), SplatPair(527)};

// p, as a pointer whose target the compiler knows nothing of.
template <class T>
const T* Unseen(const T* p) {
    __asm__("" : "+r"(p));
    return p;
}

template <class V, TexelKind Tex, SpanProfile Profile>
int SpanKernelBody(const SpanConstants& c, const TriangleSetup& t, const int32_t* xs, const int32_t* ys,
                   int fragmentCount) {
    using Int = typename V::Int;
    using Float = typename V::Float;
    constexpr int kLanes = V::kLanes;
    // The states a profile fixes are constants here; the rest come from c.
    // Copies in locals also keep the compiler from reloading them after
    // every store to the targets, which may alias anything.
    constexpr bool kFixed = Profile != SpanProfile::Any;
    const DepthKind depthKind =
        kFixed ? (Profile == SpanProfile::Blended ? DepthKind::None : DepthKind::Word16) : c.Depth;
    const DWORD depthFunc = kFixed ? D3DCMP_LESSEQUAL : c.DepthFunc;
    const bool depthWrite = kFixed ? Profile == SpanProfile::Opaque16 : c.DepthWrite;
    const bool depthUniform = !kFixed && c.DepthUniform && !depthWrite;  // written depth is read back
    const BlendKind blendKind =
        kFixed ? (Profile == SpanProfile::Opaque16 ? BlendKind::Off : BlendKind::SourceAlpha) : c.Blend;
    const bool alphaTest = kFixed ? false : c.AlphaTest;
    const bool linear = Tex == TexelKind::Linear1555 || c.Linear;
    uint8_t* const colorBits = c.ColorBits;
    uint8_t* const depthBits = c.DepthBits;
    const int colorPitch = c.ColorPitch, depthPitch = c.DepthPitch;
    const int originX = t.OriginX, originY = t.OriginY;

    // Constants are read from memory where they are used (see LaneConstant).
    const LaneWords* const constants = Unseen(kLaneConstants);
    auto k = [constants](LaneConstant which) { return V::Load(constants[which].Words); };
    const Int ones = V::Set(-1);
    const Int zero = V::Set(0);
    // The colour arithmetic works on channel pairs in 16-bit halves: blue
    // and red in one vector, green and alpha in the other, so that one
    // instruction serves two channels. Every intermediate value stays below
    // 2^16, so the halves never interact.
    const Int texMaskBR = c.ColorTexture ? ones : zero;
    const Int texMaskGA = V::Or(c.ColorTexture ? k(kLow16) : zero, c.AlphaTexture ? k(kHigh16) : zero);
    const Int difMaskBR = c.ColorDiffuse ? ones : zero;
    const Int difMaskGA = V::Or(c.ColorDiffuse ? k(kLow16) : zero, c.AlphaDiffuse ? k(kHigh16) : zero);
    const Int keep = V::Set(static_cast<int>(~c.Merge.WriteMask));
    // Fully transparent texels change nothing under SRCALPHA / INVSRCALPHA
    // when depth is not written and no alpha test can tell: alpha 0 blends
    // to the destination exactly.
    const bool skipTransparent = Tex == TexelKind::Linear1555 && blendKind == BlendKind::SourceAlpha &&
                                 !depthWrite && c.AlphaTexture && c.AlphaBit && !alphaTest;
    const SampledLevel& level = c.Level;
    const int texWidth = level.Width, texHeight = level.Height, texPitch = level.Pitch;
    const Int lastColumnBiased = V::Set(static_cast<int>(static_cast<uint32_t>(texWidth - 1) ^ 0x80000000u));
    const Int lastRowBiased = V::Set(static_cast<int>(static_cast<uint32_t>(texHeight - 1) ^ 0x80000000u));
    const uint8_t* const texBits = level.Bits;
    // Depth words: the field's position, size and largest value.
    // The profiles' depth word is D16's: one 16-bit field from bit 0.
    const DepthLayout depthFormat = kFixed ? DepthLayout{2, 16, 0, 0} : c.DepthFormat;
    const int depthBytes = depthKind == DepthKind::Word16 ? 2 : 4;
    const uint32_t fieldMask = DepthFieldMask(depthFormat);
    const Int fieldMaskV = V::Set(static_cast<int>(fieldMask));
    const Int fieldInWord = V::Set(static_cast<int>(fieldMask << depthFormat.DepthShift));
    const float depthScale = static_cast<float>(fieldMask);
    const Int lastDepthWord = V::Set(c.DepthLastWord);
    // The triangle's planes (attribute / w; colours in r, g, b, a, specular r, g, b order).
    constexpr int kColors = kPlaneAttr + kAttrDiffuse;  // r, g, b, a, specular r, g, b
    constexpr int kPlaneU = kPlaneAttr + kAttrTexCoord, kPlaneV = kPlaneU + 1;
    const bool flat = t.FlatColors;
    // A specular colour of 0 at every vertex is 0 at every pixel (ToByte of
    // 0 times w): adding it changes nothing.
    bool specular = c.Specular;
    if (specular && !flat) {
        bool zero = true;
        for (int k = kColors + 4; k < kColors + 7; ++k)
            zero = zero && t.PlaneOrigin[k] == 0.0f && t.PlaneDx[k] == 0.0f && t.PlaneDy[k] == 0.0f;
        specular = !zero;
    }
    uint32_t flatColor[7] = {};
    if (flat)
        for (int a = 0; a < 7; ++a) flatColor[a] = ToByte(t.Flat[a]);

    auto select = [&](Int value, Int mask) {  // value where mask, else 255
        if (kFixed) return value;             // the profiles modulate texture and diffuse throughout
        return V::Or(V::And(value, mask), V::AndNot(mask, k(kC255Pair)));
    };
    auto mul255 = [&](Int a, Int b) {  // round(a b / 255) per 16-bit half holding 0..255
        const Int p = V::Add16(V::Mul16(a, b), k(kRound128Pair));
        return V::template Srl16<8>(V::Add16(p, V::template Srl16<8>(p)));
    };
    auto pair = [&](Int low, Int high) { return V::Or(low, V::template Sll<16>(high)); };
    // "value FUNC reference" on lanes holding unsigned 32-bit values.
    auto compare = [&](DWORD func, Int value, Int reference) -> Int {
        const Int a = V::Xor(value, k(kSignBit)), b = V::Xor(reference, k(kSignBit));
        switch (func) {
            case D3DCMP_NEVER:
                return zero;
            case D3DCMP_LESS:
                return V::CmpGt(b, a);
            case D3DCMP_EQUAL:
                return V::CmpEq(a, b);
            case D3DCMP_LESSEQUAL:
                return V::Xor(V::CmpGt(a, b), ones);
            case D3DCMP_GREATER:
                return V::CmpGt(a, b);
            case D3DCMP_NOTEQUAL:
                return V::Xor(V::CmpEq(a, b), ones);
            case D3DCMP_GREATEREQUAL:
                return V::Xor(V::CmpGt(b, a), ones);
            default:  // ALWAYS, and unknown values
                return ones;
        }
    };
    // A plane at the lanes' pixels: (Origin + Dy fy) + Dx fx, as EvalPlane.
    auto eval = [&](int slot, Float fx, Float fy) {
        return V::AddF(V::AddF(V::SetF(t.PlaneOrigin[slot]), V::MulF(V::SetF(t.PlaneDy[slot]), fy)),
                       V::MulF(V::SetF(t.PlaneDx[slot]), fx));
    };
    auto toBytes = [&](int slot, Float fx, Float fy, Float w) {  // ToByte(plane w)
        const Float value = V::MulF(eval(slot, fx, fy), w);
        Float scaled = V::AddF(V::MulF(value, V::SetF(255.0f)), V::SetF(0.5f));
        scaled = V::MinF(V::MaxF(scaled, V::SetF(0.0f)), V::SetF(255.0f));  // NaN gives 0
        return V::Trunc(scaled);
    };
    auto floorToInt = [&](Float v) {  // FloorToInt: clamp (NaN to the lower bound), truncate, step down
        v = V::MaxF(v, V::SetF(-1073741824.0f));
        v = V::MinF(v, V::SetF(1073741824.0f));
        const Int truncated = V::Trunc(v);
        return V::Add(truncated, V::LessF(v, V::ToFloat(truncated)));
    };
    auto position = [&](int slot, Float fx, Float fy, Float w, int size) {
        const Float coordinate = V::MulF(eval(slot, fx, fy), w);
        if (!linear) return floorToInt(V::MulF(coordinate, V::SetF(static_cast<float>(size))));
        // LinearTexelPosition: the texel index in the high bits, the next texel's weight in the low 8.
        return floorToInt(
            V::SubF(V::MulF(coordinate, V::SetF(static_cast<float>(size * 256))), V::SetF(128.0f)));
    };
    // x 527 stays one multiplication: read from memory, the constant cannot become shifts and adds.
    auto widen = [&](Int raw, auto shift) {  // two 5-bit fields per lane to 0..255
        const Int v = V::And(V::template Srl16<decltype(shift)::value>(raw), k(kC31Pair));
        return V::template Srl16<6>(V::Add16(V::Mul16(v, k(kC527Pair)), k(kC23Pair)));
    };
    auto alphaOf = [&](Int raw) {
        return c.AlphaBit ? V::And(V::template Sra16<15>(raw), k(kC255Pair)) : k(kC255Pair);
    };
    // Channel k (0 blue .. 3 alpha) of ARGB lanes.
    auto channel = [&](Int argb, int which) { return V::And(V::SrlVar(argb, 8 * which), k(kC255)); };

    for (int first = 0; first < fragmentCount; first += kLanes) {
        const int count = fragmentCount - first < kLanes ? fragmentCount - first : kLanes;
        // Lanes past the end repeat the group's first pixel: they address
        // memory that exists, and compute and write back exactly what the
        // first lane does, so they change nothing.
        const Int pixelX = count == kLanes ? V::Load(xs + first) : V::LoadPartial(xs + first, count);
        const Int pixelY = count == kLanes ? V::Load(ys + first) : V::LoadPartial(ys + first, count);
        Int visible = ones;
        const Float fx = V::ToFloat(V::Sub(pixelX, V::Set(originX)));
        const Float fy = V::ToFloat(V::Sub(pixelY, V::Set(originY)));

        // Depth, quantised as QuantizeDepth does, against the stored field.
        Int depthValue = zero, depthWord = zero;
        alignas(32) uint32_t depthAt[kLanes] = {};  // byte offsets of the lanes' depth words
        if (depthKind != DepthKind::None) {
            const Float z = eval(kPlaneZ, fx, fy);
            if (depthKind == DepthKind::Word32 && depthFormat.DepthBits >= 32) {
                // 32-bit depth rounds in double precision, lane by lane.
                alignas(32) float zs[kLanes];
                alignas(32) uint32_t q[kLanes];
                V::StoreF(zs, z);
                for (int i = 0; i < kLanes; ++i) q[i] = QuantizeDepth(zs[i], depthFormat);
                depthValue = V::Load(q);
            } else {
                const Float clamped = V::MinF(V::MaxF(z, V::SetF(0.0f)), V::SetF(1.0f));
                const Int q = V::Trunc(V::AddF(V::MulF(clamped, V::SetF(depthScale)), V::SetF(0.5f)));
                if (depthFormat.DepthBits < 24) {
                    depthValue = q;  // at most the largest value + 0.5, held exactly
                } else {
                    const Int over = V::CmpGt(q, fieldMaskV);  // 2^24 - 0.5 rounds up to 2^24
                    depthValue = V::Or(V::And(over, fieldMaskV), V::AndNot(over, q));
                }
            }
            Int stored;
            if (depthUniform) {
                stored = V::Set(static_cast<int>(c.UniformDepth));  // as cleared, and not written since
            } else {
                const Int offsets = V::Add(
                    V::MulLo32(pixelY, V::Set(depthPitch)),
                    depthKind == DepthKind::Word16 ? V::Add(pixelX, pixelX) : V::template Sll<2>(pixelX));
                V::Store(depthAt, offsets);
                if (depthKind == DepthKind::Word16) {
                    // Four bytes read at each word, except at the surface's very
                    // last word, whose next two bytes may not exist.
                    if (V::LaneBits(V::CmpEq(offsets, lastDepthWord)) == 0) {
                        depthWord = V::And(V::Gather32(depthBits, offsets, ones), k(kLow16));
                    } else {
                        alignas(32) uint16_t words[kLanes];
                        for (int i = 0; i < kLanes; ++i) std::memcpy(&words[i], depthBits + depthAt[i], 2);
                        depthWord = V::LoadWidened16(words);
                    }
                } else {
                    depthWord = V::Gather32(depthBits, offsets, ones);
                }
                stored = depthFormat.DepthShift == 0 && depthFormat.BytesPerPixel == 2 &&
                                 depthFormat.DepthBits == 16
                             ? depthWord
                             : V::And(V::SrlVar(depthWord, depthFormat.DepthShift), fieldMaskV);
            }
            visible = V::And(visible, compare(depthFunc, depthValue, stored));
            if (V::LaneBits(visible) == 0) continue;
        }

        // w, and the texels of the visible pixels as channels 0..255.
        const Float w = V::DivF(V::SetF(1.0f), eval(kPlaneRhw, fx, fy));
        Int texB = k(kC255), texG = k(kC255), texR = k(kC255), texA = k(kC255);
        if constexpr (Tex != TexelKind::None) {
            const Int tx = position(kPlaneU, fx, fy, w, texWidth);
            const Int ty = position(kPlaneV, fx, fy, w, texHeight);
            // Linear filtering, channel by channel: across each row with
            // (256 - fx, fx), then down with (256 - fy, fy).
            const Int fxw = V::And(tx, k(kC255)), fyw = V::And(ty, k(kC255));
            const Int across = V::Or(V::template Sll<16>(fxw), V::Sub(k(kC256), fxw));
            const Int down = V::Or(V::template Sll<16>(fyw), V::Sub(k(kC256), fyw));
            auto filter = [&](Int topChannel, Int bottomChannel) {
                const Int top = V::template Srl<8>(V::Add(V::Madd16(topChannel, across), k(kRound128)));
                const Int bottom = V::template Srl<8>(V::Add(V::Madd16(bottomChannel, across), k(kRound128)));
                const Int rows = V::Or(top, V::template Sll<16>(bottom));
                return V::template Srl<8>(V::Add(V::Madd16(rows, down), k(kRound128)));
            };
            if constexpr (Tex == TexelKind::Linear1555) {
                // The 2 x 2 footprints: two texels from row y (`top`) and two
                // from y + 1 (`bottom`) per lane, read directly inside the
                // level and addressed where they leave it.
                const Int tx0 = V::template Sra<8>(tx), ty0 = V::template Sra<8>(ty);
                // 0 <= tx0 < width - 1 and 0 <= ty0 < height - 1, as unsigned comparisons.
                const Int inside = V::And(V::CmpGt(lastColumnBiased, V::Xor(tx0, k(kSignBit))),
                                          V::CmpGt(lastRowBiased, V::Xor(ty0, k(kSignBit))));
                const Int texOffsets = V::Add(V::MulLo32(ty0, V::Set(texPitch)), V::Add(tx0, tx0));
                const Int direct = V::And(visible, inside);
                Int rawTop = V::Gather32(texBits, texOffsets, direct);
                Int rawBottom = V::Gather32(texBits + texPitch, texOffsets, direct);
                const unsigned addressedBits = V::LaneBits(visible) & ~V::LaneBits(inside);
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
                        // A border texel's colour is no 1-5-5-5 value: the caller draws it.
                        if ((ax0 | ax1 | ay0 | ay1) < 0) return first;
                        auto raw = [&](int ax, int ay) {
                            uint16_t v;
                            std::memcpy(&v,
                                        texBits + static_cast<ptrdiff_t>(ay) * texPitch +
                                            static_cast<ptrdiff_t>(ax) * 2,
                                        2);
                            return static_cast<uint32_t>(v);
                        };
                        top[i] = raw(ax0, ay0) | (raw(ax1, ay0) << 16);
                        bottom[i] = raw(ax0, ay1) | (raw(ax1, ay1) << 16);
                    }
                    rawTop = V::Load(top);
                    rawBottom = V::Load(bottom);
                }
                if (skipTransparent) {
                    const Int transparent = V::CmpEq(V::And(V::Or(rawTop, rawBottom), k(kAlphaBits)), zero);
                    visible = V::AndNot(transparent, visible);
                    if (V::LaneBits(visible) == 0) continue;
                }
                using Shift0 = std::integral_constant<int, 0>;
                using Shift5 = std::integral_constant<int, 5>;
                using Shift10 = std::integral_constant<int, 10>;
                texB = filter(widen(rawTop, Shift0{}), widen(rawBottom, Shift0{}));
                texG = filter(widen(rawTop, Shift5{}), widen(rawBottom, Shift5{}));
                texR = filter(widen(rawTop, Shift10{}), widen(rawBottom, Shift10{}));
                texA = filter(alphaOf(rawTop), alphaOf(rawBottom));
            } else {
                // Any format, texel by texel through the sampler's own reads.
                alignas(32) int32_t txs[kLanes], tys[kLanes];
                alignas(32) uint32_t taps[4][kLanes] = {};
                V::Store(txs, tx);
                V::Store(tys, ty);
                const unsigned visibleBits = V::LaneBits(visible);
                const auto fetch = [&](int x, int y) { return FetchTexel(level, x, y); };
                for (int i = 0; i < kLanes; ++i) {
                    if ((visibleBits & (1u << i)) == 0) continue;
                    if (linear) {
                        const LinearTaps l = GatherLinearAt(c, level, txs[i], tys[i], fetch);
                        for (int k = 0; k < 4; ++k) taps[k][i] = l.Texels[k];
                    } else {
                        const int ax = AddressTexel(txs[i], texWidth, c.AddressU);
                        const int ay = AddressTexel(tys[i], texHeight, c.AddressV);
                        taps[0][i] = (ax | ay) < 0 ? c.Border : fetch(ax, ay);
                    }
                }
                const Int t00 = V::Load(taps[0]);
                if (linear) {
                    const Int t10 = V::Load(taps[1]), t01 = V::Load(taps[2]), t11 = V::Load(taps[3]);
                    auto filtered = [&](int k) {
                        return filter(pair(channel(t00, k), channel(t10, k)),
                                      pair(channel(t01, k), channel(t11, k)));
                    };
                    texB = filtered(0);
                    texG = filtered(1);
                    texR = filtered(2);
                    texA = filtered(3);
                } else {
                    texB = channel(t00, 0);
                    texG = channel(t00, 1);
                    texR = channel(t00, 2);
                    texA = channel(t00, 3);
                }
            }
        }

        // The interpolated colours (or the flat ones), the stage, then specular.
        Int difBR, difGA;
        if (flat) {
            difBR = V::Set(static_cast<int>(flatColor[2] | (flatColor[0] << 16)));
            difGA = V::Set(static_cast<int>(flatColor[1] | (flatColor[3] << 16)));
        } else {
            difBR = pair(toBytes(kColors + 2, fx, fy, w), toBytes(kColors + 0, fx, fy, w));
            difGA = pair(toBytes(kColors + 1, fx, fy, w), toBytes(kColors + 3, fx, fy, w));
        }
        Int br = mul255(select(pair(texB, texR), texMaskBR), select(difBR, difMaskBR));
        Int ga = mul255(select(pair(texG, texA), texMaskGA), select(difGA, difMaskGA));
        if (specular) {
            Int specBR, specG;
            if (flat) {
                specBR = V::Set(static_cast<int>(flatColor[6] | (flatColor[4] << 16)));
                specG = V::Set(static_cast<int>(flatColor[5]));
            } else {
                specBR = pair(toBytes(kColors + 6, fx, fy, w), toBytes(kColors + 4, fx, fy, w));
                specG = toBytes(kColors + 5, fx, fy, w);
            }
            // Saturated at 255; alpha gains nothing.
            br = V::Min16(V::Add16(br, specBR), k(kC255Pair));
            ga = V::Min16(V::Add16(ga, specG), k(kC255Pair));
        }
        if (alphaTest) {
            visible = V::And(
                visible, compare(c.AlphaFunc, V::template Srl<16>(ga), V::Set(static_cast<int>(c.AlphaRef))));
            if (V::LaneBits(visible) == 0) continue;
        }

        // Merge with the destination.
        const Int colorOffsets = V::Add(V::MulLo32(pixelY, V::Set(colorPitch)), V::template Sll<2>(pixelX));
        // Every lane's destination: the hidden ones write it back unchanged.
        const Int destination = V::Gather32(colorBits, colorOffsets, ones);
        if (blendKind == BlendKind::SourceAlpha) {
            // (s a + d (255 - a) + 127) / 255 = (t + 1 + (t >> 8)) >> 8, below 2^16 throughout; alpha 0
            // gives d exactly.
            const Int alpha = V::Or(V::template Srl<16>(ga), V::And(ga, k(kHigh16)));  // in both halves
            const Int inverse = V::Sub16(k(kC255Pair), alpha);
            auto blend = [&](Int s, Int d) {
                const Int p = V::Add16(V::Add16(V::Mul16(s, alpha), V::Mul16(d, inverse)), k(kRound127Pair));
                return V::template Srl16<8>(V::Add16(V::Add16(p, k(kOnePair)), V::template Srl16<8>(p)));
            };
            // A target without alpha reads destination alpha as 1, which
            // only its own channel's result depends on; and the write mask
            // keeps that channel of such a target as it is.
            br = blend(br, V::And(destination, k(kC255Pair)));
            ga = blend(ga, V::template Srl16<8>(destination));
        }
        Int result = V::Or(br, V::template Sll16<8>(ga));  // blue, green, red, alpha bytes
        alignas(32) uint32_t pixels[kLanes];
        if (blendKind == BlendKind::General) {
            alignas(32) uint32_t destinations[kLanes];
            V::Store(pixels, result);
            V::Store(destinations, destination);
            for (int i = 0; i < kLanes; ++i) pixels[i] = BlendPixel(c.Merge, pixels[i], destinations[i]);
            result = V::Load(pixels);
        }
        // Every lane is stored, without a branch per pixel: the hidden ones
        // store what they read, and so do the bits the write mask keeps. The
        // group's pixels are distinct (or repeat the first one with its own
        // value), so no store undoes another.
        const Int changed = V::AndNot(keep, visible);
        V::Store(pixels, V::Or(V::And(changed, result), V::AndNot(changed, destination)));
        // Offsets are below 2^31 (ChooseKernel): as unsigned, they widen to addresses for free.
        alignas(32) uint32_t offsets[kLanes];
        V::Store(offsets, colorOffsets);
        for (int i = 0; i < kLanes; ++i) std::memcpy(colorBits + offsets[i], &pixels[i], 4);
        if (depthKind != DepthKind::None && depthWrite) {
            const Int written =
                depthFormat.DepthShift == 0 && depthFormat.BytesPerPixel == 2 && depthFormat.DepthBits == 16
                    ? depthValue
                    : V::Or(V::AndNot(fieldInWord, depthWord),
                            V::And(V::SllVar(depthValue, depthFormat.DepthShift), fieldInWord));
            alignas(32) uint32_t words[kLanes];
            V::Store(words, V::Or(V::And(visible, written), V::AndNot(visible, depthWord)));
            for (int i = 0; i < kLanes; ++i)
                std::memcpy(depthBits + depthAt[i], &words[i], static_cast<size_t>(depthBytes));
        }
    }
    return fragmentCount;
}

// The variant of V for `texels` and `profile` (profiles fix states of
// linearly filtered 1-5-5-5 textures only).
template <class V>
SpanKernel KernelFor(TexelKind texels, SpanProfile profile) {
    switch (texels) {
        case TexelKind::None:
            return &SpanKernelBody<V, TexelKind::None, SpanProfile::Any>;
        case TexelKind::Linear1555:
            switch (profile) {
                case SpanProfile::Opaque16:
                    return &SpanKernelBody<V, TexelKind::Linear1555, SpanProfile::Opaque16>;
                case SpanProfile::Blended16:
                    return &SpanKernelBody<V, TexelKind::Linear1555, SpanProfile::Blended16>;
                case SpanProfile::Blended:
                    return &SpanKernelBody<V, TexelKind::Linear1555, SpanProfile::Blended>;
                default:
                    return &SpanKernelBody<V, TexelKind::Linear1555, SpanProfile::Any>;
            }
        default:
            return &SpanKernelBody<V, TexelKind::Fetched, SpanProfile::Any>;
    }
}

}  // namespace
}  // namespace wbx::raster
