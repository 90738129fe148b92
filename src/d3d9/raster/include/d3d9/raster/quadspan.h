#pragma once
// The vectorised pixel routine for the viewer's kind of draw: a linearly
// filtered 1-5-5-5 texture modulated by the Gouraud (or flat) diffuse colour,
// the specular colour added, blended SRCALPHA / INVSRCALPHA (or not blended)
// into a 32-bit target, with a 16-bit depth test (or none) and no alpha test.
// It works several whole pixels at once, each value held for all of them
// channel by channel, with exactly the arithmetic of the per-pixel routine
// (pixelprocessor.cpp), so the two give the same bits.
//
// Variants by instruction set: SSE2 (four pixels, the x86-64 baseline) and
// AVX2 (eight pixels, used only where the processor has it). Other
// processors have no variant and draw pixel by pixel.

#include <cstdint>

#include "d3d9/d3d9types.h"
#include "d3d9/raster/setup.h"

namespace wbx::raster {

// Instruction sets the pixel routine comes in. Scalar: none.
enum class PixelIsa { Scalar, Sse2, Avx2 };

// What the routine reads that stays fixed over a draw.
struct QuadSpanConstants {
    // Level 0 of the texture, A1R5G5B5 or X1R5G5B5 (not owned).
    const uint8_t* TexBits = nullptr;
    int TexPitch = 0;  // bytes
    int TexWidth = 0, TexHeight = 0;
    bool AlphaBit = false;  // A1R5G5B5: bit 15 gives alpha 255 or 0; else alpha is 255
    DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
    // Stage 0 as (texture or white) x (diffuse or white), for colour and alpha.
    bool ColorTexture = true, ColorDiffuse = true, AlphaTexture = true, AlphaDiffuse = true;
    bool Specular = false;  // add the specular colour
    // Targets (not owned). Depth: DepthBytes 0 (no test) or 2 (D16).
    uint8_t* ColorBits = nullptr;
    int ColorPitch = 0;  // bytes
    uint8_t* DepthBits = nullptr;
    int DepthPitch = 0;  // bytes
    int DepthBytes = 0;
    DWORD DepthFunc = D3DCMP_LESSEQUAL;
    bool DepthWrite = false;
    bool Blend = false;  // SRCALPHA / INVSRCALPHA with ADD; else the colour is written as it is
    bool TargetHasAlpha = false;
    uint32_t WriteMask = 0;  // bits of the pixel word drawing may change
};

// Shades the `count` distinct pixels (xs[i], ys[i]) of triangle `t`, packed
// so that every lane does useful work whatever the triangle's shape, and
// returns count; or returns the index of the first pixel of a group it
// cannot draw (a texel footprint in the border of a D3DTADDRESS_BORDER
// texture), having drawn the pixels before it and none from it on. The
// caller draws a few pixels from there another way and calls again with
// the rest.
using QuadSpanFunction = int (*)(const QuadSpanConstants& c, const TriangleSetup& t, const int32_t* xs,
                                 const int32_t* ys, int count);
// Pixels a caller gathers before a call; a multiple of every variant's width.
constexpr int kQuadSpanBatch = 64;

// The pixel routine for `isa`, or nullptr when this build or processor lacks it
// (and always for PixelIsa::Scalar).
QuadSpanFunction QuadSpanFor(PixelIsa isa);
// The widest instruction set this processor runs the pixel routine with.
PixelIsa BestPixelIsa();

}  // namespace wbx::raster
