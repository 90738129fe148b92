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

TEST(CommandLine, AnUnknownOptionIsNamedBeforeWhatItMayHaveCaused) {
    const std::string one = "The following argument was not expected: --bogus";
    // Alone, and with what each subcommand requires missing or given.
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"catalogue", "--bogus"},
             {"catalogue", "--bogus", "-o", "d"},
             {"catalogue", "-o", "d", "--bogus"},
             {"--bogus", "catalogue"},
             {"render", "--bogus"},
             {"render", "--bogus", "-o", "a.png"},
             {"merge", "--bogus"},
             {"merge", "d", "--bogus"},
             // Where an option's value should be, as well.
             {"catalogue", "-j", "--bogus"},
             {"catalogue", "-o", "d", "-j", "--bogus"},
             {"render", "-o", "a.png", "--size", "--bogus"},
             {"render", "--yaw", "--bogus", "-o", "a.png"},
             {"--outfit", "--bogus"},
         }) {
        const TCommandLine c = ParseCommandLine(arguments);
        EXPECT_EQ(c.Error, one) << arguments[0] << " " << arguments[1];
        EXPECT_FALSE(c.BadValue);
    }
    // Before a bad value too, and several in the order typed.
    EXPECT_EQ(ParseCommandLine({"catalogue", "--bogus", "--slots", "hats"}).Error, one);
    EXPECT_EQ(ParseCommandLine({"render", "-o", "a.png", "--pitch", "90", "--bogus"}).Error, one);
    EXPECT_EQ(ParseCommandLine({"--outfit", "wbx1:x", "--bogus"}).Error, one);
    EXPECT_EQ(ParseCommandLine({"catalogue", "--x", "-o", "d", "--y"}).Error,
              "The following arguments were not expected: --x --y");
    EXPECT_EQ(ParseCommandLine({"catalogue", "-o", "d", "-j", "--x", "--y=2"}).Error,
              "The following arguments were not expected: --x --y=2");
    // A negative number is a value, and a known option is no unknown one.
    EXPECT_NE(ParseCommandLine({"render", "-o", "a.png", "--pitch", "-100"}).Error.find("--pitch"),
              std::string::npos);
    EXPECT_EQ(ParseCommandLine({"catalogue", "-j", "-o", "d"}).Error,
              "The following argument was not expected: d");
    EXPECT_EQ(ParseCommandLine({"catalogue", "-o", "d", "-j"}).Error.find("not expected"), std::string::npos);
    // Without one, what is missing is still said.
    EXPECT_NE(ParseCommandLine({"catalogue"}).Error.find("--output"), std::string::npos);
    EXPECT_NE(ParseCommandLine({"merge"}).Error.find("folder"), std::string::npos);
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

TEST(CommandLine, RenderTakesItsOptionsInAnyOrder) {
    const TCommandLine c = ParseCommandLine({"render", "-o", "a.png", "--set", "hat=none"});
    EXPECT_NE(c.Error.find("unknown slot \"hat\" (closest: hair)"), std::string::npos) << c.Error;

    const TCommandLine r = ParseCommandLine(
        {"render", "--set", "upper=02_12020", "--set=shoes=none", "-o", "a.png", "--yaw=90", "--pitch", "-10",
         "--size", "320x200", "--transparent", "--supersample", "2", "--data", "/d", "--body", "type3"});
    ASSERT_TRUE(r.Error.empty()) << r.Error;
    EXPECT_EQ(r.Subcommand, TSubcommand::Render);
    EXPECT_EQ(r.DataFolder, "/d");
    EXPECT_EQ(r.Render.Yaw, 1024);
    EXPECT_EQ(r.Render.Pitch, -114);
    EXPECT_EQ(r.Render.Width, 320);
    EXPECT_EQ(r.Render.Height, 200);
    EXPECT_TRUE(r.Render.Transparent);
    EXPECT_EQ(r.Render.Supersample, 2);
    EXPECT_EQ(r.Render.Outfit.Body, "type3");
    using TSet = std::pair<std::string, std::string>;
    EXPECT_EQ(r.Render.Outfit.Sets, (std::vector<TSet>{{"upper", "02_12020"}, {"shoes", "none"}}));
    EXPECT_EQ(ParseCommandLine({"render", "-o", "a.png", "--yaw", "-90"}).Render.Yaw, 3072);
    EXPECT_EQ(ParseCommandLine({"render", "-o", "a.png", "--yaw", "720"}).Render.Yaw, 0);
}

TEST(CommandLine, SubcommandsRefuseBadValuesWithTheReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"render"},  // nothing to write
        {"render", "-o", "a.png", "--size", "0x10"},
        {"render", "-o", "a.png", "--size", "640"},
        {"render", "-o", "a.png", "--size", "99999x10"},
        {"render", "-o", "a.png", "--pitch", "80"},
        {"render", "-o", "a.png", "--scale", "5"},
        {"render", "-o", "a.png", "--yaw", "nan"},
        {"render", "-o", "a.png", "--body", "type11"},
        {"render", "-o", "a.png", "--set", "upper"},
        {"render", "-o", "a.png", "--set", "=x"},
        {"render", "-o", "a.png", "--size", "8192x8192", "--supersample", "4"},
        {"render", "-o", "a.png", "--snapshot", "x.png"},
        {"catalogue"},  // no output folder
        {"catalogue", "-o", "d", "--slots", "upper,hats"},
        {"catalogue", "-o", "d", "--slots", ""},
        {"catalogue", "-o", "d", "--shard", "4/3"},
        {"catalogue", "-o", "d", "--shard", "0/3"},
        {"catalogue", "-o", "d", "--shard", "1/"},
        {"catalogue", "-o", "d", "-j", "0"},
        {"catalogue", "-o", "d", "--thumbnail", "0"},
        {"merge"},
        {"render", "catalogue"},
    };
    for (const auto& arguments : bad) {
        std::string joined;
        for (const std::string& a : arguments) joined += a + " ";
        EXPECT_FALSE(ParseCommandLine(arguments).Error.empty()) << joined;
    }
    EXPECT_NE(ParseCommandLine({"catalogue", "-o", "d", "--slots", "upper,hats"}).Error.find("hats"),
              std::string::npos);
}

TEST(CommandLine, CatalogueDefaultsAndValues) {
    TCommandLine c = ParseCommandLine({"catalogue", "-o", "out"});
    ASSERT_TRUE(c.Error.empty()) << c.Error;
    EXPECT_EQ(c.Subcommand, TSubcommand::Catalogue);
    EXPECT_TRUE(c.Catalogue.Slots.empty());
    EXPECT_EQ(c.Catalogue.ThumbnailWidth, 128);
    EXPECT_EQ(c.Catalogue.Threads, 0);
    EXPECT_EQ(c.Catalogue.Shards, 1);

    c = ParseCommandLine({"catalogue", "-o", "out", "--slots", "shoes,upper", "--thumbnail", "64", "-j", "3",
                          "--shard", "2/5", "--size", "100x80"});
    ASSERT_TRUE(c.Error.empty()) << c.Error;
    EXPECT_EQ(c.Catalogue.Slots, (std::vector<std::string>{"shoes", "upper"}));
    EXPECT_EQ(c.Catalogue.ThumbnailHeight, 64);
    EXPECT_EQ(c.Catalogue.Threads, 3);
    EXPECT_EQ(c.Catalogue.Shard, 2);
    EXPECT_EQ(c.Catalogue.Shards, 5);
    EXPECT_EQ(c.Catalogue.Width, 100);

    c = ParseCommandLine({"merge", "out"});
    EXPECT_EQ(c.Subcommand, TSubcommand::Merge);
    EXPECT_EQ(c.Merge.Folder, "out");

    // Each subcommand's --help is its own.
    c = ParseCommandLine({"catalogue", "--help"});
    EXPECT_TRUE(c.Help);
    EXPECT_NE(c.HelpText.find("--shard"), std::string::npos);
    EXPECT_EQ(c.HelpText.find("--snapshot"), std::string::npos);
    EXPECT_NE(ParseCommandLine({"--help"}).HelpText.find("render"), std::string::npos);
    // The usage line first, then what the command does.
    EXPECT_EQ(
        ParseCommandLine({"--help"}).HelpText.rfind("Usage: wardrobix [OPTIONS] [SUBCOMMAND]\nShows", 0), 0u);
    EXPECT_EQ(UsageText("wardrobix").rfind("Usage: wardrobix", 0), 0u);
}

TEST(CommandLine, SubcommandHelpNamesTheProgramAndValuesInPlainWords) {
    for (const char* name : {"render", "catalogue", "merge"}) {
        const TCommandLine help = ParseCommandLine({name, "--help"});
        ASSERT_TRUE(help.Help);
        const std::string usage = std::string("Usage: wardrobix ") + name + " ";
        EXPECT_EQ(help.HelpText.rfind(usage, 0), 0u) << help.HelpText;
        // The usage line once, and the description right after it.
        EXPECT_EQ(help.HelpText.find("Usage:", 1), std::string::npos) << help.HelpText;
        EXPECT_EQ(help.HelpText.find("\n\n"), help.HelpText.find("\n", help.HelpText.find("\n") + 1))
            << help.HelpText;
        // No parser's type hints ("DEG:FLOAT in [...]"): each option says its range itself.
        EXPECT_EQ(help.HelpText.find(" in ["), std::string::npos) << help.HelpText;
        EXPECT_EQ(help.HelpText.find(":FLOAT"), std::string::npos) << help.HelpText;
        EXPECT_EQ(help.HelpText.find(":INT"), std::string::npos) << help.HelpText;
        // A refused command line shows the same usage.
        const TCommandLine refused = ParseCommandLine({name, "--no-such-option"});
        EXPECT_FALSE(refused.Error.empty());
        EXPECT_EQ(refused.HelpText.rfind(usage, 0), 0u) << refused.HelpText;
    }
    // The ranges are still checked.
    EXPECT_NE(ParseCommandLine({"render", "-o", "a.png", "--supersample", "5"}).Error.find("5"),
              std::string::npos);
    EXPECT_FALSE(ParseCommandLine({"catalogue", "-o", "d", "-j", "2000"}).Error.empty());
}

TEST(CommandLine, ValueParsersCheckEveryPart) {
    EXPECT_EQ(ParseSize("640x480"), std::make_pair(640, 480));
    EXPECT_FALSE(ParseSize("640x"));
    EXPECT_FALSE(ParseSize("x480"));
    EXPECT_FALSE(ParseSize("640x480x2"));
    EXPECT_FALSE(ParseSize("-1x5"));
    EXPECT_FALSE(ParseSize("16385x1"));
    EXPECT_EQ(ParseShard("3/3"), std::make_pair(3, 3));
    EXPECT_FALSE(ParseShard("3/2"));
    EXPECT_FALSE(ParseShard("1/65537"));
    EXPECT_FALSE(ParseShard(" 1/2"));
    EXPECT_EQ(DegreesToAngle(360), 0);
    EXPECT_EQ(DegreesToAngle(45), 512);
    EXPECT_EQ(DegreesToAngle(-45), -512);
    EXPECT_EQ(DegreesToAngle(1e300), 0);
}

}  // namespace
}  // namespace wbx
