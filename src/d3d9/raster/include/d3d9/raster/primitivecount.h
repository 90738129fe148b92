#pragma once
// How many vertices a primitive stream reads, for the draw checks of the
// device and the rasteriser's own walk over the stream.

#include <cstdint>

#include "d3d9/d3d9types.h"

namespace wbx::raster {

// Vertices (or, indexed, indices) that count primitives of type read; 0 for
// an unknown type.
constexpr uint64_t VerticesFor(D3DPRIMITIVETYPE type, uint64_t count) {
    switch (type) {
        case D3DPT_POINTLIST:
            return count;
        case D3DPT_LINELIST:
            return 2 * count;
        case D3DPT_LINESTRIP:
            return count + 1;
        case D3DPT_TRIANGLELIST:
            return 3 * count;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return count + 2;
        default:
            return 0;
    }
}

}  // namespace wbx::raster
