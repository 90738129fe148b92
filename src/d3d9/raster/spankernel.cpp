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
SpanKernel SpanKernelAvx2(TexelKind texels, SpanProfile profile);
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Whether the processor (and the operating system, which must save the wide
// registers) runs AVX2 code.
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
#endif

}  // namespace

SpanProfile SpanProfileOf(const SpanConstants& c, TexelKind texels) {
    const bool modulates = c.ColorTexture && c.ColorDiffuse && c.AlphaTexture && c.AlphaDiffuse;
    if (texels != TexelKind::Linear1555 || !modulates || c.AlphaTest) return SpanProfile::Any;
    if (c.Depth == DepthKind::None)
        return c.Blend == BlendKind::SourceAlpha ? SpanProfile::Blended : SpanProfile::Any;
    const bool d16 = c.DepthFormat.BytesPerPixel == 2 && c.DepthFormat.DepthBits == 16 &&
                     c.DepthFormat.DepthShift == 0 && c.DepthFormat.StencilBits == 0;
    if (c.Depth != DepthKind::Word16 || !d16 || c.DepthFunc != D3DCMP_LESSEQUAL || c.DepthUniform)
        return SpanProfile::Any;
    if (c.Blend == BlendKind::Off && c.DepthWrite) return SpanProfile::Opaque16;
    if (c.Blend == BlendKind::SourceAlpha && !c.DepthWrite) return SpanProfile::Blended16;
    return SpanProfile::Any;
}

SpanKernel SpanKernelFor(PixelIsa isa, TexelKind texels, SpanProfile profile) {
    switch (isa) {
        case PixelIsa::Scalar:
            return KernelFor<ScalarLanes>(texels, profile);
#if defined(__SSE2__)
        case PixelIsa::Sse2:
            return KernelFor<Sse2Lanes>(texels, profile);
#endif
#if defined(__x86_64__) || defined(__i386__)
        case PixelIsa::Avx2:
            return HasAvx2() ? SpanKernelAvx2(texels, profile) : nullptr;
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
