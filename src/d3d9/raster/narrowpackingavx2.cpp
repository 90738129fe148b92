// Narrow boxes packed in AVX2: eight pixels of a row in one register, so
// that a box up to eight pixels wide takes one comparison and two stores a
// row. Everything in this file after the target switch is compiled for AVX2
// and runs only where NarrowPackFor found the processor to have it.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstdint>

// Every header with inline functions of its own comes before the switch.
#include "narrowpacking.h"

// From here on, AVX2.
#include "avx2begin.h"

namespace wbx::raster {

namespace {

// `Chunks` registers of eight pixels a row.
template <int Chunks>
int Pack(NarrowEdges& e, int x0, int y, int rows, int batch, int32_t* xs, int32_t* ys, int& gathered) {
    const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i edge[3], down[3], offsets[3][Chunks];
    for (int k = 0; k < 3; ++k) {
        edge[k] = _mm256_set1_epi32(static_cast<int32_t>(e.Row[k]));
        down[k] = _mm256_set1_epi32(static_cast<int32_t>(e.StepY[k]));
        // Lane i of chunk j: (8 j + i) StepX, modulo 2^32.
        const __m256i step = _mm256_set1_epi32(static_cast<int32_t>(e.StepX[k]));
        for (int j = 0; j < Chunks; ++j)
            offsets[k][j] = _mm256_mullo_epi32(_mm256_add_epi32(iota, _mm256_set1_epi32(8 * j)), step);
    }
    const uint32_t widthMask = e.Width >= 32 ? ~0u : (1u << e.Width) - 1;
    __m256i rowY = _mm256_set1_epi32(y);
    const __m256i oneRow = _mm256_set1_epi32(1);
    int at = gathered, done = 0;
    while (done < rows && at < batch) {
        uint32_t outside = 0;
        for (int j = 0; j < Chunks; ++j) {
            const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_add_epi32(edge[0], offsets[0][j]),
                                                                _mm256_add_epi32(edge[1], offsets[1][j])),
                                                _mm256_add_epi32(edge[2], offsets[2][j]));
            outside |= static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(any))) << (8 * j);
        }
        for (int k = 0; k < 3; ++k) edge[k] = _mm256_add_epi32(edge[k], down[k]);
        const NarrowRun run = NarrowRunOf(~outside & widthMask);
        const __m256i x = _mm256_add_epi32(_mm256_set1_epi32(x0 + run.Begin), iota);
        for (int j = 0; j < Chunks; ++j) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(xs + at + 8 * j),
                                _mm256_add_epi32(x, _mm256_set1_epi32(8 * j)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(ys + at + 8 * j), rowY);
        }
        rowY = _mm256_add_epi32(rowY, oneRow);
        at += run.Length;
        ++done;
    }
    gathered = at;
    e.Down(done);
    return done;
}

}  // namespace

int PackNarrowAvx2(NarrowEdges& e, int x0, int y, int rows, int batch, int32_t* xs, int32_t* ys,
                   int& gathered) {
    if (e.Width <= 8) return Pack<1>(e, x0, y, rows, batch, xs, ys, gathered);
    if (e.Width <= 16) return Pack<2>(e, x0, y, rows, batch, xs, ys, gathered);
    return Pack<4>(e, x0, y, rows, batch, xs, ys, gathered);
}

}  // namespace wbx::raster

#include "avx2end.h"

#endif  // x86
