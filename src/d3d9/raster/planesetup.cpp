// The plain variant of the plane set-up, and the choice between variants.

#include "planesetup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wbx::raster {

void MakePlanes(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                const PlaneBasis& basis, TriangleSetup& out) {
    // Planes of attributes the draw does not read are made as well: nothing
    // reads them, and making all is cheaper than choosing.
#if defined(__SSE2__)
    // Two slots at a time, in exactly the scalar order of operations.
    const __m128d vEx1 = _mm_set1_pd(basis.Ex1), vEy1 = _mm_set1_pd(basis.Ey1), vEx2 = _mm_set1_pd(basis.Ex2),
                  vEy2 = _mm_set1_pd(basis.Ey2), vInverse = _mm_set1_pd(basis.InverseArea),
                  vOffsetX = _mm_set1_pd(basis.OffsetX), vOffsetY = _mm_set1_pd(basis.OffsetY);
    auto planes = [&](int slot, __m128d a0, __m128d a1, __m128d a2) {
        const __m128d d1 = _mm_sub_pd(a1, a0), d2 = _mm_sub_pd(a2, a0);
        const __m128d dx = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d1, vEy2), _mm_mul_pd(d2, vEy1)), vInverse);
        const __m128d dy = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(d2, vEx1), _mm_mul_pd(d1, vEx2)), vInverse);
        const __m128d at = _mm_add_pd(_mm_add_pd(a0, _mm_mul_pd(dx, vOffsetX)), _mm_mul_pd(dy, vOffsetY));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneOrigin + slot), _mm_cvtpd_ps(at));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDx + slot), _mm_cvtpd_ps(dx));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.PlaneDy + slot), _mm_cvtpd_ps(dy));
    };
    planes(kPlaneZ, _mm_setr_pd(v0.Z, v0.Rhw), _mm_setr_pd(v1.Z, v1.Rhw), _mm_setr_pd(v2.Z, v2.Rhw));
    static_assert(kPlaneRhw == kPlaneZ + 1 && kAttributeCount % 2 == 0);
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
    const __m128d rhw[3] = {_mm_set1_pd(v0.Rhw), _mm_set1_pd(v1.Rhw), _mm_set1_pd(v2.Rhw)};
    for (int a = 0; a < kAttributeCount; a += 2) {
        __m128d value[3];
        for (int i = 0; i < 3; ++i) {
            const __m128 pair =
                _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v[i]->Attr + a)));
            value[i] = _mm_mul_pd(_mm_cvtps_pd(pair), rhw[i]);
        }
        planes(kPlaneAttr + a, value[0], value[1], value[2]);
    }
#else
    const ScreenVertex* v[3] = {&v0, &v1, &v2};
    for (int k = 0; k < kPlaneCount; ++k) {
        double value[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = k == kPlaneZ     ? v[i]->Z
                       : k == kPlaneRhw ? v[i]->Rhw
                                        : static_cast<double>(v[i]->Attr[k - kPlaneAttr]) * v[i]->Rhw;
        }
        const double d1 = value[1] - value[0], d2 = value[2] - value[0];
        const double dx = (d1 * basis.Ey2 - d2 * basis.Ey1) * basis.InverseArea;
        const double dy = (d2 * basis.Ex1 - d1 * basis.Ex2) * basis.InverseArea;
        out.PlaneOrigin[k] = static_cast<float>(value[0] + dx * basis.OffsetX + dy * basis.OffsetY);
        out.PlaneDx[k] = static_cast<float>(dx);
        out.PlaneDy[k] = static_cast<float>(dy);
    }
#endif
}

PlaneMaker BestPlaneMaker() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2")) return PlaneMakerAvx2();
#endif
    return &MakePlanes;
}

}  // namespace wbx::raster
