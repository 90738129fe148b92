#pragma once
// Matrices and vectors for tests: builders of the usual transforms, and
// comparisons within a tolerance that name the first element out of it.

#include <gtest/gtest.h>

#include <cmath>

#include "math/mathpack.h"

namespace wbx::testing {

inline Matrix Translation(float x, float y, float z) {
    Matrix m = MatrixIdentity();
    m(3, 0) = x, m(3, 1) = y, m(3, 2) = z;
    return m;
}

// Rotation about y by a table angle (1024 = a quarter turn): row i is the
// image of basis vector i, as RotateY turns it.
inline Matrix RotationY(int32_t angle) {
    Matrix m = MatrixIdentity();
    Vec3 row{};
    RotateY({1, 0, 0}, angle, row);
    m(0, 0) = row.x, m(0, 1) = row.y, m(0, 2) = row.z;
    RotateY({0, 0, 1}, angle, row);
    m(2, 0) = row.x, m(2, 1) = row.y, m(2, 2) = row.z;
    return m;
}

inline Matrix Product(const Matrix& a, const Matrix& b) {
    Matrix r;
    MatrixMultiply(a, b, r);
    return r;
}

inline Vec3 TransformPoint(const Vec3& p, const Matrix& m) {
    Vec3 r;
    Vec3Transform(p, m, r);
    return r;
}

inline ::testing::AssertionResult MatrixNear(const Matrix& actual, const Matrix& expected,
                                             float tolerance = 1e-5f) {
    for (int i = 0; i < 16; ++i) {
        if (!(std::abs(actual.m[i] - expected.m[i]) <= tolerance)) {
            return ::testing::AssertionFailure() << "element (" << i / 4 << ", " << i % 4 << ") is "
                                                 << actual.m[i] << ", expected " << expected.m[i];
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult Vec3Near(const Vec3& actual, const Vec3& expected,
                                           float tolerance = 1e-4f) {
    if (std::abs(actual.x - expected.x) <= tolerance && std::abs(actual.y - expected.y) <= tolerance &&
        std::abs(actual.z - expected.z) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << actual.x << ", " << actual.y << ", " << actual.z << "), expected (" << expected.x << ", "
           << expected.y << ", " << expected.z << ")";
}

}  // namespace wbx::testing
