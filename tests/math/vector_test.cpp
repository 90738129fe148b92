#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>

#include "matrixcompare.h"

namespace wbx {
namespace {

using testing::Vec3Near;

TEST(Rotate, QuarterTurnSense) {
    Vec3 v{};
    RotateY({0, 0, 1}, 1024, v);
    EXPECT_TRUE(Vec3Near(v, {-1, 0, 0}, 1e-6f));
    RotateY({1, 0, 0}, 1024, v);
    EXPECT_TRUE(Vec3Near(v, {0, 0, 1}, 1e-6f));
    RotateX({0, 1, 0}, 1024, v);
    EXPECT_TRUE(Vec3Near(v, {0, 0, -1}, 1e-6f));
    RotateX({0, 0, 1}, 1024, v);
    EXPECT_TRUE(Vec3Near(v, {0, 1, 0}, 1e-6f));
}

TEST(Rotate, LeavesTheAxisComponentAndLength) {
    const Vec3 p{1.5f, -2.0f, 3.25f};
    Vec3 v{};
    RotateY(p, 777, v);
    EXPECT_EQ(v.y, p.y);
    EXPECT_NEAR(Vec3Length(v), Vec3Length(p), 1e-5f);
    RotateX(p, -1234, v);
    EXPECT_EQ(v.x, p.x);
    EXPECT_NEAR(Vec3Length(v), Vec3Length(p), 1e-5f);
}

TEST(Rotate, AnglesWrapAroundAFullTurn) {
    const Vec3 p{0.3f, 0.7f, -0.2f};
    Vec3 a{}, b{};
    RotateY(p, -1, a);
    RotateY(p, 4095, b);
    EXPECT_EQ(a, b);
    RotateY(p, 4096, a);
    RotateY(p, 0, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b, p);
    RotateX(p, -1, a);
    RotateX(p, 4095, b);
    EXPECT_EQ(a, b);
    RotateX(p, 4096 * 3 + 5, a);
    RotateX(p, 5, b);
    EXPECT_EQ(a, b);
    RotateX(p, INT32_MIN, a);
    EXPECT_EQ(a, p);
}

TEST(Rotate, TwoHalvesMakeTheWhole) {
    const Vec3 p{1, 2, 3};
    Vec3 half{}, twice{}, once{};
    RotateY(p, 300, half);
    RotateY(half, 300, twice);
    RotateY(p, 600, once);
    EXPECT_TRUE(Vec3Near(twice, once, 1e-5f));
}

TEST(Vec3, AddSubtractScaleMayAliasTheirInputs) {
    Vec3 a{1, 2, 3};
    const Vec3 b{10, 20, 30};
    Vec3Add(a, b, a);
    EXPECT_EQ(a, (Vec3{11, 22, 33}));
    Vec3Subtract(a, b, a);
    EXPECT_EQ(a, (Vec3{1, 2, 3}));
    Vec3 c{4, 5, 6};
    Vec3Add(c, c, c);
    EXPECT_EQ(c, (Vec3{8, 10, 12}));
    Vec3Subtract(b, c, c);
    EXPECT_EQ(c, (Vec3{2, 10, 18}));
    Vec3Scale(c, c, 0.5f);
    EXPECT_EQ(c, (Vec3{1, 5, 9}));
}

TEST(Vec3, CrossIsRightHanded) {
    Vec3 v{};
    Vec3Cross({1, 0, 0}, {0, 1, 0}, v);
    EXPECT_EQ(v, (Vec3{0, 0, 1}));
    Vec3Cross({0, 1, 0}, {1, 0, 0}, v);
    EXPECT_EQ(v, (Vec3{0, 0, -1}));
    Vec3Cross({2, 3, 4}, {5, 6, 7}, v);
    EXPECT_EQ(v, (Vec3{-3, 6, -3}));
}

TEST(Vec3, LengthAndNormalize) {
    EXPECT_EQ(Vec3Length({3, 4, 12}), 13.0f);
    EXPECT_EQ(Square(-3.0f), 9.0f);
    Vec3 v{7, 7, 7};
    Vec3Normalize({0, 0, 0}, v);
    EXPECT_EQ(v, (Vec3{0, 0, 0}));
    Vec3Normalize({0, 3, 4}, v);
    EXPECT_EQ(v, (Vec3{0, 0.6f, 0.8f}));
    Vec3 same{-2, 0, 0};
    Vec3Normalize(same, same);
    EXPECT_EQ(same, (Vec3{-1, 0, 0}));
    // Components so small that their squares round to 0 in single: the length
    // is exactly 0 and the zero rule applies instead of a division.
    Vec3Normalize({1e-30f, 0, 0}, v);
    EXPECT_EQ(v, (Vec3{0, 0, 0}));
}

TEST(Vec4, FromVec3SetsWToOne) {
    Vec4 v{};
    Vec4FromVec3({1, 2, 3}, v);
    EXPECT_EQ(v, (Vec4{1, 2, 3, 1}));
}

TEST(Vec4, ProjectDividesByW) {
    Vec4 v{};
    Vec4Project({2, 4, 6, 2}, v);
    EXPECT_EQ(v, (Vec4{1, 2, 3, 0.5f}));
    Vec4 same{-3, 6, 9, -3};
    Vec4Project(same, same);
    EXPECT_EQ(same, (Vec4{1, -2, -3, -1.0f / 3.0f}));
}

TEST(Vec4, ProjectWithZeroWLeavesTheOutputUntouched) {
    Vec4 v{9, 8, 7, 6};
    Vec4Project({1, 2, 3, 0}, v);
    EXPECT_EQ(v, (Vec4{9, 8, 7, 6}));
    Vec4 same{1, 2, 3, -0.0f};
    Vec4Project(same, same);
    EXPECT_EQ(same.x, 1);
    EXPECT_EQ(same.w, 0);
}

}  // namespace
}  // namespace wbx
