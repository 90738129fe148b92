#include "math/matrix.h"

#include <cassert>

namespace wbx {
namespace {

inline float Single(double value) { return static_cast<float>(value); }

}  // namespace

Matrix MatrixIdentity() {
    Matrix M{};
    M(0, 0) = M(1, 1) = M(2, 2) = M(3, 3) = 1.0f;
    return M;
}

void Matrix3FromMatrix(const Matrix& M, Matrix3& m) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m(r, c) = M(r, c);
    }
}

void Vec4Transform(const Vec4& a, const Matrix& M, Vec4& v) {
    assert(&v != &a && "Vec4Transform: output must not alias the input");
    const double x = a.x, y = a.y, z = a.z, w = a.w;
    v.x = Single(x * M(0, 0) + y * M(1, 0) + z * M(2, 0) + w * M(3, 0));
    v.y = Single(x * M(0, 1) + y * M(1, 1) + z * M(2, 1) + w * M(3, 1));
    v.z = Single(x * M(0, 2) + y * M(1, 2) + z * M(2, 2) + w * M(3, 2));
    v.w = Single(x * M(0, 3) + y * M(1, 3) + z * M(2, 3) + w * M(3, 3));
}

void Vec3Transform(const Vec3& a, const Matrix& M, Vec3& v) {
    assert(&v != &a && "Vec3Transform: output must not alias the input");
    const double x = a.x, y = a.y, z = a.z;
    v.x = Single(x * M(0, 0) + y * M(1, 0) + z * M(2, 0) + M(3, 0));
    v.y = Single(x * M(0, 1) + y * M(1, 1) + z * M(2, 1) + M(3, 1));
    v.z = Single(x * M(0, 2) + y * M(1, 2) + z * M(2, 2) + M(3, 2));
}

void MatrixScale(Matrix& M, float x, float y, float z) {
    M = Matrix{};
    M(0, 0) = x;
    M(1, 1) = y;
    M(2, 2) = z;
    M(3, 3) = 1.0f;
}

void MatrixInverseOrthonormal(const Matrix& M, Matrix& R) {
    assert(&R != &M && "MatrixInverseOrthonormal: output must not alias the input");
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) R(r, c) = M(c, r);
        R(r, 3) = 0.0f;
    }
    const double tx = M(3, 0), ty = M(3, 1), tz = M(3, 2);
    for (int j = 0; j < 3; ++j) R(3, j) = Single(-(M(j, 0) * tx + M(j, 1) * ty + M(j, 2) * tz));
    R(3, 3) = 1.0f;
}

void MatrixMultiply(const Matrix& A, const Matrix& B, Matrix& R) {
    assert(&R != &A && &R != &B && "MatrixMultiply: output must not alias an input");
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            R(r, c) = Single(double{A(r, 0)} * B(0, c) + double{A(r, 1)} * B(1, c) +
                             double{A(r, 2)} * B(2, c) + double{A(r, 3)} * B(3, c));
        }
    }
}

float Matrix3Determinant(const Matrix3& m) {
    const double m00 = m(0, 0), m01 = m(0, 1), m02 = m(0, 2);
    const double m10 = m(1, 0), m11 = m(1, 1), m12 = m(1, 2);
    const double m20 = m(2, 0), m21 = m(2, 1), m22 = m(2, 2);
    return Single(m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) +
                  m02 * (m10 * m21 - m11 * m20));
}

}  // namespace wbx
