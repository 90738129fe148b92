// The AVX2 plane set-up: four slots at a time, each with exactly the
// operations of the plain variant (planesetup.cpp) in the same order, so
// that both give the same bits. Everything in this file after the target
// switch is compiled for AVX2 and runs only where BestPlaneMaker found the
// processor to have it.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>

// Every header with inline functions of its own comes before the switch.
#include "planesetup.h"

// From here on, AVX2.
#include "avx2begin.h"
#include "planesetupavx2body.h"

namespace wbx::raster {

namespace {

void MakePlanesOfBasis(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                       const PlaneBasis& basis, TriangleSetup& out) {
    const PlaneBasisAvx2 lanes{_mm256_set1_pd(basis.Ex1),         _mm256_set1_pd(basis.Ey1),
                               _mm256_set1_pd(basis.Ex2),         _mm256_set1_pd(basis.Ey2),
                               _mm256_set1_pd(basis.InverseArea), _mm256_set1_pd(basis.OffsetX),
                               _mm256_set1_pd(basis.OffsetY)};
    MakePlanesAvx2(v0, v1, v2, lanes, out);
}

}  // namespace

PlaneMaker PlaneMakerAvx2() { return &MakePlanesOfBasis; }

}  // namespace wbx::raster

#include "avx2end.h"

#endif  // x86
