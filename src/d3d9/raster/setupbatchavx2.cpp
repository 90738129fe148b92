// The AVX2 batch set-up: four triangles at a time, one lane each. Every
// lane does SetupTriangle's arithmetic (setup.cpp) in its order: positions
// and their differences in 32-bit lanes (snapped positions lie within 2^28
// sub-pixels), edge values and steps in 64-bit lanes with exact 32 x 32-bit
// products, the plane basis in doubles. The planes themselves are made per
// triangle by the AVX2 plane set-up, which is four slots wide already. Everything in this
// file after the target switch is compiled for AVX2 and runs only where
// BatchSetupFor found the processor to have it.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// Every header with inline functions of its own comes before the switch.
#include "planesetup.h"
#include "setupbatch.h"

// From here on, AVX2.
#include "avx2begin.h"
#include "planesetupavx2body.h"

namespace wbx::raster {

namespace {

// Scissor bounds (pixels) up to which every factor of an edge product fits
// in 32 bits: |origin - vertex| <= 2^28 + 2^28 sub-pixels. Anything wider is
// set up one triangle at a time.
constexpr int kLaneScissorLimit = 1 << 20;

// The 64-bit lanes of four 32-bit ones.
__m256i Wide(__m128i v) { return _mm256_cvtepi32_epi64(v); }

// CeilPixel and FloorPixel of four sub-pixel values.
__m128i CeilPixels(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_sub_epi32(zero, _mm_srai_epi32(_mm_sub_epi32(zero, v), kSubPixelBits));
}
__m128i FloorPixels(__m128i v) { return _mm_srai_epi32(v, kSubPixelBits); }

// Edge a -> b for the pixel at (px, py) in sub-pixels, as SetupTriangle's
// edge(): the value there with the fill rule's bias, and the steps.
void Edge(__m256i xa, __m256i ya, __m256i xb, __m256i yb, __m256i px, __m256i py, __m256i& origin,
          __m256i& stepX, __m256i& stepY) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i dx = _mm256_sub_epi64(xb, xa), dy = _mm256_sub_epi64(yb, ya);
    const __m256i topOrLeft =
        _mm256_or_si256(_mm256_cmpgt_epi64(zero, dy),
                        _mm256_and_si256(_mm256_cmpeq_epi64(dy, zero), _mm256_cmpgt_epi64(dx, zero)));
    // Both factors of each product fit in 32 bits; the bias is -1 unless the
    // edge is a top or left one.
    const __m256i value = _mm256_sub_epi64(_mm256_mul_epi32(dx, _mm256_sub_epi64(py, ya)),
                                           _mm256_mul_epi32(dy, _mm256_sub_epi64(px, xa)));
    origin = _mm256_add_epi64(value, _mm256_xor_si256(topOrLeft, _mm256_set1_epi64x(-1)));
    stepX = _mm256_slli_epi64(_mm256_sub_epi64(zero, dy), kSubPixelBits);
    stepY = _mm256_slli_epi64(dx, kSubPixelBits);
}

}  // namespace

unsigned SetupTrianglesAvx2(const SetupBatch& batch, DWORD cullMode, const PixelRect& scissor,
                            TriangleSetup* out) {
    if (scissor.X0 < -kLaneScissorLimit || scissor.Y0 < -kLaneScissorLimit ||
        scissor.X1 > kLaneScissorLimit || scissor.Y1 > kLaneScissorLimit) {
        return SetupTrianglesOneByOne(batch, cullMode, scissor, out);
    }
    const int count = batch.Count;
    // Lanes past `count` repeat triangle 0; they are never kept.
    static_assert(offsetof(ScreenVertex, SnapY) == offsetof(ScreenVertex, SnapX) + sizeof(int32_t));
    unsigned kept = 0;
    __m128i x[3], y[3];  // vertex k's snapped position, lane by lane
    {
        __m128i xy[3][4];
        for (int i = 0; i < 4; ++i) {
            const ScreenVertex* const* v = batch.V[i < count ? i : 0];
            if (i < count && v[0]->Snapped && v[1]->Snapped && v[2]->Snapped) kept |= 1u << i;
            for (int k = 0; k < 3; ++k)
                xy[k][i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&v[k]->SnapX));
        }
        for (int k = 0; k < 3; ++k) {
            const __m128i low = _mm_unpacklo_epi32(xy[k][0], xy[k][1]);   // x0 x1 y0 y1
            const __m128i high = _mm_unpacklo_epi32(xy[k][2], xy[k][3]);  // x2 x3 y2 y3
            x[k] = _mm_unpacklo_epi64(low, high);
            y[k] = _mm_unpackhi_epi64(low, high);
        }
    }

    // Winding, culling.
    const __m128i ex1 = _mm_sub_epi32(x[1], x[0]), ey1 = _mm_sub_epi32(y[1], y[0]);
    const __m128i ex2 = _mm_sub_epi32(x[2], x[0]), ey2 = _mm_sub_epi32(y[2], y[0]);
    const __m256i area =
        _mm256_sub_epi64(_mm256_mul_epi32(Wide(ex1), Wide(ey2)), _mm256_mul_epi32(Wide(ex2), Wide(ey1)));
    const __m256i zero = _mm256_setzero_si256();
    __m256i dropped = _mm256_cmpeq_epi64(area, zero);
    if (cullMode == D3DCULL_CCW) dropped = _mm256_or_si256(dropped, _mm256_cmpgt_epi64(zero, area));
    if (cullMode == D3DCULL_CW) dropped = _mm256_or_si256(dropped, _mm256_cmpgt_epi64(area, zero));
    kept &= ~static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(dropped)));

    // Pixel bounds inside the scissor.
    const __m128i minX =
        _mm_max_epi32(CeilPixels(_mm_min_epi32(_mm_min_epi32(x[0], x[1]), x[2])), _mm_set1_epi32(scissor.X0));
    const __m128i maxX = _mm_min_epi32(FloorPixels(_mm_max_epi32(_mm_max_epi32(x[0], x[1]), x[2])),
                                       _mm_set1_epi32(scissor.X1 - 1));
    const __m128i minY =
        _mm_max_epi32(CeilPixels(_mm_min_epi32(_mm_min_epi32(y[0], y[1]), y[2])), _mm_set1_epi32(scissor.Y0));
    const __m128i maxY = _mm_min_epi32(FloorPixels(_mm_max_epi32(_mm_max_epi32(y[0], y[1]), y[2])),
                                       _mm_set1_epi32(scissor.Y1 - 1));
    const __m128i empty = _mm_or_si128(_mm_cmpgt_epi32(minX, maxX), _mm_cmpgt_epi32(minY, maxY));
    kept &= ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(empty)));
    if (kept == 0) return 0;

    // Edges in clockwise-on-screen order.
    // Triangle by triangle, the set-up's nine edge values as they lie in
    // it: EdgeOrigin, EdgeStepX, EdgeStepY (the last one on its own).
    static_assert(offsetof(TriangleSetup, EdgeStepX) == offsetof(TriangleSetup, EdgeOrigin) + 3 * 8 &&
                  offsetof(TriangleSetup, EdgeStepY) == offsetof(TriangleSetup, EdgeStepX) + 3 * 8);
    alignas(32) int64_t edges[4][12];
    {
        const __m256i clockwise = _mm256_cmpgt_epi64(area, zero);
        const __m256i x0 = Wide(x[0]), y0 = Wide(y[0]), x1 = Wide(x[1]), y1 = Wide(y[1]);
        const __m256i x2 = Wide(x[2]), y2 = Wide(y[2]);
        const __m256i xb = _mm256_blendv_epi8(x2, x1, clockwise), yb = _mm256_blendv_epi8(y2, y1, clockwise);
        const __m256i xc = _mm256_blendv_epi8(x1, x2, clockwise), yc = _mm256_blendv_epi8(y1, y2, clockwise);
        const __m256i px = _mm256_slli_epi64(Wide(minX), kSubPixelBits);
        const __m256i py = _mm256_slli_epi64(Wide(minY), kSubPixelBits);
        __m256i origin[3], stepX[3], stepY[3];
        Edge(x0, y0, xb, yb, px, py, origin[0], stepX[0], stepY[0]);
        Edge(xb, yb, xc, yc, px, py, origin[1], stepX[1], stepY[1]);
        Edge(xc, yc, x0, y0, px, py, origin[2], stepX[2], stepY[2]);
        // Lanes (a, b, c, d) turned into triangles' rows at `column`.
        auto rows = [&](__m256i a, __m256i b, __m256i c, __m256i d, int column) {
            const __m256i ab02 = _mm256_unpacklo_epi64(a, b), ab13 = _mm256_unpackhi_epi64(a, b);
            const __m256i cd02 = _mm256_unpacklo_epi64(c, d), cd13 = _mm256_unpackhi_epi64(c, d);
            _mm256_store_si256(reinterpret_cast<__m256i*>(edges[0] + column),
                               _mm256_permute2x128_si256(ab02, cd02, 0x20));
            _mm256_store_si256(reinterpret_cast<__m256i*>(edges[1] + column),
                               _mm256_permute2x128_si256(ab13, cd13, 0x20));
            _mm256_store_si256(reinterpret_cast<__m256i*>(edges[2] + column),
                               _mm256_permute2x128_si256(ab02, cd02, 0x31));
            _mm256_store_si256(reinterpret_cast<__m256i*>(edges[3] + column),
                               _mm256_permute2x128_si256(ab13, cd13, 0x31));
        };
        rows(origin[0], origin[1], origin[2], stepX[0], 0);
        rows(stepX[1], stepX[2], stepY[0], stepY[1], 4);
        rows(stepY[2], stepY[2], stepY[2], stepY[2], 8);
    }
    // Triangle by triangle, MinX, MinY, MaxX, MaxY as they lie in the set-up.
    static_assert(offsetof(TriangleSetup, MinY) == offsetof(TriangleSetup, MinX) + 4 &&
                  offsetof(TriangleSetup, MaxX) == offsetof(TriangleSetup, MinX) + 8 &&
                  offsetof(TriangleSetup, MaxY) == offsetof(TriangleSetup, MinX) + 12 &&
                  offsetof(TriangleSetup, OriginY) == offsetof(TriangleSetup, OriginX) + 4);
    alignas(16) int32_t box[4][4];
    {
        const __m128i min01 = _mm_unpacklo_epi32(minX, minY), min23 = _mm_unpackhi_epi32(minX, minY);
        const __m128i max01 = _mm_unpacklo_epi32(maxX, maxY), max23 = _mm_unpackhi_epi32(maxX, maxY);
        _mm_store_si128(reinterpret_cast<__m128i*>(box[0]), _mm_unpacklo_epi64(min01, max01));
        _mm_store_si128(reinterpret_cast<__m128i*>(box[1]), _mm_unpackhi_epi64(min01, max01));
        _mm_store_si128(reinterpret_cast<__m128i*>(box[2]), _mm_unpacklo_epi64(min23, max23));
        _mm_store_si128(reinterpret_cast<__m128i*>(box[3]), _mm_unpackhi_epi64(min23, max23));
    }

    // The plane basis from the snapped positions. Scaling by 2^-8 is exact,
    // as SetupTriangle's division by kSubPixelScale is.
    alignas(32) double basis[7][4];  // PlaneBasis's fields in order
    {
        const __m256d scale = _mm256_set1_pd(1.0 / kSubPixelScale);
        const __m256d fx0 = _mm256_mul_pd(_mm256_cvtepi32_pd(x[0]), scale);
        const __m256d fy0 = _mm256_mul_pd(_mm256_cvtepi32_pd(y[0]), scale);
        const __m256d bx1 = _mm256_mul_pd(_mm256_cvtepi32_pd(ex1), scale);
        const __m256d by1 = _mm256_mul_pd(_mm256_cvtepi32_pd(ey1), scale);
        const __m256d bx2 = _mm256_mul_pd(_mm256_cvtepi32_pd(ex2), scale);
        const __m256d by2 = _mm256_mul_pd(_mm256_cvtepi32_pd(ey2), scale);
        const __m256d inverse = _mm256_div_pd(
            _mm256_set1_pd(1.0), _mm256_sub_pd(_mm256_mul_pd(bx1, by2), _mm256_mul_pd(bx2, by1)));
        _mm256_store_pd(basis[0], bx1);
        _mm256_store_pd(basis[1], by1);
        _mm256_store_pd(basis[2], bx2);
        _mm256_store_pd(basis[3], by2);
        _mm256_store_pd(basis[4], inverse);
        _mm256_store_pd(basis[5], _mm256_sub_pd(_mm256_cvtepi32_pd(minX), fx0));
        _mm256_store_pd(basis[6], _mm256_sub_pd(_mm256_cvtepi32_pd(minY), fy0));
    }
    for (unsigned lanes = kept; lanes != 0; lanes &= lanes - 1) {
        const int i = __builtin_ctz(lanes);
        TriangleSetup& t = out[i];
        // Written as the bytes of the set-up, at the offsets checked above.
        char* bytes = reinterpret_cast<char*>(&t);
        const __m128i bounds = _mm_load_si128(reinterpret_cast<const __m128i*>(box[i]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + offsetof(TriangleSetup, MinX)), bounds);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(bytes + offsetof(TriangleSetup, OriginX)), bounds);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + offsetof(TriangleSetup, EdgeOrigin)),
                            _mm256_load_si256(reinterpret_cast<const __m256i*>(edges[i])));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes + offsetof(TriangleSetup, EdgeOrigin) + 32),
                            _mm256_load_si256(reinterpret_cast<const __m256i*>(edges[i] + 4)));
        t.EdgeStepY[2] = edges[i][8];
        const PlaneBasisAvx2 b{_mm256_broadcast_sd(&basis[0][i]), _mm256_broadcast_sd(&basis[1][i]),
                               _mm256_broadcast_sd(&basis[2][i]), _mm256_broadcast_sd(&basis[3][i]),
                               _mm256_broadcast_sd(&basis[4][i]), _mm256_broadcast_sd(&basis[5][i]),
                               _mm256_broadcast_sd(&basis[6][i])};
        const ScreenVertex* const* v = batch.V[i];
        MakePlanesAvx2(*v[0], *v[1], *v[2], b, t);
        t.FlatColors = batch.Flat[i] != nullptr;
        if (t.FlatColors) std::memcpy(t.Flat, batch.Flat[i]->Attr, sizeof(t.Flat));
    }
    return kept;
}

}  // namespace wbx::raster

#include "avx2end.h"

#endif  // x86
