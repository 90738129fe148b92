#pragma once
// Per-pixel work of the fixed-function pipeline: texture stages, specular
// add, alpha test, depth test and write, blending and the colour write.
//
// Precision: colours are 8 bits per channel from the moment they leave the
// interpolators (round(c * 255)); products of two channels round to the
// nearest (round(a b / 255)), sums saturate at 255, blending rounds
// (Src SrcBlend + Dst DestBlend) / 255 to the nearest. Depth is compared in
// the depth buffer's own precision. The X byte of an X8R8G8B8 target belongs
// to nobody: drawing never changes it (only Clear writes it).
//
// Two paths produce the pixels. ShadeFragment is the plain reference: every
// state is looked up per pixel. The fast path is a span routine specialised
// per draw for the state combinations the viewer uses; it is built from the
// same arithmetic and is tested against the reference pixel for pixel. Draws
// whose states the fast path does not cover use the reference. The viewer's
// own combination goes further: its covered pixels are gathered and shaded
// several at a time by a vectorised routine (quadspan.h).

#include <cstdint>

#include "d3d9/raster/quadspan.h"
#include "d3d9/raster/rasterizer.h"
#include "d3d9/raster/setup.h"
#include "sampler.h"
#include "surfaceformat.h"

namespace wbx::raster {

// One pixel to shade, with its interpolated inputs.
struct Fragment {
    int X = 0, Y = 0;
    float Z = 0;                      // depth in [0, 1]
    float Color[kAttrTexCoord] = {};  // diffuse r, g, b, a, specular r, g, b, unused; 0..1
    float Tex[kRasterStages][2] = {};
    float Derivatives[kRasterStages][4] = {};  // du/dx, dv/dx, du/dy, dv/dy
};

class PixelProcessor {
public:
    using TriangleFunction = void (*)(const PixelProcessor&, const TriangleSetup&, const RowBands& bands);

    // Compiles the state for one draw. The targets' memory must stay valid
    // for the processor's use. `isa` picks the variant of the vectorised row
    // routine (none for PixelIsa::Scalar, or where the processor lacks it).
    PixelProcessor(const PipelineState& state, const RenderTargets& targets, bool referenceOnly,
                   PixelIsa isa = BestPixelIsa());

    // False when the colour target cannot be drawn into.
    bool CanDraw() const { return canDraw_; }
    // Pixels that may be written: the viewport within every bound surface.
    const PixelRect& Scissor() const { return scissor_; }
    // Attribute slots (bit per kAttr* index) that triangle setup must fill.
    uint32_t AttributeMask() const { return attributeMask_; }
    bool FlatShading() const { return flat_; }
    // True when the draw uses the specialised span routine.
    bool UsesFastPath() const { return fastTriangle_ != nullptr; }

    // Draws the rows of the triangle that `bands` owns. Safe to call from
    // several threads at once for disjoint bands.
    void DrawTriangle(const TriangleSetup& t, const RowBands& bands = RowBands{}) const;
    void ShadeFragment(const Fragment& f) const;

private:
    struct Stage {
        DWORD ColorOp, ColorArg1, ColorArg2, ColorArg0;
        DWORD AlphaOp, AlphaArg1, AlphaArg2, AlphaArg0;
        DWORD ResultArg;
        uint32_t Constant;
        bool Textured;  // a usable texture is bound
    };
    template <int TexBytes, bool Linear, int DepthBytes, int BlendKind>
    friend struct FastSpan;

    uint32_t EvaluateStages(uint32_t diffuse, uint32_t specular, const uint32_t texels[kRasterStages]) const;
    uint32_t BlendAndMask(uint32_t source, uint32_t destination) const;
    void ChooseFastPath(PixelIsa isa);
    void DrawTriangleReference(const TriangleSetup& t, const RowBands& bands) const;

    bool canDraw_ = false;
    PixelRect scissor_;
    uint32_t attributeMask_ = 0;
    bool flat_ = false;

    // Colour target (32-bit ARGB or XRGB).
    uint8_t* colorBits_ = nullptr;
    int colorPitch_ = 0;
    bool targetHasAlpha_ = false;
    uint32_t writeMask_ = 0;  // bits of the pixel word that drawing may change

    // Depth.
    uint8_t* depthBits_ = nullptr;
    int depthPitch_ = 0;
    DepthLayout depth_;
    bool depthTest_ = false;   // with a usable depth buffer only
    bool depthWrite_ = false;  // with a usable depth buffer only
    DWORD depthFunc_ = D3DCMP_LESSEQUAL;

    // Alpha test and blending.
    bool alphaTest_ = false;
    DWORD alphaFunc_ = D3DCMP_ALWAYS;
    uint32_t alphaRef_ = 0;
    bool blend_ = false;
    DWORD srcBlend_ = D3DBLEND_ONE, destBlend_ = D3DBLEND_ZERO, blendOp_ = D3DBLENDOP_ADD;
    uint32_t blendFactor_ = 0xFFFFFFFFu;

    // Texture stages.
    bool specularAdd_ = false;
    uint32_t textureFactor_ = 0xFFFFFFFFu;
    int stageCount_ = 0;  // stages before the first disabled one
    Stage stages_[kRasterStages] = {};
    SamplerSetup samplers_[kRasterStages];

    // Fast path: stage 0 reduced to (texture or white) x (diffuse or white)
    // for colour and for alpha.
    TriangleFunction fastTriangle_ = nullptr;
    QuadSpanFunction quadSpan_ = nullptr;  // the vectorised routine, where it covers the draw
    QuadSpanConstants quad_;               // what it reads
    bool fastColorTexture_ = false, fastColorDiffuse_ = false;
    bool fastAlphaTexture_ = false, fastAlphaDiffuse_ = false;
};

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

}  // namespace wbx::raster
