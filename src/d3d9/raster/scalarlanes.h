#pragma once
// Lane traits of the span kernels (spankernelbody.h) in plain C++: one lane,
// every operation with the meaning its SSE2 counterpart has on one lane, for
// processors without a vector variant (and as a check on the others).

#include <bit>
#include <cstdint>
#include <cstring>

namespace wbx::raster {
namespace {

struct ScalarLanes {
    static constexpr int kLanes = 1;
    using Int = uint32_t;
    using Float = float;

    static Int Set(int v) { return static_cast<uint32_t>(v); }
    static Int Set16(short v) { return (static_cast<uint32_t>(static_cast<uint16_t>(v))) * 0x10001u; }
    static Float SetF(float v) { return v; }
    static Int Iota() { return 0; }
    static Int Load(const void* p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Store(void* p, Int v) { std::memcpy(p, &v, 4); }
    static Int LoadPartial(const int32_t* p, int) { return static_cast<uint32_t>(p[0]); }
    static void StoreF(float* p, Float v) { *p = v; }
    static Int LoadWidened16(const uint16_t* p) { return *p; }
    static unsigned LaneBits(Int mask) { return mask >> 31; }

    static Float AddF(Float a, Float b) { return a + b; }
    static Float SubF(Float a, Float b) { return a - b; }
    static Float MulF(Float a, Float b) { return a * b; }
    static Float DivF(Float a, Float b) { return a / b; }
    // minps / maxps: the second operand when either is NaN.
    static Float MinF(Float a, Float b) { return a < b ? a : b; }
    static Float MaxF(Float a, Float b) { return a > b ? a : b; }
    static Float ToFloat(Int a) { return static_cast<float>(static_cast<int32_t>(a)); }
    // cvttps2dq: out of range (and NaN) gives 0x80000000.
    static Int Trunc(Float a) {
        if (!(a > -2147483648.0f && a < 2147483648.0f)) return 0x80000000u;
        return static_cast<uint32_t>(static_cast<int32_t>(a));
    }
    static Int LessF(Float a, Float b) { return a < b ? 0xFFFFFFFFu : 0; }

    static Int Add(Int a, Int b) { return a + b; }
    static Int Sub(Int a, Int b) { return a - b; }
    static Int And(Int a, Int b) { return a & b; }
    static Int Or(Int a, Int b) { return a | b; }
    static Int Xor(Int a, Int b) { return a ^ b; }
    static Int AndNot(Int mask, Int b) { return ~mask & b; }
    static Int CmpGt(Int a, Int b) {
        return static_cast<int32_t>(a) > static_cast<int32_t>(b) ? 0xFFFFFFFFu : 0;
    }
    static Int CmpEq(Int a, Int b) { return a == b ? 0xFFFFFFFFu : 0; }
    template <int S>
    static Int Srl(Int a) {
        return a >> S;
    }
    template <int S>
    static Int Sll(Int a) {
        return a << S;
    }
    template <int S>
    static Int Sra(Int a) {
        return static_cast<uint32_t>(static_cast<int32_t>(a) >> S);
    }
    static Int SrlVar(Int a, int s) { return s >= 32 ? 0 : a >> s; }
    static Int SllVar(Int a, int s) { return s >= 32 ? 0 : a << s; }
    static Int MulLo32(Int a, Int b) { return a * b; }
    static Int Gather32(const uint8_t* base, Int offset, Int mask) {
        if ((mask >> 31) == 0) return 0;
        uint32_t v;
        std::memcpy(&v, base + static_cast<int32_t>(offset), 4);
        return v;
    }

    // The 16-bit halves, each on its own.
    template <class F>
    static Int Halves(Int a, Int b, F&& f) {
        const uint32_t low = static_cast<uint16_t>(f(static_cast<uint16_t>(a), static_cast<uint16_t>(b)));
        const uint32_t high =
            static_cast<uint16_t>(f(static_cast<uint16_t>(a >> 16), static_cast<uint16_t>(b >> 16)));
        return low | (high << 16);
    }
    template <int S>
    static Int Srl16(Int a) {
        return Halves(a, 0, [](uint32_t x, uint32_t) { return x >> S; });
    }
    template <int S>
    static Int Sra16(Int a) {
        return Halves(
            a, 0, [](uint32_t x, uint32_t) { return static_cast<uint32_t>(static_cast<int16_t>(x) >> S); });
    }
    template <int S>
    static Int Sll16(Int a) {
        return Halves(a, 0, [](uint32_t x, uint32_t) { return x << S; });
    }
    static Int Add16(Int a, Int b) {
        return Halves(a, b, [](uint32_t x, uint32_t y) { return x + y; });
    }
    static Int Sub16(Int a, Int b) {
        return Halves(a, b, [](uint32_t x, uint32_t y) { return x - y; });
    }
    static Int Mul16(Int a, Int b) {
        return Halves(a, b, [](uint32_t x, uint32_t y) { return x * y; });
    }
    static Int Min16(Int a, Int b) {
        return Halves(a, b, [](uint32_t x, uint32_t y) {
            return static_cast<int16_t>(x) < static_cast<int16_t>(y) ? x : y;
        });
    }
    // pmaddwd: the products of the signed halves, added.
    static Int Madd16(Int a, Int b) {
        const int32_t low = static_cast<int16_t>(a) * static_cast<int16_t>(b);
        const int32_t high = static_cast<int16_t>(a >> 16) * static_cast<int16_t>(b >> 16);
        return static_cast<uint32_t>(low) + static_cast<uint32_t>(high);
    }
};

}  // namespace
}  // namespace wbx::raster
