#include "device/pixelformat.h"

#include <array>

namespace wbx {

namespace {

// One colour field in a pixel: `bits` wide (0: the format has no such field),
// starting at bit `shift`.
struct TPackField {
    uint8_t bits;
    uint8_t shift;
};

// How a component is recovered from a pixel.
enum class TUnpackRule : uint8_t {
    Zero,    // always 0
    Opaque,  // always 255 (formats without alpha)
    Widen,   // WidenComponent of the field
    Shift,   // the field shifted up to 8 bits, without widening (L6V5U5)
};

struct TUnpackField {
    TUnpackRule rule;
    uint8_t bits;
    uint8_t shift;
};

// Components in the order alpha, red, green, blue.
struct TFormatRule {
    D3DFORMAT format;
    uint8_t bitsPerPixel;
    bool hasColour;  // false: depth, palette and other formats that pack to 0
    TPackField pack[4];
    TUnpackField unpack[4];
};

constexpr TPackField kNone{0, 0};
constexpr TUnpackField kZero{TUnpackRule::Zero, 0, 0};
constexpr TUnpackField kOpaque{TUnpackRule::Opaque, 0, 0};
constexpr TUnpackField W(uint8_t bits, uint8_t shift) { return {TUnpackRule::Widen, bits, shift}; }
constexpr TUnpackField S(uint8_t bits, uint8_t shift) { return {TUnpackRule::Shift, bits, shift}; }

constexpr TFormatRule kRules[] = {
    {D3DFMT_R8G8B8, 24, true, {kNone, {8, 16}, {8, 8}, {8, 0}}, {kOpaque, W(8, 16), W(8, 8), W(8, 0)}},
    {D3DFMT_A8R8G8B8, 32, true, {{8, 24}, {8, 16}, {8, 8}, {8, 0}}, {W(8, 24), W(8, 16), W(8, 8), W(8, 0)}},
    {D3DFMT_X8R8G8B8, 32, true, {kNone, {8, 16}, {8, 8}, {8, 0}}, {kOpaque, W(8, 16), W(8, 8), W(8, 0)}},
    {D3DFMT_R5G6B5, 16, true, {kNone, {5, 11}, {6, 5}, {5, 0}}, {kOpaque, W(5, 11), W(6, 5), W(5, 0)}},
    {D3DFMT_X1R5G5B5, 16, true, {kNone, {5, 10}, {5, 5}, {5, 0}}, {kOpaque, W(5, 10), W(5, 5), W(5, 0)}},
    {D3DFMT_A1R5G5B5, 16, true, {{1, 15}, {5, 10}, {5, 5}, {5, 0}}, {W(1, 15), W(5, 10), W(5, 5), W(5, 0)}},
    {D3DFMT_A4R4G4B4, 16, true, {{4, 12}, {4, 8}, {4, 4}, {4, 0}}, {W(4, 12), W(4, 8), W(4, 4), W(4, 0)}},
    {D3DFMT_R3G3B2, 8, true, {kNone, {3, 5}, {3, 2}, {2, 0}}, {kOpaque, W(3, 5), W(3, 2), W(2, 0)}},
    {D3DFMT_A8, 8, true, {{8, 0}, kNone, kNone, kNone}, {W(8, 0), kZero, kZero, kZero}},
    {D3DFMT_A8R3G3B2, 16, true, {{8, 8}, {3, 5}, {3, 2}, {2, 0}}, {W(8, 8), W(3, 5), W(3, 2), W(2, 0)}},
    {D3DFMT_X4R4G4B4, 16, true, {kNone, {4, 8}, {4, 4}, {4, 0}}, {kOpaque, W(4, 8), W(4, 4), W(4, 0)}},
    // Luminance travels in the red component.
    {D3DFMT_L8, 8, true, {kNone, {8, 0}, kNone, kNone}, {kZero, W(8, 0), kZero, kZero}},
    {D3DFMT_A8L8, 16, true, {{8, 8}, {8, 0}, kNone, kNone}, {W(8, 8), W(8, 0), kZero, kZero}},
    {D3DFMT_A4L4, 8, true, {{4, 4}, {4, 0}, kNone, kNone}, {W(4, 4), W(4, 0), kZero, kZero}},
    // Bump formats: V in green, U in blue, L in red.
    {D3DFMT_V8U8, 16, true, {kNone, kNone, {8, 8}, {8, 0}}, {kZero, kZero, W(8, 8), W(8, 0)}},
    {D3DFMT_L6V5U5, 16, true, {kNone, {6, 10}, {5, 5}, {5, 0}}, {kZero, S(6, 10), S(5, 5), S(5, 0)}},
    // The X byte reads back as alpha.
    {D3DFMT_X8L8V8U8, 32, true, {kNone, {8, 16}, {8, 8}, {8, 0}}, {W(8, 24), W(8, 16), W(8, 8), W(8, 0)}},
    {D3DFMT_Q8W8V8U8, 32, true, {{8, 24}, {8, 16}, {8, 8}, {8, 0}}, {W(8, 24), W(8, 16), W(8, 8), W(8, 0)}},
    // Green and blue go to the high bytes of V and U; unpacking takes those bytes back.
    {D3DFMT_V16U16, 32, true, {kNone, kNone, {8, 24}, {8, 8}}, {kZero, kZero, W(8, 24), W(8, 8)}},
    {D3DFMT_A8P8, 16, false, {}, {}},
    {D3DFMT_P8, 8, false, {}, {}},
    {D3DFMT_D16_LOCKABLE, 16, false, {}, {}},
    {D3DFMT_D32, 32, false, {}, {}},
    {D3DFMT_D15S1, 16, false, {}, {}},
    {D3DFMT_D24S8, 32, false, {}, {}},
    {D3DFMT_D24X8, 32, false, {}, {}},
    {D3DFMT_D24X4S4, 32, false, {}, {}},
    {D3DFMT_D16, 16, false, {}, {}},
};

// Every format of the table has a code below 128: a direct index finds its
// rule, so per-pixel conversions do not search.
constexpr uint32_t kIndexSize = 128;

struct TRuleIndex {
    std::array<const TFormatRule*, kIndexSize> rules{};
    TRuleIndex() {
        for (const TFormatRule& rule : kRules) rules[rule.format] = &rule;
    }
};

const TFormatRule* FindRule(D3DFORMAT format) {
    static const TRuleIndex index;
    return format < kIndexSize ? index.rules[format] : nullptr;
}

// Component i of an ARGB colour, i = 0 alpha ... 3 blue.
constexpr uint32_t Component(uint32_t color, int i) { return (color >> (24 - 8 * i)) & 0xFF; }

}  // namespace

uint32_t WidenComponent(uint32_t v, uint32_t n) {
    if (n == 0 || n > 31) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(v) * 255 / ((uint64_t{1} << n) - 1));
}

uint32_t BitsPerPixel(D3DFORMAT format) {
    const TFormatRule* rule = FindRule(format);
    return rule != nullptr ? rule->bitsPerPixel : 0;
}

uint32_t ARGBToPixel(uint32_t color, D3DFORMAT format) {
    const TFormatRule* rule = FindRule(format);
    if (rule == nullptr || !rule->hasColour) return 0;
    uint32_t pixel = 0;
    for (int i = 0; i < 4; ++i) {
        const TPackField& field = rule->pack[i];
        if (field.bits != 0) pixel |= (Component(color, i) >> (8 - field.bits)) << field.shift;
    }
    return pixel;
}

uint32_t PackARGB(uint32_t a, uint32_t r, uint32_t g, uint32_t b, D3DFORMAT format) {
    return ARGBToPixel(D3DCOLOR_ARGB(a, r, g, b), format);
}

uint32_t PixelToARGB(uint32_t pixel, D3DFORMAT format) {
    const TFormatRule* rule = FindRule(format);
    if (rule == nullptr || !rule->hasColour) return 0;
    uint32_t color = 0;
    for (int i = 0; i < 4; ++i) {
        const TUnpackField& field = rule->unpack[i];
        const uint32_t raw = field.bits != 0 ? (pixel >> field.shift) & ((1u << field.bits) - 1) : 0;
        uint32_t value = 0;
        switch (field.rule) {
            case TUnpackRule::Zero:
                value = 0;
                break;
            case TUnpackRule::Opaque:
                value = 255;
                break;
            case TUnpackRule::Widen:
                value = WidenComponent(raw, field.bits);
                break;
            case TUnpackRule::Shift:
                value = (raw << (8 - field.bits)) & 0xFF;
                break;
        }
        color |= value << (24 - 8 * i);
    }
    return color;
}

}  // namespace wbx
