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

// Only AVX2: no FMA, whose fused multiply-add would round differently from
// the reference's separate multiply and add.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "avx2lanes.h"
#include "spankernelbody.h"

namespace wbx::raster {

SpanKernel SpanKernelAvx2(TexelKind texels, SpanProfile profile) {
    return KernelFor<Avx2Lanes>(texels, profile);
}

}  // namespace wbx::raster

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#endif

#endif  // x86
