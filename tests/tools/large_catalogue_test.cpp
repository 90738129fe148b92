// The generator's large catalogues: every list topped up with recoloured
// designs, the same files from any number of threads, and nothing of the
// regular folder changed by the option.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formatreaders.h"
#include "generatedfolder.h"
#include "sampledata/datafolder.h"
#include "sampledata/partcatalogue.h"

namespace wbx::testing {
namespace {

using sampledata::DataFolderOptions;
using sampledata::PartLists;

// Every file below folder by its relative path, with its bytes.
std::map<std::string, std::vector<uint8_t>> FolderFiles(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).generic_string()] =
                ReadFileBytes(entry.path().string());
    return files;
}

sampledata::LayerImage LayerOf(const std::string& fileName) {
    return ReadLayer(ReadCompressed(ReadFileBytes(fileName)));
}

TEST(LargeCatalogue, TopsEveryListUpWithRecolouredDesigns) {
    const std::string folder = FreshDirectory("large-8");
    DataFolderOptions options;
    options.ItemsPerList = 8;
    const sampledata::DataFolderReport report = sampledata::GenerateDataFolder(folder, options);
    const std::string avatar = folder + "item/avatar/";

    size_t extraFiles = 0;
    for (int list = 0; list < sampledata::kPartListCount; ++list) {
        const sampledata::PartList& info = PartLists()[static_cast<size_t>(list)];
        std::vector<std::string> items = ListItems(avatar, info.Mask);
        // The awkward entries (identifiers beginning with Z) are still there, last.
        while (!items.empty() && items.back()[3] == 'Z') items.pop_back();
        ASSERT_EQ(items.size(), 8u) << info.Name;
        for (int place = 1; place <= 8; ++place) {
            const std::string expected = place <= info.ItemCount ? sampledata::ItemPrefix(list, place - 1)
                                                                 : sampledata::ExtraItemPrefix(list, place);
            EXPECT_EQ(items[static_cast<size_t>(place - 1)], expected);
        }
        // An extra item has every layer of its design, the same shape in other colours.
        for (int place = info.ItemCount + 1; place <= 8; ++place) {
            const std::string design = sampledata::ItemPrefix(list, (place - 1) % info.ItemCount);
            bool coloursDiffer = false;
            for (const int layerIndex : info.Layers) {
                const auto extra = LayerOf(
                    avatar + sampledata::LayerFileName(sampledata::ExtraItemPrefix(list, place), layerIndex));
                const auto original = LayerOf(avatar + sampledata::LayerFileName(design, layerIndex));
                ++extraFiles;
                ASSERT_EQ(extra.X, original.X);
                ASSERT_EQ(extra.Y, original.Y);
                ASSERT_EQ(extra.W, original.W);
                ASSERT_EQ(extra.H, original.H);
                for (size_t i = 0; i < extra.Pixels.size(); ++i) {
                    ASSERT_EQ(extra.Pixels[i] & 0x8000, original.Pixels[i] & 0x8000) << i;
                    coloursDiffer |= extra.Pixels[i] != original.Pixels[i];
                }
            }
            EXPECT_TRUE(coloursDiffer) << sampledata::ExtraItemPrefix(list, place);
        }
    }
    EXPECT_EQ(report.Files.size(), 95 + extraFiles);
}

TEST(LargeCatalogue, TheSameFilesFromAnyNumberOfThreads) {
    DataFolderOptions options;
    options.ItemsPerList = 7;
    options.Threads = 1;
    const std::string one = FreshDirectory("large-threads-1");
    const auto oneReport = sampledata::GenerateDataFolder(one, options);
    options.Threads = 3;
    const std::string three = FreshDirectory("large-threads-3");
    const auto threeReport = sampledata::GenerateDataFolder(three, options);
    EXPECT_EQ(FolderFiles(one), FolderFiles(three));
    ASSERT_EQ(oneReport.Files.size(), threeReport.Files.size());
    for (size_t i = 0; i < oneReport.Files.size(); ++i)
        EXPECT_EQ(oneReport.Files[i].RelativePath, threeReport.Files[i].RelativePath) << i;
}

TEST(LargeCatalogue, BelowTheDesignsItIsTheRegularFolderAndAbsurdSizesAreRefused) {
    DataFolderOptions options;
    options.ItemsPerList = 2;  // fewer than any list's designs
    const std::string folder = FreshDirectory("large-2");
    sampledata::GenerateDataFolder(folder, options);
    EXPECT_EQ(FolderFiles(folder), FolderFiles(GeneratedFolder()));

    options.ItemsPerList = sampledata::kMaxItemsPerList + 1;
    EXPECT_THROW(sampledata::GenerateDataFolder(FreshDirectory("large-too-many"), options),
                 std::invalid_argument);
    options.ItemsPerList = -1;
    EXPECT_THROW(sampledata::GenerateDataFolder(FreshDirectory("large-negative"), options),
                 std::invalid_argument);
    EXPECT_EQ(sampledata::ExtraItemPrefix(9, 9999), "09_29999");
    EXPECT_THROW(sampledata::ExtraItemPrefix(0, 10000), std::out_of_range);
}

}  // namespace
}  // namespace wbx::testing
