#pragma once
// Lane traits of the span kernels (spankernelbody.h) for AVX2: eight 32-bit
// lanes in one register. Include only where AVX2 code is being compiled.

#include <immintrin.h>

#include <cstdint>

namespace wbx::raster {
namespace {

// Eight 32-bit lanes in AVX2 registers; see sse2lanes.h.
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
    static Int LoadPartial(const int32_t* p, int count) {
        const Int mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(count), Iota());
        return _mm256_blendv_epi8(_mm256_set1_epi32(p[0]), _mm256_maskload_epi32(p, mask), mask);
    }
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
    static void StoreF(float* p, Float v) { _mm256_storeu_ps(p, v); }
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
    static Int SrlVar(Int a, int s) { return _mm256_srl_epi32(a, _mm_cvtsi32_si128(s)); }
    static Int SllVar(Int a, int s) { return _mm256_sll_epi32(a, _mm_cvtsi32_si128(s)); }
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
}  // namespace wbx::raster
