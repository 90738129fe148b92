// The plain batch set-up, and the choice between variants.

#include "setupbatch.h"

namespace wbx::raster {

unsigned SetupTrianglesOneByOne(const SetupBatch& batch, DWORD cullMode, const PixelRect& scissor,
                                TriangleSetup* out) {
    unsigned kept = 0;
    for (int i = 0; i < batch.Count; ++i) {
        const ScreenVertex* const* v = batch.V[i];
        if (SetupTriangle(*v[0], *v[1], *v[2], cullMode, scissor, batch.Flat[i], out[i])) kept |= 1u << i;
    }
    return kept;
}

BatchSetupVariant BatchSetupFor(PixelIsa isa) {
    switch (isa) {
        case PixelIsa::Scalar:
            return {&SetupTrianglesOneByOne, 1};
#if defined(__SSE2__)
        case PixelIsa::Sse2:
            // Two lanes of doubles would save little over the scalar code's
            // own use of SSE2, without 64-bit products or compares.
            return {&SetupTrianglesOneByOne, 1};
#endif
#if defined(__x86_64__) || defined(__i386__)
        case PixelIsa::Avx2:
            if (!__builtin_cpu_supports("avx2")) return {};
            return {&SetupTrianglesAvx2, 4};
#endif
        default:
            return {};
    }
}

}  // namespace wbx::raster
