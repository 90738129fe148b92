#pragma once
// Clear with Direct3D 9's rules: no rectangles clears the viewport; given
// rectangles are clipped to the viewport. Colour targets of 32 bits and
// every depth-stencil layout the rasteriser reads.

#include "d3d9/d3d9types.h"
#include "d3d9/raster/rasterizer.h"

namespace wbx::raster {

// Clears what `flags` (D3DCLEAR_*) names, within rows [rowBegin, rowEnd) of
// each surface only, so that several threads can share one clear.
void ClearTargets(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
                  const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil, int rowBegin,
                  int rowEnd);

}  // namespace wbx::raster
