#pragma once
// Three- and four-component single-precision vectors and the operations on
// them, including table-driven rotations by integer angles (angle unit: 1/4096
// of a full turn, see angletables.h).
//
// Every operation evaluates in double precision and rounds each stored
// component to single; sums run left to right in the order of the formulas
// below. Outputs are written through the last reference parameter (Vec3Scale:
// the middle one). Unless a routine says "may alias", its output must not be
// the same object as an input: it writes parts of the output before it has
// read all of its input (checked by assert in debug builds).

#include <type_traits>

#include "math/angletables.h"

namespace wbx {

struct Vec3 {
    float x, y, z;
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

struct Vec4 {
    float x, y, z, w;
    friend bool operator==(const Vec4&, const Vec4&) = default;
};

static_assert(sizeof(Vec3) == 12 && std::is_standard_layout_v<Vec3> && std::is_trivially_copyable_v<Vec3>);
static_assert(sizeof(Vec4) == 16 && std::is_standard_layout_v<Vec4> && std::is_trivially_copyable_v<Vec4>);

// v := (x, y, z)
void Vec3Make(Vec3& v, float x, float y, float z);
// v := (a.x, a.y, a.z, 1)
void Vec4FromVec3(const Vec3& a, Vec4& v);
// x * x, rounded to single.
float Square(float x);
// v := a + b component-wise. May alias.
void Vec3Add(const Vec3& a, const Vec3& b, Vec3& v);
// v := a - b component-wise. May alias.
void Vec3Subtract(const Vec3& a, const Vec3& b, Vec3& v);
// v := a x b (right-handed cross product). v must not alias a or b.
void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& v);
// Rotation about the x axis: dst := (x, y*c + z*s, -y*s + z*c) with
// s, c = SinTable, CosTable[angle AND 4095]. By 1024, (0,1,0) becomes (0,0,-1).
// dst must not alias src.
void RotateX(const Vec3& src, int32_t angle, Vec3& dst);
// Rotation about the y axis: dst := (x*c - z*s, y, x*s + z*c).
// By 1024, (0,0,1) becomes (-1,0,0). dst must not alias src.
void RotateY(const Vec3& src, int32_t angle, Vec3& dst);
// sqrt(Square(x) + Square(y) + Square(z)), rounded to single.
float Vec3Length(const Vec3& a);
// v := a / Vec3Length(a); a zero-length a gives (0,0,0) without dividing. May alias.
void Vec3Normalize(const Vec3& a, Vec3& v);
// v := a * s. May alias.
void Vec3Scale(const Vec3& a, Vec3& v, float s);
// Perspective divide: when a.w != 0, v.w := 1 / a.w (rounded to single) and
// v.xyz := a.xyz * v.w. When a.w == 0, v is left untouched. May alias.
void Vec4Project(const Vec4& a, Vec4& v);

}  // namespace wbx
