#pragma once
// The fast pixel routines: a triangle's covered pixels, packed several to a
// register whatever the triangle's shape, shaded with exactly the arithmetic
// of the per-pixel reference (pixelprocessor.cpp, pixelarithmetic.h), so
// that both give the same bits. One body (spankernelbody.h) is written over
// lane traits and compiled for each instruction set: scalar (one pixel at a
// time, any processor), SSE2 (four, the x86-64 baseline) and AVX2 (eight,
// where the processor has it), chosen at run time.
//
// What they cover: texture stage 0 as (texture or white) x (diffuse or
// white) for colour and for alpha, a texture read at one level (any readable
// format, point or linear), Gouraud or flat colours, the specular add, the
// alpha test, depth tests on 16- and 32-bit depth words, every blend. Other
// draws go through the reference.

#include <cstdint>

#include "d3d9/d3d9types.h"
#include "d3d9/raster/pixelisa.h"
#include "pixelarithmetic.h"
#include "sampler.h"
#include "setup.h"

namespace wbx::raster {

// How the kernel reads texels.
enum class TexelKind {
    None,        // no texture: white
    Linear1555,  // A1R5G5B5 / X1R5G5B5 filtered linearly, decoded in registers
    Fetched,     // any readable format, point or linear, texel by texel
};

// How the kernel reads and writes depth.
enum class DepthKind {
    None,    // no depth test
    Word16,  // a 16-bit depth word (D16, D16_LOCKABLE, D15S1)
    Word32,  // a 32-bit depth word (D24S8, D24X8, D24X4S4, D32)
};

// How the kernel merges the colour with the target.
enum class BlendKind {
    Off,          // the colour is written as it is
    SourceAlpha,  // SRCALPHA / INVSRCALPHA with ADD, in registers
    General,      // any other blend, pixel by pixel through BlendPixel
};

// States a kernel may have fixed at compile time, for the draws the viewer
// makes most: a linearly filtered 1-5-5-5 texture modulated by the diffuse
// colour (colour and alpha), no alpha test, and either
// opaque (over a D16 depth word tested LESSEQUAL and written, no blend) or
// blended (SRCALPHA / INVSRCALPHA, depth not written) over a D16 depth word
// tested LESSEQUAL, or with no depth test (none enabled, or one that every
// pixel passes against depth still as cleared). Any other draw takes the
// kernel that reads every state from SpanConstants.
enum class SpanProfile {
    Any,
    Opaque16,
    Blended16,
    Blended,
};

// What a kernel reads that stays fixed over a draw.
struct SpanConstants {
    // Texture: level 0 of stage 0 (not owned) and its sampler states.
    SampledLevel Level;
    DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
    uint32_t Border = 0;  // ARGB
    bool Linear = false;
    bool AlphaBit = false;  // Linear1555: A1R5G5B5, whose bit 15 gives alpha 255 or 0
    // Stage 0 as (texture or white) x (diffuse or white), for colour and alpha.
    bool ColorTexture = true, ColorDiffuse = true, AlphaTexture = true, AlphaDiffuse = true;
    bool Specular = false;  // add the specular colour
    bool AlphaTest = false;
    DWORD AlphaFunc = D3DCMP_ALWAYS;
    uint32_t AlphaRef = 0;  // 0..255
    // Depth (not owned).
    DepthKind Depth = DepthKind::None;
    uint8_t* DepthBits = nullptr;
    int DepthPitch = 0;     // bytes
    int DepthLastWord = 0;  // byte offset of the surface's last depth word
    DepthLayout DepthFormat;
    DWORD DepthFunc = D3DCMP_LESSEQUAL;
    bool DepthWrite = false;
    // Every depth field holds UniformDepth (the field's value) and the draw
    // writes none: compared with it, depth memory is never read.
    bool DepthUniform = false;
    uint32_t UniformDepth = 0;
    // Colour target, 32 bits a pixel (not owned).
    uint8_t* ColorBits = nullptr;
    int ColorPitch = 0;  // bytes
    BlendKind Blend = BlendKind::Off;
    BlendState Merge;
};

// Shades the `count` distinct pixels (xs[i], ys[i]) of triangle `t` and
// returns count; or returns the index of the first pixel of a group it
// cannot draw (a linearly filtered 1-5-5-5 footprint that reaches the border
// colour of a D3DTADDRESS_BORDER texture), having drawn the pixels before it
// and none from it on. The caller draws that pixel another way and calls
// again with the rest.
using SpanKernel = int (*)(const SpanConstants& c, const TriangleSetup& t, const int32_t* xs,
                           const int32_t* ys, int count);

// Pixels a caller gathers before a call; a multiple of every variant's width.
constexpr int kSpanBatch = 64;

// The profile the states of `c` match (Any where none fits), for `texels`.
SpanProfile SpanProfileOf(const SpanConstants& c, TexelKind texels);

// The kernel for `isa`, `texels` and `profile`, or nullptr where this build
// or processor lacks the instruction set.
SpanKernel SpanKernelFor(PixelIsa isa, TexelKind texels, SpanProfile profile = SpanProfile::Any);

}  // namespace wbx::raster
