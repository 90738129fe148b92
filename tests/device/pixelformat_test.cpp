#include "device/pixelformat.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

// One row of the format table, checked with the colour F0A05010 (A F0, R A0,
// G 50, B 10) and one pixel read back. Expected values worked out by hand.
struct FormatCase {
    D3DFORMAT format;
    uint32_t bits;
    uint32_t packed;    // ARGBToPixel(0xF0A05010)
    uint32_t pixel;     // a pixel to unpack
    uint32_t unpacked;  // PixelToARGB(pixel)
};

constexpr uint32_t kColour = 0xF0A05010u;

const FormatCase kCases[] = {
    {D3DFMT_R8G8B8, 24, 0x00A05010, 0x123456, 0xFF123456},
    {D3DFMT_A8R8G8B8, 32, 0xF0A05010, 0x12345678, 0x12345678},
    {D3DFMT_X8R8G8B8, 32, 0x00A05010, 0xAB123456, 0xFF123456},
    {D3DFMT_R5G6B5, 16, 0xA282, 0x07E0, 0xFF00FF00},
    {D3DFMT_X1R5G5B5, 16, 0x5142, 0xD142, 0xFFA45210},  // bit 15 ignored: always opaque
    {D3DFMT_A1R5G5B5, 16, 0xD142, 0x5142, 0x00A45210},
    {D3DFMT_A4R4G4B4, 16, 0xFA51, 0xFA51, 0xFFAA5511},
    {D3DFMT_R3G3B2, 8, 0xA8, 0xA8, 0xFFB64800},
    {D3DFMT_A8, 8, 0xF0, 0x7F, 0x7F000000},
    {D3DFMT_A8R3G3B2, 16, 0xF0A8, 0xF0A8, 0xF0B64800},
    {D3DFMT_X4R4G4B4, 16, 0x0A51, 0xFA51, 0xFFAA5511},
    {D3DFMT_L8, 8, 0xA0, 0xA0, 0x00A00000},
    {D3DFMT_A8L8, 16, 0xF0A0, 0xF0A0, 0xF0A00000},
    {D3DFMT_A4L4, 8, 0xFA, 0xFA, 0xFFAA0000},
    {D3DFMT_V8U8, 16, 0x5010, 0x5010, 0x00005010},
    {D3DFMT_L6V5U5, 16, 0xA142, 0xA142, 0x00A05010},  // plain shifts, no widening
    {D3DFMT_X8L8V8U8, 32, 0x00A05010, 0xAB123456, 0xAB123456},
    {D3DFMT_Q8W8V8U8, 32, 0xF0A05010, 0x12345678, 0x12345678},
    {D3DFMT_V16U16, 32, 0x50001000, 0x50001000, 0x00005010},
    // Known sizes without a colour rule.
    {D3DFMT_A8P8, 16, 0, 0xFFFF, 0},
    {D3DFMT_P8, 8, 0, 0xFF, 0},
    {D3DFMT_D16_LOCKABLE, 16, 0, 0xFFFF, 0},
    {D3DFMT_D32, 32, 0, 0xFFFFFFFF, 0},
    {D3DFMT_D15S1, 16, 0, 0xFFFF, 0},
    {D3DFMT_D24S8, 32, 0, 0xFFFFFFFF, 0},
    {D3DFMT_D24X8, 32, 0, 0xFFFFFFFF, 0},
    {D3DFMT_D24X4S4, 32, 0, 0xFFFFFFFF, 0},
    {D3DFMT_D16, 16, 0, 0xFFFF, 0},
    // Unknown to the layer.
    {D3DFMT_UNKNOWN, 0, 0, 0xFFFFFFFF, 0},
    {D3DFMT_A2B10G10R10, 0, 0, 0xFFFFFFFF, 0},
    {D3DFMT_A8B8G8R8, 0, 0, 0xFFFFFFFF, 0},
    {D3DFMT_G16R16, 0, 0, 0xFFFFFFFF, 0},
    {D3DFMT_DXT1, 0, 0, 0xFFFFFFFF, 0},
    {D3DFMT_INDEX16, 0, 0, 0xFFFF, 0},
};

TEST(PixelFormat, EveryFormatOfTheTable) {
    for (const FormatCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format);
        EXPECT_EQ(BitsPerPixel(c.format), c.bits);
        EXPECT_EQ(ARGBToPixel(kColour, c.format), c.packed);
        EXPECT_EQ(PackARGB(0xF0, 0xA0, 0x50, 0x10, c.format), c.packed);
        EXPECT_EQ(PixelToARGB(c.pixel, c.format), c.unpacked);
    }
}

TEST(PixelFormat, PackedPixelsFitTheirSize) {
    for (const FormatCase& c : kCases) {
        if (c.bits == 0 || c.bits == 32) continue;
        for (uint32_t colour : {0xFFFFFFFFu, 0x80808080u, 0x7F0000FFu})
            EXPECT_LT(ARGBToPixel(colour, c.format), uint64_t{1} << c.bits) << c.format;
    }
}

TEST(PixelFormat, WidenComponent) {
    EXPECT_EQ(WidenComponent(31, 5), 255u);
    EXPECT_EQ(WidenComponent(16, 5), 131u);
    EXPECT_EQ(WidenComponent(63, 6), 255u);
    EXPECT_EQ(WidenComponent(1, 1), 255u);
    EXPECT_EQ(WidenComponent(0, 4), 0u);
    EXPECT_EQ(WidenComponent(5, 3), 182u);
}

TEST(PixelFormat, SpecialValues) {
    EXPECT_EQ(ARGBToPixel(0xFFFFFFFF, D3DFMT_A1R5G5B5), 0xFFFFu);
    EXPECT_EQ(ARGBToPixel(0x7FFFFFFF, D3DFMT_A1R5G5B5), 0x7FFFu);  // alpha below 128 clears the bit
    EXPECT_EQ(ARGBToPixel(0x80000000, D3DFMT_A1R5G5B5), 0x8000u);
    EXPECT_EQ(PixelToARGB(0xFFFF, D3DFMT_R5G6B5), 0xFFFFFFFFu);
    EXPECT_EQ(PackARGB(0x1FF, 0x100, 0, 0, D3DFMT_A8R8G8B8), 0xFF000000u) << "only the low 8 bits count";
}

TEST(PixelFormat, A1R5G5B5RoundTripIsLosslessForEveryPixel) {
    for (uint32_t p = 0; p <= 0xFFFF; ++p) {
        const uint32_t argb = PixelToARGB(p, D3DFMT_A1R5G5B5);
        ASSERT_EQ(ARGBToPixel(argb, D3DFMT_A1R5G5B5), p) << std::hex << p;
        const uint32_t alpha = argb >> 24;
        ASSERT_TRUE(alpha == 0 || alpha == 255);
    }
}

TEST(PixelFormat, OtherLosslessRoundTrips) {
    for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2, D3DFMT_A8L8, D3DFMT_L6V5U5}) {
        for (uint32_t p = 0; p <= 0xFFFF; ++p)
            ASSERT_EQ(ARGBToPixel(PixelToARGB(p, format), format), p) << format << " " << std::hex << p;
    }
    for (D3DFORMAT format : {D3DFMT_L8, D3DFMT_A8, D3DFMT_R3G3B2, D3DFMT_A4L4}) {
        for (uint32_t p = 0; p <= 0xFF; ++p)
            ASSERT_EQ(ARGBToPixel(PixelToARGB(p, format), format), p) << format << " " << p;
    }
    EXPECT_EQ(PixelToARGB(0x5A, D3DFMT_L8), 0x005A0000u) << "luminance in the red byte";
}

}  // namespace
}  // namespace wbx
