#include "base/format.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

TEST(Format, LogLineLayout) {
    EXPECT_EQ(Format("#%.5d | %s%s", 1, "", "abc"), "#00001 | abc");
    EXPECT_EQ(Format("#%.5d | %s%s", 99999, "  ", "x"), "#99999 |   x");
    EXPECT_EQ(Format("#%.5d | %s%s", 100000, "", ""), "#100000 | ");
    EXPECT_EQ(Format("%.5d", -7), "-00007");
}

TEST(Format, HexIsUpperCaseAndThirtyTwoBitForInts) {
    EXPECT_EQ(Format("$%.8x", 1), "$00000001");
    EXPECT_EQ(Format("%.8x", static_cast<int32_t>(0x8876086C)), "8876086C");
    EXPECT_EQ(Format("%.8x", -1), "FFFFFFFF");
    EXPECT_EQ(Format("%x", static_cast<uint32_t>(0xABCDEF)), "ABCDEF");
    EXPECT_EQ(Format("%x", static_cast<int64_t>(-1)), "FFFFFFFFFFFFFFFF");
}

TEST(Format, FloatsHaveTwoDecimalsByDefault) {
    EXPECT_EQ(Format("約%fMBです", 123.456), "約123.46MBです");
    EXPECT_EQ(Format("%f", 0.0), "0.00");
    EXPECT_EQ(Format("%.3f", 1.0f), "1.000");
}

TEST(Format, TextWidthAndPercent) {
    EXPECT_EQ(Format("ID %d(%s) の", 3, "tex"), "ID 3(tex) の");
    EXPECT_EQ(Format("[%5s][%-5s]", "ab", "cd"), "[   ab][cd   ]");
    EXPECT_EQ(Format("%.2s", "abcdef"), "ab");
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("%dx%d", 640u, 480u), "640x480");
    // %u shows a negative number as the unsigned number of its width.
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%u", int64_t{-1}), "18446744073709551615");
}

TEST(Format, EveryDigitInWidthsAndPrecisions) {
    // Widths and precisions are read digit by digit, 9 and 0 included.
    EXPECT_EQ(Format("[%9d]", 42), "[       42]");
    EXPECT_EQ(Format("[%-19s]", "ab"), "[ab                 ]");
    EXPECT_EQ(Format("%.19f", 0.5), "0.5000000000000000000");
    EXPECT_EQ(Format("%.9d", 7), "000000007");
    EXPECT_EQ(Format("%90d", 1).size(), 90u);
    // A precision of 0 cuts a text to nothing; without one it is whole.
    EXPECT_EQ(Format("[%.0s]", "abc"), "[]");
    EXPECT_EQ(Format("[%s]", "abc"), "[abc]");
    EXPECT_EQ(Format("%.0f", 2.5), "2");
}

TEST(Format, MismatchedArgumentsRaise) {
    EXPECT_THROW(Format("%d", "text"), EConvertError);
    EXPECT_THROW(Format("%s", 5), EConvertError);
    EXPECT_THROW(Format("%d %d", 5), EConvertError);
    EXPECT_THROW(Format("%q", 5), EConvertError);
    EXPECT_THROW(Format("abc%"), EConvertError);
}

}  // namespace
}  // namespace wbx
