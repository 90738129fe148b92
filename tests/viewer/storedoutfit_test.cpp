// The last run's outfit and pose in the settings file: they read back as
// written, in a section of their own, and damaged or hand-edited values are
// brought into range or reported, never trusted.
#include "viewer/storedoutfit.h"

#include <gtest/gtest.h>

#include "tempfolder.h"
#include "viewer/inifile.h"
#include "viewer/modelpose.h"

namespace wbx {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

TEST(StoredOutfit, OutfitAndPoseReadBackAsWritten) {
    TempFolder dir;
    const std::string file = dir / "wardrobix.ini";
    WriteText(file, "[app]\npath=/data/\nleft=10\n");
    TOutfit outfit;
    outfit.BodyType = "type4";
    outfit.Items[plHair] = "00_12345";
    outfit.Items[plFashion] = "08_\xE3\x81\x82zzzz";
    const TViewPose pose{3000, -123, 0.35f};
    {
        TIniFile ini(file);
        EXPECT_FALSE(ReadStoredOutfit(ini).Outfit.has_value());
        EXPECT_FALSE(ReadStoredOutfit(ini).Pose.has_value());
        WriteStoredOutfit(ini, outfit, pose);
    }
    const TIniFile ini(file);
    const TStoredOutfit stored = ReadStoredOutfit(ini);
    EXPECT_EQ(stored.Outfit, outfit);
    EXPECT_EQ(stored.Pose, pose);  // the scale exactly, not rounded
    EXPECT_TRUE(stored.Problem.empty());
    // The window's keys are where they were.
    EXPECT_EQ(ini.ReadString("app", "path", ""), "/data/");
    EXPECT_EQ(ReadText(file).rfind("[app]\npath=/data/\nleft=10\n", 0), 0u);
}

TEST(StoredOutfit, DamagedValuesAreBroughtIntoRangeOrReported) {
    TempFolder dir;
    const std::string file = dir / "wardrobix.ini";
    WriteText(file, "[outfit]\ncode=wbx1:type1,,,05_12345,,,,,,,\nyaw=-5\npitch=99999\nzoom=lots\n");
    TStoredOutfit stored = ReadStoredOutfit(TIniFile(file));
    EXPECT_FALSE(stored.Outfit.has_value());
    EXPECT_NE(stored.Problem.find("upper item"), std::string::npos) << stored.Problem;
    EXPECT_EQ(stored.Pose, (TViewPose{4091, kPitchLimit, 1.0f}));

    WriteText(file, "[outfit]\nzoom=1e9\n");
    stored = ReadStoredOutfit(TIniFile(file));
    EXPECT_FALSE(stored.Outfit.has_value());
    EXPECT_TRUE(stored.Problem.empty());
    EXPECT_EQ(stored.Pose, (TViewPose{0, 0, kZoomMax}));

    WriteText(file, "[outfit]\nzoom=nan\nyaw=12\n");
    EXPECT_EQ(ReadStoredOutfit(TIniFile(file)).Pose, (TViewPose{12, 0, 1.0f}));
}

}  // namespace
}  // namespace wbx
