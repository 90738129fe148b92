#include "math/matrix.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "matrixcompare.h"

namespace wbx {
namespace {

using testing::MatrixNear;
using testing::RotationY;
using testing::Translation;

Matrix Sample() {
    Matrix M{};
    for (int i = 0; i < 16; ++i) M.m[i] = static_cast<float>(i * 3 % 7) - 2.5f;
    return M;
}

TEST(Matrix, LayoutMatchesDirect3D) {
    // Row-major, translation in elements 12..14, no padding.
    EXPECT_EQ(sizeof(Matrix), 64u);
    Matrix M = Translation(5, 6, 7);
    float raw[16];
    std::memcpy(raw, &M, sizeof raw);
    EXPECT_EQ(raw[12], 5);
    EXPECT_EQ(raw[13], 6);
    EXPECT_EQ(raw[14], 7);
    EXPECT_EQ(&M(2, 1), &M.m[9]);
}

TEST(Matrix, MultiplyByIdentityOnEitherSideIsExact) {
    const Matrix A = Sample();
    Matrix R{};
    MatrixMultiply(A, MatrixIdentity(), R);
    EXPECT_EQ(R, A);
    MatrixMultiply(MatrixIdentity(), A, R);
    EXPECT_EQ(R, A);
}

TEST(Matrix, MultiplyAppliesTheLeftMatrixFirst) {
    Matrix scale{};
    MatrixScale(scale, 2, 3, 4);
    Matrix R{};
    MatrixMultiply(scale, Translation(1, 1, 1), R);  // scale, then move
    Vec3 p{};
    Vec3Transform({1, 1, 1}, R, p);
    EXPECT_EQ(p, (Vec3{3, 4, 5}));
    MatrixMultiply(Translation(1, 1, 1), scale, R);  // move, then scale
    Vec3Transform({1, 1, 1}, R, p);
    EXPECT_EQ(p, (Vec3{4, 6, 8}));
}

TEST(Matrix, ScaleIsDiagonal) {
    Matrix M = Sample();
    MatrixScale(M, 2, 3, 4);
    Matrix expected{};
    expected(0, 0) = 2, expected(1, 1) = 3, expected(2, 2) = 4, expected(3, 3) = 1;
    EXPECT_EQ(M, expected);
}

TEST(Matrix, InverseOrthonormalUndoesRotationAndTranslation) {
    for (int32_t angle : {0, 1, 333, 1024, 2048, 3000, -77}) {
        Matrix M{}, inverse{}, product{};
        MatrixMultiply(RotationY(angle), Translation(5, 0, 0), M);
        MatrixInverseOrthonormal(M, inverse);
        MatrixMultiply(inverse, M, product);
        EXPECT_TRUE(MatrixNear(product, MatrixIdentity(), 1e-6f));
        MatrixMultiply(M, inverse, product);
        EXPECT_TRUE(MatrixNear(product, MatrixIdentity(), 1e-6f));
        EXPECT_EQ(inverse(0, 3), 0);
        EXPECT_EQ(inverse(1, 3), 0);
        EXPECT_EQ(inverse(2, 3), 0);
        EXPECT_EQ(inverse(3, 3), 1);
    }
}

TEST(Matrix, InverseOrthonormalDoesNotUndoScale) {
    Matrix M{}, inverse{};
    MatrixScale(M, 2, 2, 2);
    MatrixInverseOrthonormal(M, inverse);
    EXPECT_EQ(inverse, M);  // the transpose of a diagonal matrix, as documented
}

TEST(Matrix, Vec4TransformUsesAllColumns) {
    Matrix M = Translation(1, 2, 3);
    M(0, 3) = 0.5f;  // w picks up half of x
    Vec4 v{};
    Vec4Transform({2, 0, 0, 1}, M, v);
    EXPECT_EQ(v, (Vec4{3, 2, 3, 2}));
    Vec4Transform({2, 0, 0, 0}, M, v);  // a direction ignores the translation
    EXPECT_EQ(v, (Vec4{2, 0, 0, 1}));
}

TEST(Matrix, Vec3TransformIgnoresColumnThree) {
    // A perspective-style matrix: column 3 would give w = z, but Vec3Transform
    // returns the un-divided x, y, z.
    Matrix P{};
    P(0, 0) = 2, P(1, 1) = 3, P(2, 2) = 1.5f, P(2, 3) = 1, P(3, 2) = -0.5f;
    Vec3 v{};
    Vec3Transform({1, 1, 4}, P, v);
    EXPECT_EQ(v, (Vec3{2, 3, 5.5f}));
    Vec4 w{};
    Vec4Transform({1, 1, 4, 1}, P, w);
    EXPECT_EQ(w.w, 4);
}

TEST(Matrix3, FromMatrixAndDeterminant) {
    Matrix M = Sample();
    Matrix3 m{};
    Matrix3FromMatrix(M, m);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(m(r, c), M(r, c));
    }
    const Matrix3 known{{2, -3, 1, 2, 0, -1, 1, 4, 5}};
    EXPECT_EQ(Matrix3Determinant(known), 49.0f);
    const Matrix3 singular{{1, 2, 3, 2, 4, 6, 7, 8, 9}};
    EXPECT_EQ(Matrix3Determinant(singular), 0.0f);
    Matrix3FromMatrix(RotationY(500), m);
    EXPECT_NEAR(Matrix3Determinant(m), 1.0f, 1e-6f);
    Matrix mirror{};
    MatrixScale(mirror, -1, 1, 1);
    Matrix3FromMatrix(mirror, m);
    EXPECT_EQ(Matrix3Determinant(m), -1.0f);
}

}  // namespace
}  // namespace wbx
