// Item thumbnails: which layers an item gives each side, composition cropped
// to the drawn texels and scaled into a square, and the maker that takes them
// from the disk cache only while every layer file is as it was.
#include "viewer/thumbnail.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/stream.h"
#include "viewer/thumbnailmaker.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::CompressedFile;
using testing::LayerContent;
using testing::SolidLayer;
using testing::TempFolder;
using testing::WriteBytes;

constexpr uint16_t kRed = 0x8000 | (31 << 10);
constexpr uint16_t kBlue = 0x8000 | 31;

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

TEST(Thumbnail, AnItemPaintsItsOwnListsLayersInTheSidesOrder) {
    EXPECT_EQ(ThumbnailLayers(plHair, TThumbnailSide::Front), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(ThumbnailLayers(plHair, TThumbnailSide::Back), (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(ThumbnailLayers(plBody, TThumbnailSide::Front), (std::vector<int32_t>{1, 7}));
    EXPECT_EQ(ThumbnailLayers(plBody, TThumbnailSide::Back), (std::vector<int32_t>{8, 6}));
    EXPECT_EQ(ThumbnailLayers(plAccessory, TThumbnailSide::Back), (std::vector<int32_t>{2}));
}

TEST(Thumbnail, CroppedToTheDrawnTexelsWithLaterLayersOnTop) {
    TempFolder dir;
    // A red 3 x 2 block at (10, 20) and a blue texel over its right end plus
    // one more texel below it: the crop is (10, 20) to (12, 22).
    WriteBytes(dir / "a.pav", CompressedFile(SolidLayer(10, 20, 3, 2, kRed)));
    WriteBytes(dir / "b.pav", CompressedFile(LayerContent(12, 21, 1, 2, {kBlue, kBlue})));
    // A layer of undrawn texels only widens nothing.
    WriteBytes(dir / "c.pav", CompressedFile(SolidLayer(0, 0, 256, 512, 0x7FFF)));
    const TThumbnail thumb =
        ComposeThumbnail({dir / "a.pav", dir / "missing.pav", dir / "b.pav", dir / "c.pav"});
    ASSERT_EQ(thumb.Width, 3);
    ASSERT_EQ(thumb.Height, 3);
    const uint32_t red = Argb(255, 255, 0, 0), blue = Argb(255, 0, 0, 255);
    EXPECT_EQ(thumb.Pixels, (std::vector<uint32_t>{red, red, red, red, red, blue, 0, 0, blue}));

    EXPECT_TRUE(ComposeThumbnail({dir / "c.pav"}).Empty());
    EXPECT_TRUE(ComposeThumbnail({}).Empty());
}

TEST(Thumbnail, ScaledToFitTheSquareAveragingWhatEachPixelCovers) {
    std::vector<uint8_t> texture(512 * 512, 0);
    const auto put = [&](int x, int y, uint16_t texel) {
        texture[static_cast<size_t>(y) * 512 + 2 * x] = static_cast<uint8_t>(texel);
        texture[static_cast<size_t>(y) * 512 + 2 * x + 1] = static_cast<uint8_t>(texel >> 8);
    };
    // 200 x 100 texels: red, with the top-left 2 x 2 block half blue, half undrawn.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) put(20 + x, 30 + y, kRed);
    put(20, 30, kBlue);
    put(21, 30, kBlue);
    put(20, 31, 0);
    put(21, 31, 0);
    const TThumbnail thumb = ThumbnailOfTexture(texture.data(), 512, 50);
    ASSERT_EQ(thumb.Width, 50);
    ASSERT_EQ(thumb.Height, 25);
    // Each pixel covers 4 x 4 texels; the first holds 2 blue, 2 undrawn, 12 red.
    EXPECT_EQ(thumb.Pixels[0], Argb(223, 219, 0, 36));
    EXPECT_EQ(thumb.Pixels[1], Argb(255, 255, 0, 0));
    EXPECT_EQ(thumb.Pixels.back(), Argb(255, 255, 0, 0));
    // A line one texel high keeps one pixel of height; nothing is scaled up.
    std::fill(texture.begin(), texture.end(), 0);
    for (int x = 0; x < 256; ++x) put(x, 7, kBlue);
    const TThumbnail line = ThumbnailOfTexture(texture.data(), 512, 64);
    EXPECT_EQ(line.Width, 64);
    EXPECT_EQ(line.Height, 1);
    EXPECT_EQ(ThumbnailOfTexture(texture.data(), 512, 512).Width, 256);
}

class ThumbnailMakerTest : public ::testing::Test {
protected:
    TempFolder avatar, cacheFolder;
    TThumbnailCache cache{cacheFolder.Path()};

    void WriteLayer(const std::string& name, uint16_t texel) {
        WriteBytes(avatar / name, CompressedFile(SolidLayer(5, 5, 4, 4, texel)));
    }
};

TEST_F(ThumbnailMakerTest, TakesTheCacheOnlyWhileEveryLayerFileIsUnchanged) {
    WriteLayer("02_10010_01.pav", kRed);
    TThumbnailMaker maker(avatar.Path(), &cache);
    const TThumbnailResult first = maker.Make(plUpper, "02_10010", TThumbnailSide::Front);
    EXPECT_FALSE(first.FromCache);
    ASSERT_EQ(first.Thumbnail.Width, 4);
    EXPECT_EQ(first.Thumbnail.Pixels[0], Argb(255, 255, 0, 0));
    // A maker of the next session finds it on disk.
    TThumbnailMaker later(avatar.Path(), &cache);
    const TThumbnailResult again = later.Make(plUpper, "02_10010", TThumbnailSide::Front);
    EXPECT_TRUE(again.FromCache);
    EXPECT_EQ(again.Thumbnail, first.Thumbnail);

    // Rewritten in place, same size, its modification time put back: the
    // status-change time still tells, and the new colour shows.
    struct stat before {};
    ASSERT_EQ(::stat((avatar / "02_10010_01.pav").c_str(), &before), 0);
    WriteLayer("02_10010_01.pav", kBlue);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (avatar / "02_10010_01.pav").c_str(), times, 0), 0);
    const TThumbnailResult changed = later.Make(plUpper, "02_10010", TThumbnailSide::Front);
    EXPECT_FALSE(changed.FromCache);
    EXPECT_EQ(changed.Thumbnail.Pixels[0], Argb(255, 0, 0, 255));

    // A back layer that appears later is seen too: the key names absent files.
    EXPECT_TRUE(later.Make(plUpper, "02_10010", TThumbnailSide::Back).Thumbnail.Empty());
    WriteLayer("02_10010_02.pav", kRed);
    const TThumbnailResult back = later.Make(plUpper, "02_10010", TThumbnailSide::Back);
    EXPECT_FALSE(back.FromCache);
    EXPECT_FALSE(back.Thumbnail.Empty());
}

TEST_F(ThumbnailMakerTest, FindsFilesInAnyCaseAndReportsDamageWithoutCachingIt) {
    WriteLayer("00_ABCDE_01.PAV", kRed);
    testing::Bytes cut = CompressedFile(SolidLayer(0, 0, 8, 8, kBlue));
    cut.resize(cut.size() / 2);
    WriteBytes(avatar / "00_abcde_02.pav", cut);
    TThumbnailMaker maker(avatar.Path(), &cache);
    // Hair's front is layers 1 and 2; 2 is cut short.
    const TThumbnailResult damaged = maker.Make(plHair, "00_abcde", TThumbnailSide::Front);
    EXPECT_TRUE(damaged.Thumbnail.Empty());
    EXPECT_NE(damaged.Error.find("00_abcde_02.pav"), std::string::npos) << damaged.Error;
    EXPECT_TRUE(std::filesystem::is_empty(cacheFolder.Path()));

    WriteLayer("00_abcde_02.pav", kBlue);
    const TThumbnailResult mended = maker.Make(plHair, "00_abcde", TThumbnailSide::Front);
    EXPECT_TRUE(mended.Error.empty());
    EXPECT_EQ(mended.Thumbnail.Pixels[0], Argb(255, 0, 0, 255));

    // "なし" and an item with no files are empty, without error.
    EXPECT_TRUE(maker.Make(plHair, kNoPartItem, TThumbnailSide::Front).Thumbnail.Empty());
    const TThumbnailResult none = maker.Make(plShoes, "04_99999", TThumbnailSide::Front);
    EXPECT_TRUE(none.Thumbnail.Empty());
    EXPECT_TRUE(none.Error.empty());
    // Without a cache it still works.
    TThumbnailMaker uncached(avatar.Path(), nullptr);
    EXPECT_FALSE(uncached.Make(plHair, "00_ABCDE", TThumbnailSide::Front).Thumbnail.Empty());
}

}  // namespace
}  // namespace wbx
