#include "narrowpacking.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wbx::raster {

#if defined(__x86_64__) || defined(__i386__)
// The AVX2 variant (narrowpackingavx2.cpp); call only where the processor has AVX2.
int PackNarrowAvx2(NarrowEdges& e, int x0, int y, int rows, int batch, int32_t* xs, int32_t* ys,
                   int& gathered);
#endif

namespace {

int PackNarrowBaseline(NarrowEdges& e, int x0, int y, int rows, int batch, int32_t* xs, int32_t* ys,
                       int& gathered) {
    TriangleSetup t;
    int64_t row[3];
    for (int k = 0; k < 3; ++k) {
        t.EdgeStepX[k] = static_cast<int32_t>(e.StepX[k]);
        t.EdgeStepY[k] = static_cast<int32_t>(e.StepY[k]);
        row[k] = static_cast<int32_t>(e.Row[k]);
    }
    NarrowRows edges(t, row, e.Width);
    const int rowEntries = (e.Width + 3) & ~3;
    int at = gathered, done = 0;
    while (done < rows && at < batch) {
        const NarrowRun run = NarrowRunOf(edges.Next());
        const int x = x0 + run.Begin;
        for (int i = 0; i < rowEntries; i += 4) {
#if defined(__SSE2__)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(xs + at + i),
                             _mm_add_epi32(_mm_set1_epi32(x + i), _mm_setr_epi32(0, 1, 2, 3)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(ys + at + i), _mm_set1_epi32(y + done));
#else
            for (int k = 0; k < 4; ++k) {
                xs[at + i + k] = x + i + k;
                ys[at + i + k] = y + done;
            }
#endif
        }
        at += run.Length;
        ++done;
    }
    gathered = at;
    e.Down(done);
    return done;
}

}  // namespace

NarrowPackFunction NarrowPackFor(PixelIsa isa) {
#if defined(__x86_64__) || defined(__i386__)
    if (isa == PixelIsa::Avx2 && __builtin_cpu_supports("avx2")) return &PackNarrowAvx2;
#endif
    (void)isa;
    return &PackNarrowBaseline;
}

}  // namespace wbx::raster
