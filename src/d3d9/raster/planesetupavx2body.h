#pragma once
// The AVX2 plane set-up of one triangle, shared by the plane set-up's AVX2
// variant (planesetupavx2.cpp) and the AVX2 batch set-up: four slots at a
// time, each with exactly the operations of the plain variant
// (planesetup.cpp) in the same order, so that all give the same bits.
// Include only where AVX2 code is being compiled (after avx2begin.h).

#include <immintrin.h>

#include <cstddef>

#include "planesetup.h"

namespace wbx::raster {
namespace {

// A PlaneBasis with every field broadcast to four lanes.
struct PlaneBasisAvx2 {
    __m256d Ex1, Ey1, Ex2, Ey2, InverseArea, OffsetX, OffsetY;
};

// Fills out's PlaneOrigin, PlaneDx and PlaneDy as MakePlanes does.
inline void MakePlanesAvx2(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                           const PlaneBasisAvx2& basis, TriangleSetup& out) {
    const __m256d ex1 = basis.Ex1, ey1 = basis.Ey1, ex2 = basis.Ex2, ey2 = basis.Ey2,
                  inverse = basis.InverseArea, offsetX = basis.OffsetX, offsetY = basis.OffsetY;
    // Slots [slot, slot + 4) from the vertices' values there.
    auto planes = [&](int slot, __m256d a0, __m256d a1, __m256d a2) {
        const __m256d d1 = _mm256_sub_pd(a1, a0), d2 = _mm256_sub_pd(a2, a0);
        const __m256d dx =
            _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d1, ey2), _mm256_mul_pd(d2, ey1)), inverse);
        const __m256d dy =
            _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(d2, ex1), _mm256_mul_pd(d1, ex2)), inverse);
        const __m256d at =
            _mm256_add_pd(_mm256_add_pd(a0, _mm256_mul_pd(dx, offsetX)), _mm256_mul_pd(dy, offsetY));
        _mm_storeu_ps(out.PlaneOrigin + slot, _mm256_cvtpd_ps(at));
        _mm_storeu_ps(out.PlaneDx + slot, _mm256_cvtpd_ps(dx));
        _mm_storeu_ps(out.PlaneDy + slot, _mm256_cvtpd_ps(dy));
    };
    // Depth, 1/w and the first two attributes lie side by side in a screen
    // vertex: one load each, the attributes (not depth and 1/w) times 1/w.
    static_assert(kPlaneRhw == kPlaneZ + 1 && kPlaneAttr == kPlaneZ + 2);
    static_assert(offsetof(ScreenVertex, Rhw) == offsetof(ScreenVertex, Z) + sizeof(float) &&
                  offsetof(ScreenVertex, Attr) == offsetof(ScreenVertex, Z) + 2 * sizeof(float));
    static_assert(kAttributeCount == 12 && kPlaneCount == 14);
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
    __m256d first[3], rhw[3];
    for (int i = 0; i < 3; ++i) {
        rhw[i] = _mm256_set1_pd(v[i]->Rhw);
        const __m256d scale = _mm256_setr_pd(1.0, 1.0, v[i]->Rhw, v[i]->Rhw);  // x 1 is exact
        first[i] = _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(&v[i]->Z)), scale);
    }
    planes(kPlaneZ, first[0], first[1], first[2]);
    for (int a = 2; a < 10; a += 4) {
        __m256d value[3];
        for (int i = 0; i < 3; ++i)
            value[i] = _mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(v[i]->Attr + a)), rhw[i]);
        planes(kPlaneAttr + a, value[0], value[1], value[2]);
    }
    // The last two attributes, two slots wide: the arrays end there.
    const __m128d ex1h = _mm256_castpd256_pd128(ex1), ey1h = _mm256_castpd256_pd128(ey1),
                  ex2h = _mm256_castpd256_pd128(ex2), ey2h = _mm256_castpd256_pd128(ey2),
                  inverseh = _mm256_castpd256_pd128(inverse), offsetXh = _mm256_castpd256_pd128(offsetX),
                  offsetYh = _mm256_castpd256_pd128(offsetY);
    __m128d value[3];
    for (int i = 0; i < 3; ++i) {
        const __m128 pair =
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v[i]->Attr + 10)));
        value[i] = _mm_mul_pd(_mm_cvtps_pd(pair), _mm256_castpd256_pd128(rhw[i]));
    }
    const __m128d d1 = _mm_sub_pd(value[1], value[0]), d2 = _mm_sub_pd(value[2], value[0]);
    const __m128d dx = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, ey2h), _mm_mul_pd(d2, ey1h)), inverseh);
    const __m128d dy = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, ex1h), _mm_mul_pd(d1, ex2h)), inverseh);
    const __m128d at = _mm_add_pd(_mm_add_pd(value[0], _mm_mul_pd(dx, offsetXh)), _mm_mul_pd(dy, offsetYh));
    constexpr int kLast = kPlaneAttr + 10;
    _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneOrigin + kLast), _mm_cvtpd_ps(at));
    _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDx + kLast), _mm_cvtpd_ps(dx));
    _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDy + kLast), _mm_cvtpd_ps(dy));
}

}  // namespace
}  // namespace wbx::raster
