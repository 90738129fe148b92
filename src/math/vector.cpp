#include "math/vector.h"

#include <cassert>
#include <cmath>

namespace wbx {
namespace {

inline float Single(double value) { return static_cast<float>(value); }

}  // namespace

void Vec3Make(Vec3& v, float x, float y, float z) {
    v.x = x;
    v.y = y;
    v.z = z;
}

void Vec4FromVec3(const Vec3& a, Vec4& v) {
    v.x = a.x;
    v.y = a.y;
    v.z = a.z;
    v.w = 1.0f;
}

float Square(float x) { return Single(double{x} * x); }

void Vec3Add(const Vec3& a, const Vec3& b, Vec3& v) {
    // Component by component: each output component depends only on the same
    // components of the inputs, so v may be a or b.
    v.x = Single(double{a.x} + b.x);
    v.y = Single(double{a.y} + b.y);
    v.z = Single(double{a.z} + b.z);
}

void Vec3Subtract(const Vec3& a, const Vec3& b, Vec3& v) {
    v.x = Single(double{a.x} - b.x);
    v.y = Single(double{a.y} - b.y);
    v.z = Single(double{a.z} - b.z);
}

void Vec3Cross(const Vec3& a, const Vec3& b, Vec3& v) {
    assert(&v != &a && &v != &b && "Vec3Cross: output must not alias an input");
    v.x = Single(double{a.y} * b.z - double{a.z} * b.y);
    v.y = Single(double{a.z} * b.x - double{a.x} * b.z);
    v.z = Single(double{a.x} * b.y - double{a.y} * b.x);
}

void RotateX(const Vec3& src, int32_t angle, Vec3& dst) {
    assert(&dst != &src && "RotateX: output must not alias the input");
    const int i = AngleIndex(angle);
    const double s = SinTable[i];
    const double c = CosTable[i];
    dst.x = src.x;
    dst.y = Single(src.y * c + src.z * s);
    dst.z = Single(-src.y * s + src.z * c);
}

void RotateY(const Vec3& src, int32_t angle, Vec3& dst) {
    assert(&dst != &src && "RotateY: output must not alias the input");
    const int i = AngleIndex(angle);
    const double s = SinTable[i];
    const double c = CosTable[i];
    dst.x = Single(src.x * c - src.z * s);
    dst.y = src.y;
    dst.z = Single(src.x * s + src.z * c);
}

float Vec3Length(const Vec3& a) { return Single(std::sqrt(double{Square(a.x)} + Square(a.y) + Square(a.z))); }

void Vec3Normalize(const Vec3& a, Vec3& v) {
    const double length = Vec3Length(a);
    if (length == 0.0) {
        v = Vec3{0.0f, 0.0f, 0.0f};
        return;
    }
    // Each component reads only its own input component, so v may be a.
    v.x = Single(a.x / length);
    v.y = Single(a.y / length);
    v.z = Single(a.z / length);
}

void Vec3Scale(const Vec3& a, Vec3& v, float s) {
    v.x = Single(double{a.x} * s);
    v.y = Single(double{a.y} * s);
    v.z = Single(double{a.z} * s);
}

void Vec4Project(const Vec4& a, Vec4& v) {
    if (a.w == 0.0f) return;  // no finite projection: the caller's v stays as it was
    // The reciprocal is rounded to single first and the products use that
    // single, as the stored v.w would be used. Reading a.x..a.z before any
    // write keeps this correct when v is a.
    const float inverseW = Single(1.0 / a.w);
    const float x = a.x, y = a.y, z = a.z;
    v.w = inverseW;
    v.x = Single(double{x} * inverseW);
    v.y = Single(double{y} * inverseW);
    v.z = Single(double{z} * inverseW);
}

}  // namespace wbx
