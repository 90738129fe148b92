#pragma once
// Per-pixel work of the fixed-function pipeline: texture stages, specular
// add, alpha test, depth test and write, blending and the colour write, with
// the arithmetic of pixelarithmetic.h. The X byte of an X8R8G8B8 target
// belongs to nobody: drawing never changes it (only Clear writes it).
//
// Two paths produce the pixels. ShadeFragment is the plain reference: every
// state is looked up per pixel. Draws whose states a span kernel covers
// (spankernel.h) have their covered pixels packed and shaded several at a
// time by it instead; the kernels are tested against the reference pixel
// for pixel.

#include <cstdint>

#include "d3d9/raster/rasterizer.h"
#include "narrowpacking.h"
#include "pixelarithmetic.h"
#include "sampler.h"
#include "setup.h"
#include "spankernel.h"
#include "surfaceformat.h"
#include "texturestages.h"

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
    // Compiles the state for one draw. The targets' memory must stay valid
    // for the processor's use. `isa` picks the variant of the span kernel.
    PixelProcessor(const PipelineState& state, const RenderTargets& targets, bool referenceOnly,
                   PixelIsa isa = BestPixelIsa());

    // False when the colour target cannot be drawn into.
    bool CanDraw() const { return canDraw_; }
    // Pixels that may be written: the viewport within every bound surface.
    const PixelRect& Scissor() const { return scissor_; }
    // Attribute slots (bit per kAttr* index) that triangle setup must fill.
    uint32_t AttributeMask() const { return attributeMask_; }
    bool FlatShading() const { return flat_; }
    // True when the draw's triangles go through a span kernel.
    bool UsesFastPath() const { return kernel_ != nullptr; }
    // The states that kernel has fixed (Any without one).
    SpanProfile Profile() const { return profile_; }

    // Draws the triangle's pixels inside `clip` (a part of the scissor). Safe
    // to call from several threads at once for disjoint clips.
    void DrawTriangle(const TriangleSetup& t, const PixelRect& clip) const;
    void DrawTriangle(const TriangleSetup& t) const { DrawTriangle(t, scissor_); }
    void ShadeFragment(const Fragment& f) const;

private:
    void ChooseKernel(PixelIsa isa);
    // The reference path for pixel (x, y) of `t`.
    void ShadePixel(const TriangleSetup& t, int x, int y) const;
    void DrawPacked(const TriangleSetup& t, const PixelRect& clip) const;

    bool canDraw_ = false;
    PixelRect scissor_;
    uint32_t attributeMask_ = 0;
    bool flat_ = false;

    // Colour target (32-bit ARGB or XRGB).
    uint8_t* colorBits_ = nullptr;
    int colorPitch_ = 0;
    BlendState merge_;

    // Depth.
    uint8_t* depthBits_ = nullptr;
    int depthPitch_ = 0;
    int depthLastWord_ = -1;  // byte offset of the surface's last word, -1 beyond 32-bit offsets
    DepthLayout depth_;
    bool depthTest_ = false;   // with a usable depth buffer only
    bool depthWrite_ = false;  // with a usable depth buffer only
    DWORD depthFunc_ = D3DCMP_LESSEQUAL;
    // Every depth field holds uniformDepth_ (quantised) throughout the draw:
    // the surface's since its clear, and the draw writes none. The kernels
    // compare with it; the reference reads memory all the same.
    bool depthUniform_ = false;
    uint32_t uniformDepth_ = 0;

    // Alpha test.
    bool alphaTest_ = false;
    DWORD alphaFunc_ = D3DCMP_ALWAYS;
    uint32_t alphaRef_ = 0;

    // Texture stages.
    bool specularAdd_ = false;
    TextureStages stages_;
    SamplerSetup samplers_[kRasterStages];

    // The span kernel, where it covers the draw, and what it reads.
    SpanKernel kernel_ = nullptr;
    SpanProfile profile_ = SpanProfile::Any;
    SpanConstants span_;
    // The packing of narrow boxes, in the kernel's instruction set.
    NarrowPackFunction packNarrow_ = nullptr;
};

}  // namespace wbx::raster
