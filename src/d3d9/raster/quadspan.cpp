#include "d3d9/raster/quadspan.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "quadspankernel.h"
#endif

namespace wbx::raster {

#if defined(__x86_64__) || defined(__i386__)
// The AVX2 variant (quadspanavx2.cpp); call only where the processor has AVX2.
int QuadSpanAvx2(const QuadSpanConstants& c, const TriangleSetup& t, const int32_t* xs, const int32_t* ys,
                 int count);
#endif

namespace {

#if defined(__SSE2__)
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
    // The low 32 bits of a b, lane by lane (SSE2 has only the 32 x 32 -> 64 bit even-lane product).
    static Int MulLo32(Int a, Int b) {
        const __m128i even = _mm_mul_epu32(a, b);
        const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    // The 32-bit words at base + offset of the lanes in `mask`; 0 elsewhere.
    static Int Gather32(const uint8_t* base, Int offsets, Int mask) {
        alignas(16) int32_t at[kLanes];
        alignas(16) uint32_t words[kLanes] = {};
        Store(at, offsets);
        const unsigned bits = LaneBits(mask);
        for (int i = 0; i < kLanes; ++i) {
            if (bits & (1u << i)) std::memcpy(&words[i], base + at[i], 4);
        }
        return Load(words);
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

int QuadSpanSse2(const QuadSpanConstants& c, const TriangleSetup& t, const int32_t* xs, const int32_t* ys,
                 int count) {
    return QuadSpanKernel<Sse2Lanes>(c, t, xs, ys, count);
}
#endif

#if defined(__x86_64__) || defined(__i386__)
// Whether the processor (and the operating system, which must save the wide
// registers) runs AVX2 code.
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
#endif

}  // namespace

QuadSpanFunction QuadSpanFor(PixelIsa isa) {
    switch (isa) {
#if defined(__SSE2__)
        case PixelIsa::Sse2:
            return &QuadSpanSse2;
#endif
#if defined(__x86_64__) || defined(__i386__)
        case PixelIsa::Avx2:
            return HasAvx2() ? &QuadSpanAvx2 : nullptr;
#endif
        default:
            return nullptr;
    }
}

PixelIsa BestPixelIsa() {
    if (QuadSpanFor(PixelIsa::Avx2) != nullptr) return PixelIsa::Avx2;
    if (QuadSpanFor(PixelIsa::Sse2) != nullptr) return PixelIsa::Sse2;
    return PixelIsa::Scalar;
}

}  // namespace wbx::raster
