#pragma once
// Sizes of flexible-vertex-format layouts, so that the device can tell how many
// whole vertices a buffer holds before it hands the buffer to the rasteriser.

#include "d3d9/d3d9types.h"

namespace wbx {

// Bytes one vertex of the given D3DFVF_* code occupies (position, blend
// weights, normal, point size, colours, texture coordinate sets); 0 for a code
// without a position, which no draw can use.
UINT FvfVertexSize(DWORD fvf);

}  // namespace wbx
