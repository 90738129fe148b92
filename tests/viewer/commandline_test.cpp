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

}  // namespace
}  // namespace wbx
