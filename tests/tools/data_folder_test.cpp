// The generated data folder: names, masks, layers, awkward entries, models,
// determinism and failure to write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "base/filestream.h"
#include "formatreaders.h"
#include "generatedfolder.h"
#include "sampledata/datafolder.h"
#include "sampledata/figure.h"
#include "sampledata/partcatalogue.h"

namespace wbx::testing {
namespace {

using namespace sampledata;
namespace fs = std::filesystem;

std::string Avatar() { return GeneratedFolder() + "item/avatar/"; }

// Files in the avatar folder whose names begin with prefix + "_".
std::set<std::string> FilesOf(const std::string& prefix) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Avatar())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix + "_", 0) == 0) names.insert(name);
    }
    return names;
}

TEST(DataFolder, ListsOfferTheRegularItemsPlusTheAwkwardOnesAndStartWithARegularItem) {
    // Awkward items listed in addition: a six-character identifier (upper),
    // an item missing its back layer (bottom), an upper-case item (wear).
    const int extra[kPartListCount] = {0, 0, 1, 1, 0, 1, 0, 0, 0, 0};
    const int expected[kPartListCount] = {4, 3, 5, 4, 3, 3, 3, 2, 3, 3};
    for (int list = 0; list < kPartListCount; ++list) {
        const PartList& info = PartLists()[list];
        EXPECT_EQ(info.ItemCount, expected[list]) << info.Name;
        const std::vector<std::string> items = ListItems(Avatar(), info.Mask);
        ASSERT_EQ(static_cast<int>(items.size()), info.ItemCount + extra[list]) << info.Mask;
        EXPECT_EQ(items.front(), ItemPrefix(list, 0)) << "first in case-insensitive order";
        for (const int layer : info.Layers) {
            EXPECT_FALSE(FindFileNoCase(Avatar(), LayerFileName(items.front(), layer)).empty())
                << items.front();
        }
    }
}

TEST(DataFolder, EveryRegularItemHasExactlyItsLayersAndTheyDecode) {
    for (int list = 0; list < kPartListCount; ++list) {
        const PartList& info = PartLists()[list];
        for (int item = 0; item < info.ItemCount; ++item) {
            const std::string prefix = ItemPrefix(list, item);
            ASSERT_EQ(prefix.size(), 8u);
            std::set<std::string> expected;
            for (const int layer : info.Layers) expected.insert(LayerFileName(prefix, layer));
            ASSERT_EQ(FilesOf(prefix), expected) << prefix;
            for (const std::string& name : expected) {
                const LayerImage layer = ReadLayer(ReadCompressed(ReadFileBytes(Avatar() + name)));
                EXPECT_LE(layer.X + layer.W, kTextureWidth) << name;
                EXPECT_LE(layer.Y + layer.H, kTextureHeight) << name;
                const size_t opaque = std::count_if(layer.Pixels.begin(), layer.Pixels.end(),
                                                    [](uint16_t p) { return (p & kAlphaBit) != 0; });
                EXPECT_GT(opaque, 20u) << name << " draws something";
                EXPECT_LT(opaque, layer.Pixels.size() + 1);
            }
        }
    }
}

TEST(DataFolder, AwkwardEntriesAreThere) {
    // A directory whose name matches the hair mask is not an item.
    EXPECT_TRUE(fs::is_directory(Avatar() + AwkwardNames::MaskMatchingDirectory));
    for (const std::string& item : ListItems(Avatar(), "00_*_02.pav")) EXPECT_NE(item, "00_Zdir0");
    // A six-character identifier lists as its first eight characters, which name no file.
    EXPECT_TRUE(FileExists(Avatar() + AwkwardNames::SixCharacterFront));
    EXPECT_TRUE(FileExists(Avatar() + AwkwardNames::SixCharacterBack));
    EXPECT_EQ(ListItems(Avatar(), "02_*_01.pav").back(), "02_Zlong");
    EXPECT_TRUE(FindFileNoCase(Avatar(), "02_Zlong_01.pav").empty());
    // An item without its back layer.
    EXPECT_TRUE(FileExists(Avatar() + std::string(AwkwardNames::MissingBackPrefix) + "_01.pav"));
    EXPECT_FALSE(FileExists(Avatar() + std::string(AwkwardNames::MissingBackPrefix) + "_02.pav"));
    // Upper-case names: matched by the lower-case mask and found for both layers.
    EXPECT_TRUE(FileExists(Avatar() + "05_ZCAPS_01.PAV"));
    EXPECT_EQ(ListItems(Avatar(), "05_*_01.pav").back(), AwkwardNames::UpperCasePrefix);
    std::array<std::string, 10> selection;
    selection[5] = AwkwardNames::UpperCasePrefix;
    const Texture back = Compose(Avatar(), selection, true);
    EXPECT_TRUE(std::any_of(back.begin(), back.end(), [](uint16_t p) { return (p & kAlphaBit) != 0; }));
}

TEST(DataFolder, TenModelsThatReadBackAsTheFigures) {
    for (int type = 0; type < kFigureTypeCount; ++type) {
        const std::string path =
            GeneratedFolder() + "character/models/tpv/type" + std::to_string(type + 1) + "/base.pdt";
        const ModelFile model = ReadModel(ReadFileBytes(path));
        ASSERT_EQ(model.Objects.size(), 1u) << path;
        const FigureMesh figure = BuildFigure(FigureTypes()[type]);
        EXPECT_EQ(model.Objects[0].Vertices.size(), figure.Positions.size());
        EXPECT_EQ(model.Objects[0].Triangles.size(), figure.Triangles.size());
        EXPECT_EQ(model.Objects[0].Vertices[5].X, figure.Positions[5].X);
    }
}

TEST(DataFolder, SameSeedSameBytesOtherSeedOtherColours) {
    const std::string a = FreshDirectory("seed-a"), b = FreshDirectory("seed-b"),
                      c = FreshDirectory("seed-c");
    const DataFolderReport first = GenerateDataFolder(a, 7);
    const DataFolderReport second = GenerateDataFolder(b, 7);
    const DataFolderReport other = GenerateDataFolder(c, 8);
    ASSERT_EQ(first.Files.size(), second.Files.size());
    int layersDiffering = 0;
    for (size_t i = 0; i < first.Files.size(); ++i) {
        const std::string& name = first.Files[i].RelativePath;
        ASSERT_EQ(name, second.Files[i].RelativePath);
        ASSERT_EQ(ReadFileBytes(a + name), ReadFileBytes(b + name)) << name;
        const bool differs = ReadFileBytes(a + name) != ReadFileBytes(c + name);
        if (name.find(".pdt") != std::string::npos) {
            EXPECT_FALSE(differs) << "figures do not depend on the seed";
        } else {
            layersDiffering += differs;
        }
    }
    EXPECT_GT(layersDiffering, static_cast<int>(first.Files.size()) / 2);
}

TEST(DataFolder, ReportMatchesTheDisk) {
    const std::string folder = FreshDirectory("report");
    fs::create_directories(folder + "item/avatar");
    std::ofstream(folder + "item/avatar/keep-me.txt") << "not ours";
    const DataFolderReport report = GenerateDataFolder(folder);
    uint64_t total = 0;
    for (const GeneratedFile& file : report.Files) {
        EXPECT_EQ(file.RelativePath.find('\\'), std::string::npos);
        EXPECT_EQ(fs::file_size(folder + file.RelativePath), file.Size) << file.RelativePath;
        total += file.Size;
    }
    EXPECT_EQ(total, report.TotalBytes);
    EXPECT_EQ(report.Files.size(), 95u);
    EXPECT_TRUE(fs::exists(folder + "item/avatar/keep-me.txt")) << "other files are left alone";
    // Generating again over the folder replaces the files with the same bytes.
    const auto before = ReadFileBytes(folder + report.Files.front().RelativePath);
    GenerateDataFolder(folder);
    EXPECT_EQ(ReadFileBytes(folder + report.Files.front().RelativePath), before);
}

TEST(DataFolder, AFolderThatCannotBeCreatedIsReportedWithItsPath) {
    const std::string folder = FreshDirectory("blocked");
    std::ofstream(folder + "item") << "a file where a folder should be";
    try {
        GenerateDataFolder(folder);
        FAIL() << "expected EFCreateError";
    } catch (const EFCreateError& error) {
        EXPECT_NE(error.Message().find(folder + "item"), std::string::npos) << error.Message();
    }
}

}  // namespace
}  // namespace wbx::testing
