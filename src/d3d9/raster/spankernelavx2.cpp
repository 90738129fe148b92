// The AVX2 span kernels: eight pixels at once. Everything in this file after
// the target switch is compiled for AVX2 and runs only where SpanKernelFor
// found the processor to have it.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Every header with inline functions of its own comes before the switch, so
// that those are compiled for the baseline like everywhere else.
#include "pixelarithmetic.h"
#include "sampler.h"
#include "spankernel.h"

// From here on, AVX2.
#include "avx2begin.h"
#include "avx2lanes.h"
#include "spankernelbody.h"

namespace wbx::raster {

SpanKernel SpanKernelAvx2(TexelKind texels, SpanProfile profile) {
    return KernelFor<Avx2Lanes>(texels, profile);
}

}  // namespace wbx::raster

#include "avx2end.h"

#endif  // x86
