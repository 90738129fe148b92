#pragma once
// Lane traits of the span kernels (spankernelbody.h) for SSE2: four 32-bit
// lanes in one register. Include only from a file compiled for SSE2.

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace wbx::raster {
namespace {

// Four 32-bit lanes in SSE2 registers.
struct Sse2Lanes {
    static constexpr int kLanes = 4;
    using Int = __m128i;
    using Float = __m128;

    static Int Set(int v) { return _mm_set1_epi32(v); }
    static Int Set16(short v) { return _mm_set1_epi16(v); }
    static Float SetF(float v) { return _mm_set1_ps(v); }
    static Int Iota() { return _mm_setr_epi32(0, 1, 2, 3); }
    static Int Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
    static void Store(void* p, Int v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
    // p[0] .. p[count - 1], and p[0] again in the lanes past them; nothing
    // past p[count - 1] is read.
    static Int LoadPartial(const int32_t* p, int count) {
        alignas(16) int32_t lanes[kLanes];
        for (int i = 0; i < kLanes; ++i) lanes[i] = p[i < count ? i : 0];
        return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    }
    // kLanes 16-bit values, zero-extended into the lanes.
    static Int LoadWidened16(const uint16_t* p) {
        return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    // Bit i set where lane i is all ones.
    static unsigned LaneBits(Int mask) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(mask)));
    }

    static Float AddF(Float a, Float b) { return _mm_add_ps(a, b); }
    static Float SubF(Float a, Float b) { return _mm_sub_ps(a, b); }
    static Float MulF(Float a, Float b) { return _mm_mul_ps(a, b); }
    static Float DivF(Float a, Float b) { return _mm_div_ps(a, b); }
    static Float MinF(Float a, Float b) { return _mm_min_ps(a, b); }
    static Float MaxF(Float a, Float b) { return _mm_max_ps(a, b); }
    static void StoreF(float* p, Float v) { _mm_storeu_ps(p, v); }
    static Float ToFloat(Int a) { return _mm_cvtepi32_ps(a); }
    static Int Trunc(Float a) { return _mm_cvttps_epi32(a); }
    static Int LessF(Float a, Float b) { return _mm_castps_si128(_mm_cmplt_ps(a, b)); }

    static Int Add(Int a, Int b) { return _mm_add_epi32(a, b); }
    static Int Sub(Int a, Int b) { return _mm_sub_epi32(a, b); }
    static Int And(Int a, Int b) { return _mm_and_si128(a, b); }
    static Int Or(Int a, Int b) { return _mm_or_si128(a, b); }
    static Int Xor(Int a, Int b) { return _mm_xor_si128(a, b); }
    static Int AndNot(Int mask, Int b) { return _mm_andnot_si128(mask, b); }
    static Int CmpGt(Int a, Int b) { return _mm_cmpgt_epi32(a, b); }
    static Int CmpEq(Int a, Int b) { return _mm_cmpeq_epi32(a, b); }
    template <int S>
    static Int Srl(Int a) {
        return _mm_srli_epi32(a, S);
    }
    template <int S>
    static Int Sll(Int a) {
        return _mm_slli_epi32(a, S);
    }
    template <int S>
    static Int Sra(Int a) {
        return _mm_srai_epi32(a, S);
    }
    static Int SrlVar(Int a, int s) { return _mm_srl_epi32(a, _mm_cvtsi32_si128(s)); }
    static Int SllVar(Int a, int s) { return _mm_sll_epi32(a, _mm_cvtsi32_si128(s)); }
    // The low 32 bits of a b, lane by lane (SSE2 has only the 32 x 32 -> 64 bit even-lane product).
    static Int MulLo32(Int a, Int b) {
        const __m128i even = _mm_mul_epu32(a, b);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    // The 32-bit words at base + offset of the lanes in `mask`; 0 elsewhere.
    // Built in registers: a vector stored as four words and loaded again
    // would stall on store forwarding.
    static Int Gather32(const uint8_t* base, Int offsets, Int mask) {
        const unsigned bits = LaneBits(mask);
        auto word = [&](int i, int at) {
            int32_t v = 0;
            if (bits & (1u << i)) std::memcpy(&v, base + at, 4);
            return _mm_cvtsi32_si128(v);
        };
        const __m128i w0 = word(0, _mm_cvtsi128_si32(offsets));
        const __m128i w1 = word(1, _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, _MM_SHUFFLE(1, 1, 1, 1))));
        const __m128i w2 = word(2, _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, _MM_SHUFFLE(2, 2, 2, 2))));
        const __m128i w3 = word(3, _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, _MM_SHUFFLE(3, 3, 3, 3))));
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(w0, w1), _mm_unpacklo_epi32(w2, w3));
    }
    template <int S>
    static Int Srl16(Int a) {
        return _mm_srli_epi16(a, S);
    }
    template <int S>
    static Int Sra16(Int a) {
        return _mm_srai_epi16(a, S);
    }
    static Int Add16(Int a, Int b) { return _mm_add_epi16(a, b); }
    static Int Sub16(Int a, Int b) { return _mm_sub_epi16(a, b); }
    template <int S>
    static Int Sll16(Int a) {
        return _mm_slli_epi16(a, S);
    }
    static Int Mul16(Int a, Int b) { return _mm_mullo_epi16(a, b); }
    static Int Min16(Int a, Int b) { return _mm_min_epi16(a, b); }
    static Int Madd16(Int a, Int b) { return _mm_madd_epi16(a, b); }
};

}  // namespace
}  // namespace wbx::raster
