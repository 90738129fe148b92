#pragma once
// The texture stages of the fixed-function pixel pipeline: each stage's
// colour and alpha operations on its arguments (diffuse, current, texture,
// texture factor, specular, temp, constant), 8 bits per channel with the
// rounding of pixelarithmetic.h.

#include <cstdint>

#include "d3d9/d3d9types.h"
#include "shadedvertex.h"

namespace wbx::raster {

struct TextureStage {
    DWORD ColorOp = D3DTOP_DISABLE, ColorArg1 = 0, ColorArg2 = 0, ColorArg0 = 0;
    DWORD AlphaOp = D3DTOP_DISABLE, AlphaArg1 = 0, AlphaArg2 = 0, AlphaArg0 = 0;
    DWORD ResultArg = D3DTA_CURRENT;
    uint32_t Constant = 0;
    bool Textured = false;  // a usable texture is bound
};

// The stages before the first disabled one, and what they read.
struct TextureStages {
    int Count = 0;  // 0: stage 0 is disabled and the diffuse colour passes through
    TextureStage Stages[kRasterStages];
    uint32_t Factor = 0xFFFFFFFFu;  // D3DRS_TEXTUREFACTOR

    // The colour (ARGB) the stages produce for a pixel.
    uint32_t Evaluate(uint32_t diffuse, uint32_t specular, const uint32_t texels[kRasterStages]) const;
};

}  // namespace wbx::raster
