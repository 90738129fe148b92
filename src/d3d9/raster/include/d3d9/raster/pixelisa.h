#pragma once
// The instruction sets the span kernels come in (spankernel.h).

namespace wbx::raster {

// Scalar: plain C++, one pixel at a time, on any processor.
enum class PixelIsa { Scalar, Sse2, Avx2 };

// The widest instruction set this processor runs the span kernels with.
PixelIsa BestPixelIsa();

}  // namespace wbx::raster
