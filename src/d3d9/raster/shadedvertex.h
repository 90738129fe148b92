#pragma once
// A vertex after transform and lighting: what clipping and setup work on.

namespace wbx::raster {

// Attribute slots. Colours are in [0, 1] (clamped by lighting); texture
// coordinates are in texture space (1.0 spans the texture once).
constexpr int kAttrDiffuse = 0;   // r, g, b, a
constexpr int kAttrSpecular = 4;  // r, g, b, then an unused slot
constexpr int kAttrTexCoord = 8;  // u, v of stage 0, then u, v of stage 1
constexpr int kAttributeCount = 12;
constexpr int kRasterStages = 2;  // texture stages the pixel pipeline evaluates

struct ShadedVertex {
    float Clip[4];  // homogeneous clip-space x, y, z, w
    float Attr[kAttributeCount];
};

}  // namespace wbx::raster
