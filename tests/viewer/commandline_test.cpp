// The command line.
#include "viewer/commandline.h"

#include <gtest/gtest.h>

namespace wbx {
namespace {

TEST(CommandLine, OptionsInBothSpellings) {
    TCommandLine c = ParseCommandLine({"--data", "/d", "--snapshot=/tmp/x.png"});
    EXPECT_TRUE(c.Error.empty());
    EXPECT_EQ(c.DataFolder, "/d");
    EXPECT_EQ(c.SnapshotFile, "/tmp/x.png");
    EXPECT_FALSE(c.Help);

    c = ParseCommandLine({"--data=/e", "--version", "-h"});
    EXPECT_EQ(c.DataFolder, "/e");
    EXPECT_TRUE(c.Version);
    EXPECT_TRUE(c.Help);

    c = ParseCommandLine({});
    EXPECT_TRUE(c.Error.empty());
    EXPECT_FALSE(c.DataFolder.has_value());
    EXPECT_FALSE(c.SnapshotFile.has_value());
}

TEST(CommandLine, RefusesWhatItDoesNotKnow) {
    EXPECT_FALSE(ParseCommandLine({"--data"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--data="}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--snapshot"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--dat", "x"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"somefile"}).Error.empty());
    EXPECT_NE(UsageText("wardrobix").find("--snapshot"), std::string::npos);
}

TEST(CommandLine, OutfitCodesAreReadAndABadOneIsNamedInOneLine) {
    TCommandLine c = ParseCommandLine({"--outfit", "wbx1:type2,00_10030,,,,,,,,,"});
    EXPECT_TRUE(c.Error.empty()) << c.Error;
    ASSERT_TRUE(c.Outfit.has_value());
    EXPECT_EQ(c.Outfit->BodyType, "type2");
    EXPECT_EQ(c.Outfit->Items[plHair], "00_10030");
    c = ParseCommandLine({"--outfit=wbx1:type3,,,,,,,,,,", "--data", "/d"});
    ASSERT_TRUE(c.Outfit.has_value());
    EXPECT_EQ(c.Outfit->BodyType, "type3");

    c = ParseCommandLine({"--outfit", "wbx1:type2,,,,,04_123,,,,,", "--data", "/d"});
    EXPECT_FALSE(c.Outfit.has_value());
    EXPECT_TRUE(c.BadValue);
    EXPECT_EQ(c.Error.find('\n'), std::string::npos);
    EXPECT_NE(c.Error.find("--outfit"), std::string::npos) << c.Error;
    EXPECT_NE(c.Error.find("shoes item"), std::string::npos) << c.Error;
    c = ParseCommandLine({"--outfit"});
    EXPECT_FALSE(c.Error.empty());
    EXPECT_FALSE(c.BadValue);  // a usage error: the usage follows
    EXPECT_NE(UsageText("wardrobix").find("--outfit CODE"), std::string::npos);
}

}  // namespace
}  // namespace wbx
