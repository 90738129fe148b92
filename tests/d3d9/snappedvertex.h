#pragma once
// A screen vertex at a position, snapped as triangle set-up wants it.

#include "setup.h"

namespace wbx::raster {

inline ScreenVertex SnappedAt(float x, float y) {
    ScreenVertex v{};
    v.X = x;
    v.Y = y;
    v.Z = 0.5f;
    v.Rhw = 1.0f;
    SnapScreenVertex(v);
    return v;
}

}  // namespace wbx::raster
