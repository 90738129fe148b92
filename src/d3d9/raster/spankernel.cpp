// The scalar and SSE2 span kernels, and the choice between the variants.

#include "spankernel.h"

#include "scalarlanes.h"
#include "spankernelbody.h"
#if defined(__SSE2__)
#include "sse2lanes.h"
#endif

namespace wbx::raster {

#if defined(__x86_64__) || defined(__i386__)
// The AVX2 variants (spankernelavx2.cpp); call only where the processor has AVX2.
SpanKernel SpanKernelAvx2(TexelKind texels);
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Whether the processor (and the operating system, which must save the wide
// registers) runs AVX2 code.
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
#endif

}  // namespace

SpanKernel SpanKernelFor(PixelIsa isa, TexelKind texels) {
    switch (isa) {
        case PixelIsa::Scalar:
            return KernelFor<ScalarLanes>(texels);
#if defined(__SSE2__)
        case PixelIsa::Sse2:
            return KernelFor<Sse2Lanes>(texels);
#endif
#if defined(__x86_64__) || defined(__i386__)
        case PixelIsa::Avx2:
            return HasAvx2() ? SpanKernelAvx2(texels) : nullptr;
#endif
        default:
            return nullptr;
    }
}

PixelIsa BestPixelIsa() {
    if (SpanKernelFor(PixelIsa::Avx2, TexelKind::None) != nullptr) return PixelIsa::Avx2;
    if (SpanKernelFor(PixelIsa::Sse2, TexelKind::None) != nullptr) return PixelIsa::Sse2;
    return PixelIsa::Scalar;
}

}  // namespace wbx::raster
