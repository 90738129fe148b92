// The thumbnail cache kept within its size: the entries used longest ago go
// first, a load counts as a use, and nothing that is not an entry is removed.
#include "viewer/thumbnailpruning.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tempfolder.h"
#include "viewer/thumbnailcache.h"

namespace wbx {
namespace {

using testing::TempFolder;
using testing::WriteText;

namespace fs = std::filesystem;

// A file of size bytes last used hoursAgo hours ago.
void Entry(const std::string& fileName, size_t size, int hoursAgo) {
    WriteText(fileName, std::string(size, 'x'));
    fs::last_write_time(fileName, fs::file_time_type::clock::now() - std::chrono::hours(hoursAgo));
}

TEST(ThumbnailPruning, EntriesAreNamedAsTheCacheNamesThem) {
    EXPECT_TRUE(IsThumbnailCacheEntry("0123456789ABCDEF.thumb"));
    const TThumbnailCache cache("/c/");
    EXPECT_TRUE(IsThumbnailCacheEntry(fs::path(cache.FileName("any key")).filename().string()));
    for (const char* other : {"0123456789abcdef.thumb", "0123456789ABCDE.thumb", "0123456789ABCDEF0.thumb",
                              "0123456789ABCDEF.thumb.12.3.tmp", "0123456789ABCDEG.thumb",
                              "0123456789ABCDEF.png", "notes.txt", ""})
        EXPECT_FALSE(IsThumbnailCacheEntry(other)) << other;
}

TEST(ThumbnailPruning, TheLeastRecentlyUsedGoFirstAndNothingElseIsTouched) {
    TempFolder dir;
    const std::string folder = dir / "thumbnails/";
    fs::create_directories(folder);
    Entry(folder + "000000000000000A.thumb", 1000, 50);  // oldest
    Entry(folder + "000000000000000B.thumb", 1000, 30);
    Entry(folder + "000000000000000C.thumb", 1000, 10);
    Entry(folder + "000000000000000D.thumb", 1000, 1);  // newest
    // Not entries, however old and large: never removed, never counted.
    Entry(folder + "0000000000000001.thumb.77.0.tmp", 50000, 100);
    Entry(folder + "README", 50000, 100);
    Entry(dir / "outside.thumb", 50000, 100);
    fs::create_directory(folder + "00000000000000EE.thumb");
    fs::create_symlink(dir / "outside.thumb", folder + "00000000000000FF.thumb");

    TPruneResult result = PruneThumbnailCache(folder, 2500);
    EXPECT_EQ(result.Entries, 4u);
    EXPECT_EQ(result.Removed, 2u);
    EXPECT_EQ(result.RemovedBytes, 2000u);
    EXPECT_EQ(result.KeptBytes, 2000u);
    EXPECT_FALSE(fs::exists(folder + "000000000000000A.thumb"));
    EXPECT_FALSE(fs::exists(folder + "000000000000000B.thumb"));
    EXPECT_TRUE(fs::exists(folder + "000000000000000C.thumb"));
    EXPECT_TRUE(fs::exists(folder + "000000000000000D.thumb"));
    for (const std::string kept : {folder + "0000000000000001.thumb.77.0.tmp", folder + "README",
                                   dir / "outside.thumb", folder + "00000000000000EE.thumb"})
        EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_TRUE(fs::is_symlink(folder + "00000000000000FF.thumb"));

    // Within the limit nothing goes; a limit of 0 empties the cache of entries only.
    result = PruneThumbnailCache(folder, 2000);
    EXPECT_EQ(result.Removed, 0u);
    result = PruneThumbnailCache(folder, 0);
    EXPECT_EQ(result.Removed, 2u);
    EXPECT_TRUE(fs::exists(folder + "README"));
    // A folder that is not there is left alone.
    EXPECT_EQ(PruneThumbnailCache(dir / "missing/", 0).Entries, 0u);
    EXPECT_EQ(PruneThumbnailCache("", 0).Entries, 0u);
}

TEST(ThumbnailPruning, ALoadCountsAsAUse) {
    TempFolder dir;
    const TThumbnailCache cache(dir / "thumbnails/");
    TThumbnail thumb;
    thumb.Width = 1;
    thumb.Height = 1;
    thumb.Pixels = {0xFF00FF00};
    ASSERT_TRUE(cache.Store("looked at", thumb));
    ASSERT_TRUE(cache.Store("forgotten", thumb));
    fs::last_write_time(cache.FileName("looked at"),
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    fs::last_write_time(cache.FileName("forgotten"),
                        fs::file_time_type::clock::now() - std::chrono::hours(24));

    TThumbnail loaded;
    ASSERT_TRUE(cache.Load("looked at", loaded));
    EXPECT_GT(fs::last_write_time(cache.FileName("looked at")),
              fs::file_time_type::clock::now() - std::chrono::hours(1));
    const uint64_t size = fs::file_size(cache.FileName("forgotten"));
    const TPruneResult result = PruneThumbnailCache(cache.Folder(), size);
    EXPECT_EQ(result.Removed, 1u);
    EXPECT_TRUE(fs::exists(cache.FileName("looked at")));
    EXPECT_FALSE(fs::exists(cache.FileName("forgotten")));

    // A recent use is not written again at every load.
    const auto recent = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    fs::last_write_time(cache.FileName("looked at"), recent);
    ASSERT_TRUE(cache.Load("looked at", loaded));
    EXPECT_EQ(fs::last_write_time(cache.FileName("looked at")), recent);
}

}  // namespace
}  // namespace wbx
