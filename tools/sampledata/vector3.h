#pragma once
// A minimal 3-vector for the generator's geometry (single precision, as the
// model files store it).

#include <cmath>

namespace wbx::sampledata {

struct Vec3f {
    float X = 0, Y = 0, Z = 0;
};

inline Vec3f operator+(Vec3f a, Vec3f b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline Vec3f operator-(Vec3f a, Vec3f b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline Vec3f operator*(Vec3f a, float s) { return {a.X * s, a.Y * s, a.Z * s}; }
inline float Dot(Vec3f a, Vec3f b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline Vec3f Cross(Vec3f a, Vec3f b) {
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline float Length(Vec3f a) { return std::sqrt(Dot(a, a)); }
// The unit vector along a; (0, 0, 0) stays (0, 0, 0).
inline Vec3f Normalized(Vec3f a) {
    const float length = Length(a);
    return length > 0 ? a * (1.0f / length) : Vec3f{};
}

}  // namespace wbx::sampledata
