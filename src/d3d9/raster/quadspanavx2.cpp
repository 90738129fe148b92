// The AVX2 variant of the pixel routine: eight pixels at once. Everything in
// this file after the target switch is compiled for AVX2 and runs only where
// QuadSpanFor found the processor to have it.

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "d3d9/raster/quadspan.h"
#include "pixelprocessor.h"
#include "sampler.h"

// Only AVX2: no FMA, whose fused multiply-add would round differently from
// the reference's separate multiply and add.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#elif defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "quadspankernel.h"

namespace wbx::raster {

namespace {

// Eight 32-bit lanes in AVX2 registers; see Sse2Lanes (quadspan.cpp).
struct Avx2Lanes {
    static constexpr int kLanes = 8;
    using Int = __m256i;
    using Float = __m256;

    static Int Set(int v) { return _mm256_set1_epi32(v); }
    static Int Set16(short v) { return _mm256_set1_epi16(v); }
    static Float SetF(float v) { return _mm256_set1_ps(v); }
    static Int Iota() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
    static Int Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
    static void Store(void* p, Int v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
    static Int LoadWidened16(const uint16_t* p) {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static unsigned LaneBits(Int mask) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(mask)));
    }

    static Float AddF(Float a, Float b) { return _mm256_add_ps(a, b); }
    static Float SubF(Float a, Float b) { return _mm256_sub_ps(a, b); }
    static Float MulF(Float a, Float b) { return _mm256_mul_ps(a, b); }
    static Float DivF(Float a, Float b) { return _mm256_div_ps(a, b); }
    static Float MinF(Float a, Float b) { return _mm256_min_ps(a, b); }
    static Float MaxF(Float a, Float b) { return _mm256_max_ps(a, b); }
    static Float ToFloat(Int a) { return _mm256_cvtepi32_ps(a); }
    static Int Trunc(Float a) { return _mm256_cvttps_epi32(a); }
    static Int LessF(Float a, Float b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LT_OS)); }

    static Int Add(Int a, Int b) { return _mm256_add_epi32(a, b); }
    static Int Sub(Int a, Int b) { return _mm256_sub_epi32(a, b); }
    static Int And(Int a, Int b) { return _mm256_and_si256(a, b); }
    static Int Or(Int a, Int b) { return _mm256_or_si256(a, b); }
    static Int Xor(Int a, Int b) { return _mm256_xor_si256(a, b); }
    static Int AndNot(Int mask, Int b) { return _mm256_andnot_si256(mask, b); }
    static Int CmpGt(Int a, Int b) { return _mm256_cmpgt_epi32(a, b); }
    static Int CmpEq(Int a, Int b) { return _mm256_cmpeq_epi32(a, b); }
    template <int S>
    static Int Srl(Int a) {
        return _mm256_srli_epi32(a, S);
    }
    template <int S>
    static Int Sll(Int a) {
        return _mm256_slli_epi32(a, S);
    }
    template <int S>
    static Int Sra(Int a) {
        return _mm256_srai_epi32(a, S);
    }
    static Int MulLo32(Int a, Int b) { return _mm256_mullo_epi32(a, b); }
    static Int Gather32(const uint8_t* base, Int offsets, Int mask) {
        return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(base),
                                           offsets, mask, 1);
    }
    template <int S>
    static Int Srl16(Int a) {
        return _mm256_srli_epi16(a, S);
    }
    template <int S>
    static Int Sra16(Int a) {
        return _mm256_srai_epi16(a, S);
    }
    static Int Add16(Int a, Int b) { return _mm256_add_epi16(a, b); }
    static Int Sub16(Int a, Int b) { return _mm256_sub_epi16(a, b); }
    template <int S>
    static Int Sll16(Int a) {
        return _mm256_slli_epi16(a, S);
    }
    static Int Mul16(Int a, Int b) { return _mm256_mullo_epi16(a, b); }
    static Int Min16(Int a, Int b) { return _mm256_min_epi16(a, b); }
    static Int Madd16(Int a, Int b) { return _mm256_madd_epi16(a, b); }
};

}  // namespace

int QuadSpanAvx2(const QuadSpanConstants& c, const TriangleSetup& t, const int32_t* xs, const int32_t* ys,
                 int count) {
    return QuadSpanKernel<Avx2Lanes>(c, t, xs, ys, count);
}

}  // namespace wbx::raster

#if defined(__clang__)
#pragma clang attribute pop
#elif defined(__GNUC__)
#pragma GCC pop_options
#endif

#endif  // x86
