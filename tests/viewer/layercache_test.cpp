// The cache of inflated layer files: the same pixels and errors as reading the
// files, re-reading whatever changed on disk, and a bounded size.
#include "viewer/layercache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::CompressedFile;
using testing::SolidLayer;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<uint8_t> Bytes(TMemoryStream* content) {
    return content == nullptr ? std::vector<uint8_t>{} : content->Bytes();
}

// Files written by a test have just changed; these caches keep them at once.
constexpr std::chrono::nanoseconds kNoSettling{0};

// Longer than a tick of the file system's clock: a change after it shows in the times.
void WaitATick() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

TEST(LayerCache, KeepsContentsUntilTheFileChangesOnDisk) {
    TempFolder dir;
    const std::string file = dir / "01_aaaaa_01.pav";
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8001)));
    TLayerCache cache(TLayerCache::kDefaultCapacity, kNoSettling);
    TMemoryStream* first = cache.Content(file);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Bytes(first), SolidLayer(1, 2, 3, 4, 0x8001));
    first->SetPosition(5);
    // Asked again: the same content from memory, at position 0.
    TMemoryStream* again = cache.Content(file);
    EXPECT_EQ(cache.Reads(), 1);
    EXPECT_EQ(again->Position(), 0);
    EXPECT_EQ(cache.Bytes(), static_cast<int64_t>(SolidLayer(1, 2, 3, 4, 0x8001).size()));

    // Rewritten with the same size but a new time: read again.
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8002)));
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
    EXPECT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8002));
    EXPECT_EQ(cache.Reads(), 2);
    // Rewritten with another size.
    WriteBytes(file, CompressedFile(SolidLayer(0, 0, 1, 1, 0x8003)));
    EXPECT_EQ(Bytes(cache.Content(file)), SolidLayer(0, 0, 1, 1, 0x8003));
    // Gone: nothing, and nothing kept.
    std::filesystem::remove(file);
    EXPECT_EQ(cache.Content(file), nullptr);
    EXPECT_EQ(cache.Bytes(), 0);
}

TEST(LayerCache, AReplacementOfTheSameSizeAndModificationTimeIsSeen) {
    TempFolder dir;
    const std::string file = dir / "03_ccccc_01.pav";
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8001)));
    const auto modifiedAt = std::filesystem::last_write_time(file);
    TLayerCache cache(TLayerCache::kDefaultCapacity, kNoSettling);
    ASSERT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8001));

    // Written over in place, the time set back as it was.
    WaitATick();
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8002)));
    std::filesystem::last_write_time(file, modifiedAt);
    ASSERT_EQ(std::filesystem::file_size(file), CompressedFile(SolidLayer(1, 2, 3, 4, 0x8001)).size());
    EXPECT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8002));

    // Replaced by another file (renamed over it), with the same size and time.
    WaitATick();
    const std::string other = dir / "other.pav";
    WriteBytes(other, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8003)));
    std::filesystem::last_write_time(other, modifiedAt);
    std::filesystem::rename(other, file);
    EXPECT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8003));
    EXPECT_EQ(cache.Reads(), 3);
}

TEST(LayerCache, AFileThatHasJustChangedIsNotKept) {
    TempFolder dir;
    const std::string file = dir / "04_ddddd_01.pav";
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8001)));
    const auto modifiedAt = std::filesystem::last_write_time(file);
    TLayerCache cache;  // the settle time of the window's cache
    ASSERT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8001));
    EXPECT_EQ(cache.Bytes(), 0);
    // Rewritten at once, quite possibly within the same tick of the file
    // system's clock: every time may be as it was, and still it is seen.
    WriteBytes(file, CompressedFile(SolidLayer(1, 2, 3, 4, 0x8002)));
    std::filesystem::last_write_time(file, modifiedAt);
    EXPECT_EQ(Bytes(cache.Content(file)), SolidLayer(1, 2, 3, 4, 0x8002));
    EXPECT_EQ(cache.Reads(), 2);
    // Once the change has settled, the content is kept.
    TLayerCache settled(TLayerCache::kDefaultCapacity, std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    settled.Content(file);
    settled.Content(file);
    EXPECT_EQ(settled.Reads(), 1);
}

TEST(LayerCache, DamagedFilesRaiseEveryTimeAndAreNotKept) {
    TempFolder dir;
    const std::string file = dir / "02_bad00_01.pav";
    WriteBytes(file, CompressedFile(SolidLayer(0, 0, 2, 2, 0x8001), 1000));  // declares more than it holds
    TLayerCache cache;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            cache.Content(file);
            ADD_FAILURE() << "no error";
        } catch (const EStreamError& error) {
            EXPECT_NE(error.Message().find("02_bad00_01.pav"), std::string::npos) << error.Message();
        }
    }
    EXPECT_EQ(cache.Reads(), 2);
    EXPECT_EQ(cache.Bytes(), 0);
}

TEST(LayerCache, StaysWithinItsCapacityDroppingTheLeastRecentlyUsed) {
    TempFolder dir;
    const int64_t layerBytes = static_cast<int64_t>(SolidLayer(0, 0, 10, 10, 0x8001).size());
    TLayerCache cache(2 * layerBytes, kNoSettling);
    for (const char* name : {"a.pav", "b.pav", "c.pav", "big.pav"})
        WriteBytes(dir / name, CompressedFile(SolidLayer(0, 0, 10, 10, 0x8001)));
    WriteBytes(dir / "big.pav", CompressedFile(SolidLayer(0, 0, 30, 30, 0x8001)));
    cache.Content(dir / "a.pav");
    cache.Content(dir / "b.pav");
    cache.Content(dir / "a.pav");  // b is now the least recently used
    cache.Content(dir / "c.pav");
    EXPECT_LE(cache.Bytes(), 2 * layerBytes);
    const int64_t reads = cache.Reads();
    cache.Content(dir / "a.pav");
    EXPECT_EQ(cache.Reads(), reads);  // kept
    cache.Content(dir / "b.pav");
    EXPECT_EQ(cache.Reads(), reads + 1);  // dropped, read again
    // Larger than the whole cache: handed out, not kept.
    EXPECT_EQ(Bytes(cache.Content(dir / "big.pav")), SolidLayer(0, 0, 30, 30, 0x8001));
    EXPECT_LE(cache.Bytes(), 2 * layerBytes);
}

TEST(LayerCache, ForgetsOneFileAndKeepsTheRest) {
    TempFolder dir;
    for (const char* name : {"a.pav", "b.pav"})
        WriteBytes(dir / name, CompressedFile(SolidLayer(0, 0, 10, 10, 0x8001)));
    const int64_t layerBytes = static_cast<int64_t>(SolidLayer(0, 0, 10, 10, 0x8001).size());
    TLayerCache cache(TLayerCache::kDefaultCapacity, kNoSettling);
    cache.Content(dir / "a.pav");
    cache.Content(dir / "b.pav");
    cache.Forget(dir / "b.pav");
    cache.Forget(dir / "never-read.pav");
    EXPECT_EQ(cache.Bytes(), layerBytes);
    cache.Content(dir / "a.pav");
    EXPECT_EQ(cache.Reads(), 2);  // a is still held
    EXPECT_EQ(Bytes(cache.Content(dir / "b.pav")), SolidLayer(0, 0, 10, 10, 0x8001));
    EXPECT_EQ(cache.Reads(), 3);  // b is read again, and kept again
    EXPECT_EQ(cache.Bytes(), 2 * layerBytes);
}

}  // namespace
}  // namespace wbx
