#pragma once
// 4x4 and 3x3 single-precision matrices in Direct3D 9's layout and convention.
//
// Matrix: sixteen floats, row-major; element (r, c) is m[4*r + c] (Direct3D's
// _11 ... _44 in that order). Points are row vectors multiplied on the left,
// p' = p * M; the translation lives in row 3 (m[12], m[13], m[14]); A * B
// applies A first, then B. The record is standard-layout and exactly 64 bytes,
// so it can be handed to SetTransform as a D3DMATRIX (memcpy or reinterpret).
//
// As in vector.h: double-precision evaluation, each stored element rounded to
// single, sums left to right; outputs must not alias inputs.

#include <type_traits>

#include "math/vector.h"

namespace wbx {

struct Matrix {
    float m[16];  // row-major, element (r, c) at 4*r + c

    float& operator()(int r, int c) { return m[4 * r + c]; }
    const float& operator()(int r, int c) const { return m[4 * r + c]; }
    friend bool operator==(const Matrix&, const Matrix&) = default;
};

struct Matrix3 {
    float m[9];  // row-major, element (r, c) at 3*r + c

    float& operator()(int r, int c) { return m[3 * r + c]; }
    const float& operator()(int r, int c) const { return m[3 * r + c]; }
    friend bool operator==(const Matrix3&, const Matrix3&) = default;
};

static_assert(sizeof(Matrix) == 16 * sizeof(float) && std::is_standard_layout_v<Matrix> &&
              std::is_trivially_copyable_v<Matrix>);
static_assert(sizeof(Matrix3) == 9 * sizeof(float) && std::is_standard_layout_v<Matrix3> &&
              std::is_trivially_copyable_v<Matrix3>);

// The identity matrix.
Matrix MatrixIdentity();
// m := the upper-left 3x3 of M.
void Matrix3FromMatrix(const Matrix& M, Matrix3& m);
// v := a * M (all four columns). v must not alias a.
void Vec4Transform(const Vec4& a, const Matrix& M, Vec4& v);
// The point a (w = 1) times M: v.c = a.x*M(0,c) + a.y*M(1,c) + a.z*M(2,c) + M(3,c)
// for c = 0..2. Column 3 is ignored (no perspective divide). v must not alias a.
void Vec3Transform(const Vec3& a, const Matrix& M, Vec3& v);
// M := diag(x, y, z, 1).
void MatrixScale(Matrix& M, float x, float y, float z);
// Inverse of a rotation-plus-translation matrix: transposed 3x3, translation
// row -(t * R^T), column 3 = (0, 0, 0, 1). Only a true inverse when M's 3x3 is
// orthonormal; a scale is not undone and nothing is checked. R must not alias M.
void MatrixInverseOrthonormal(const Matrix& M, Matrix& R);
// R := A * B. R must not alias A or B.
void MatrixMultiply(const Matrix& A, const Matrix& B, Matrix& R);
// The determinant of m (cofactor expansion along row 0), rounded to single.
float Matrix3Determinant(const Matrix3& m);

}  // namespace wbx
