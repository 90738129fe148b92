#pragma once
// Conversions between our Matrix and Direct3D's D3DMATRIX. Both are sixteen
// floats in the same row-major order (_11 .. _44), so the conversion is a copy
// of the bytes; copying (rather than casting a pointer) keeps the compiler's
// aliasing rules intact.

#include <cstring>

#include "d3d9/d3d9types.h"
#include "math/matrix.h"

namespace wbx {

static_assert(sizeof(D3DMATRIX) == sizeof(Matrix));

inline D3DMATRIX ToD3DMatrix(const Matrix& m) {
    D3DMATRIX d;
    std::memcpy(&d, &m, sizeof d);
    return d;
}

inline Matrix FromD3DMatrix(const D3DMATRIX& d) {
    Matrix m;
    std::memcpy(&m, &d, sizeof m);
    return m;
}

}  // namespace wbx
