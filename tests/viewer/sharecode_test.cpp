// Share codes: an outfit survives the trip through its code, and a code that
// is wrong in any part is refused with a message naming that part.
#include "viewer/sharecode.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

TOutfit Dressed() {
    TOutfit outfit;
    outfit.BodyType = "type3";
    outfit.Items = {"00_10030", "01_11111", "02_12030", "03_10001", "04_10001", "", "", "07_abcde", "", ""};
    return outfit;
}

// The message of a code that must be refused.
std::string ErrorOf(std::string_view code) {
    const TShareCodeResult result = DecodeShareCode(code);
    EXPECT_FALSE(result.Outfit.has_value()) << code;
    EXPECT_FALSE(result.Error.empty()) << code;
    return result.Error;
}

TEST(ShareCode, AnOutfitReadsBackFromItsCode) {
    const TOutfit outfit = Dressed();
    const std::string code = EncodeShareCode(outfit);
    EXPECT_EQ(code, "wbx1:type3,00_10030,01_11111,02_12030,03_10001,04_10001,,,07_abcde,,");
    const TShareCodeResult result = DecodeShareCode(code);
    ASSERT_TRUE(result.Outfit.has_value()) << result.Error;
    EXPECT_TRUE(result.Error.empty());
    EXPECT_EQ(*result.Outfit, outfit);

    // Nothing worn at all, and the last body type.
    TOutfit bare;
    bare.BodyType = "type10";
    EXPECT_EQ(EncodeShareCode(bare), "wbx1:type10,,,,,,,,,,");
    EXPECT_EQ(DecodeShareCode(EncodeShareCode(bare)).Outfit, bare);
}

TEST(ShareCode, ItemsWithAnyCharactersTravelAsPlainAscii) {
    TOutfit outfit = Dressed();
    outfit.Items[plHair] = "00_a,b%c";                        // the separator and the escape
    outfit.Items[plWear] = "05_\xE3\x81\x82\xE3\x81\x84xyz";  // UTF-8: eight characters
    outfit.Items[plAccessory] = "09_ x+y~";                   // a blank and a reserved sign
    const std::string code = EncodeShareCode(outfit);
    for (const char c : code) EXPECT_TRUE(c > 0x20 && c < 0x7F) << code;
    EXPECT_NE(code.find("00_a%2Cb%25c"), std::string::npos) << code;
    EXPECT_NE(code.find("09_%20x%2By~"), std::string::npos) << code;
    const TShareCodeResult result = DecodeShareCode(code);
    ASSERT_TRUE(result.Outfit.has_value()) << result.Error;
    EXPECT_EQ(*result.Outfit, outfit);
}

TEST(ShareCode, ReadingForgivesBlanksAroundAndCaseWhereItCannotMislead) {
    const TShareCodeResult result =
        DecodeShareCode("  \tWBX1:TYPE3,00_10030,01_11111,02_12030,03_10001,04_10001,,,07_abcde,,\r\n");
    ASSERT_TRUE(result.Outfit.has_value()) << result.Error;
    EXPECT_EQ(*result.Outfit, Dressed());
    // Escapes in lower case; the item keeps its own case.
    const TShareCodeResult lower = DecodeShareCode("wbx1:type1,00_%e3%81%82abcd,,,,,,,,,");
    ASSERT_TRUE(lower.Outfit.has_value()) << lower.Error;
    EXPECT_EQ(lower.Outfit->Items[plHair],
              "00_\xE3\x81\x82"
              "abcd");
}

TEST(ShareCode, EveryWrongPartIsNamed) {
    EXPECT_EQ(ErrorOf(""), "The share code is empty.");
    EXPECT_EQ(ErrorOf(" \n"), "The share code is empty.");
    EXPECT_NE(ErrorOf("type3,00_10030").find("does not begin with wbx1:"), std::string::npos);
    EXPECT_NE(ErrorOf("https://example.org/").find("does not begin with wbx1:"), std::string::npos);
    EXPECT_NE(ErrorOf("wbx2:type1,,,,,,,,,,").find("version \"2\""), std::string::npos);
    EXPECT_NE(ErrorOf("wbx1:type1,,,,").find("has 5 parts"), std::string::npos);
    EXPECT_NE(ErrorOf("wbx1:type1,,,,,,,,,,,").find("has 12 parts"), std::string::npos);
    EXPECT_NE(ErrorOf("wbx1:").find("has 1 parts"), std::string::npos);

    const std::string body = ErrorOf("wbx1:type11,,,,,,,,,,");
    EXPECT_NE(body.find("body type \"type11\""), std::string::npos) << body;
    EXPECT_NE(ErrorOf("wbx1:,,,,,,,,,,").find("body type"), std::string::npos);
    EXPECT_NE(ErrorOf("wbx1:type%3,,,,,,,,,,").find("body type has a broken escape"), std::string::npos);

    // An item of another slot, of the wrong length, with a bad escape or a
    // character a code never holds: the slot is named.
    const std::string upper = ErrorOf("wbx1:type1,,,05_12345,,,,,,,");
    EXPECT_NE(upper.find("upper item"), std::string::npos) << upper;
    EXPECT_NE(upper.find("\"05_12345\" does not begin with 02_"), std::string::npos) << upper;
    const std::string shoes = ErrorOf("wbx1:type1,,,,,04_1234,,,,,");
    EXPECT_NE(shoes.find("shoes item"), std::string::npos) << shoes;
    EXPECT_NE(shoes.find("eight characters"), std::string::npos) << shoes;
    const std::string accessory = ErrorOf("wbx1:type1,,,,,,,,,,09_1234%G0");
    EXPECT_NE(accessory.find("accessory item"), std::string::npos) << accessory;
    EXPECT_NE(accessory.find("broken escape \"%G0\""), std::string::npos) << accessory;
    EXPECT_NE(ErrorOf("wbx1:type1,00_12345%,,,,,,,,,").find("broken escape"), std::string::npos);
    const std::string blank = ErrorOf("wbx1:type1,00_12 45,,,,,,,,,");
    EXPECT_NE(blank.find("hair item"), std::string::npos) << blank;
    EXPECT_NE(blank.find("%20"), std::string::npos) << blank;
    EXPECT_NE(ErrorOf("wbx1:type1,00_1234%0A,,,,,,,,,").find("control character"), std::string::npos);
}

TEST(ShareCode, HostileCodesAreRefusedAndQuotedSafely) {
    const std::string longCode = "wbx1:type1," + std::string(5000, 'x');
    EXPECT_NE(ErrorOf(longCode).find("at most 1024"), std::string::npos);
    // A message quotes a part cut short and with its unprintable bytes spelled out.
    const std::string binary = ErrorOf(std::string("\x01\xFFwbx1:", 7));
    EXPECT_NE(binary.find("\\x01\\xFF"), std::string::npos) << binary;
    const std::string wide = ErrorOf("wbx1:" + std::string(300, 'z') + ",,,,,,,,,,");
    EXPECT_LT(wide.size(), 200u) << wide;
    // A NUL inside the code is no end of it.
    EXPECT_NE(ErrorOf(std::string("wbx1:type1\0,,,,,,,,,,", 21)).find("body type"), std::string::npos);
}

}  // namespace
}  // namespace wbx
