// The thumbnails' disk cache: what is stored comes back for the same key only,
// and a damaged, foreign or unreadable file is a miss that the next store
// replaces.
#include "viewer/thumbnailcache.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tempfolder.h"

namespace wbx {
namespace {

using testing::Bytes;
using testing::TempFolder;
using testing::WriteBytes;

TThumbnail Sample() {
    TThumbnail thumb;
    thumb.Width = 3;
    thumb.Height = 2;
    thumb.Pixels = {0xFF102030, 0, 0x80FFFFFF, 0x01020304, 0xFFFFFFFF, 0xDEADBEEF};
    return thumb;
}

Bytes ReadAll(const std::string& fileName) {
    const std::string text = testing::ReadText(fileName);
    return Bytes(text.begin(), text.end());
}

TEST(ThumbnailCache, KeysNameEveryFieldOfEveryLayerAndTheSideAndSize) {
    TFileIdentity a{"/d/02_10010_01.pav", true, 100, 5, 6, 7, 8};
    const std::string key = TThumbnailCache::Key({a}, TThumbnailSide::Front, 64);
    EXPECT_NE(key, TThumbnailCache::Key({a}, TThumbnailSide::Back, 64));
    EXPECT_NE(key, TThumbnailCache::Key({a}, TThumbnailSide::Front, 32));
    for (int field = 0; field < 6; ++field) {
        TFileIdentity b = a;
        if (field == 0) b.Size = 101;
        if (field == 1) b.ModifiedNs = 4;
        if (field == 2) b.ChangedNs = 7;
        if (field == 3) b.Inode = 9;
        if (field == 4) b.Path = "/d/02_10010_02.pav";
        if (field == 5) b.Exists = false;
        EXPECT_NE(key, TThumbnailCache::Key({b}, TThumbnailSide::Front, 64)) << field;
    }
    // A path holding what looks like further fields cannot pass for another identity.
    TFileIdentity odd{"x 1 2 3 4 5 1 y", true, 1, 2, 3, 4, 5};
    TFileIdentity plain{"y", true, 1, 2, 3, 4, 5};
    EXPECT_NE(IdentityText(odd), IdentityText(plain));
}

TEST(ThumbnailCache, StoresAndLoadsForTheSameKeyOnly) {
    TempFolder dir;
    const TThumbnailCache cache(dir / "cache/thumbs");  // made on the first store
    TThumbnail loaded;
    EXPECT_FALSE(cache.Load("k1", loaded));
    ASSERT_TRUE(cache.Store("k1", Sample()));
    ASSERT_TRUE(cache.Load("k1", loaded));
    EXPECT_EQ(loaded, Sample());
    EXPECT_FALSE(cache.Load("k2", loaded));
    // An empty thumbnail (an item that draws nothing) is kept as such.
    ASSERT_TRUE(cache.Store("empty", TThumbnail{}));
    ASSERT_TRUE(cache.Load("empty", loaded));
    EXPECT_TRUE(loaded.Empty());
    // No temporary files are left behind.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "cache/thumbs")) {
        EXPECT_EQ(entry.path().extension(), ".thumb");
        ++files;
    }
    EXPECT_EQ(files, 2u);
}

TEST(ThumbnailCache, DamagedOrForeignFilesAreMissesAndGetReplaced) {
    TempFolder dir;
    const TThumbnailCache cache(dir.Path());
    ASSERT_TRUE(cache.Store("key", Sample()));
    const std::string file = cache.FileName("key");
    const Bytes good = ReadAll(file);
    TThumbnail loaded;

    // Every cut and every flipped byte is noticed.
    for (size_t size = 0; size < good.size(); ++size) {
        EXPECT_FALSE(DecodeThumbnailFile(good.data(), size, "key", loaded)) << size;
    }
    for (size_t at = 0; at < good.size(); ++at) {
        Bytes flipped = good;
        flipped[at] ^= 0x10;
        EXPECT_FALSE(DecodeThumbnailFile(flipped.data(), flipped.size(), "key", loaded)) << at;
    }
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(DecodeThumbnailFile(longer.data(), longer.size(), "key", loaded));
    EXPECT_TRUE(loaded.Empty());  // untouched by every failure

    // A whole file made for another key (as a hash collision would leave it).
    WriteBytes(file, EncodeThumbnailFile("other", Sample()));
    EXPECT_FALSE(cache.Load("key", loaded));
    // Absurd sizes with a valid checksum: refused before any pixel is taken.
    TThumbnail huge;
    huge.Width = kMaxThumbnailSize + 1;
    huge.Height = 1;
    huge.Pixels.assign(kMaxThumbnailSize + 1, 0);
    WriteBytes(file, EncodeThumbnailFile("key", huge));
    EXPECT_FALSE(cache.Load("key", loaded));
    // A folder where the file should be.
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(cache.Load("key", loaded));
    std::filesystem::remove(file);

    WriteBytes(file, Bytes(good.begin(), good.begin() + 20));
    EXPECT_FALSE(cache.Load("key", loaded));
    ASSERT_TRUE(cache.Store("key", Sample()));
    ASSERT_TRUE(cache.Load("key", loaded));
    EXPECT_EQ(loaded, Sample());
}

TEST(ThumbnailCache, AnUnwritableOrUnknownFolderOnlyMisses) {
    TempFolder dir;
    WriteBytes(dir / "file", Bytes{1});
    const TThumbnailCache blocked(dir / "file/thumbs");
    EXPECT_FALSE(blocked.Store("key", Sample()));
    TThumbnail loaded;
    EXPECT_FALSE(blocked.Load("key", loaded));
    const TThumbnailCache nowhere("");
    EXPECT_FALSE(nowhere.Store("key", Sample()));
    EXPECT_FALSE(nowhere.Load("key", loaded));
}

TEST(ThumbnailCache, TheDefaultFolderFollowsTheBaseDirectoryRules) {
    const char* oldCache = getenv("XDG_CACHE_HOME");
    const char* oldHome = getenv("HOME");
    const std::string savedCache = oldCache ? oldCache : "", savedHome = oldHome ? oldHome : "";
    setenv("XDG_CACHE_HOME", "/c", 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(TThumbnailCache::DefaultFolder(), "/c/wardrobix/thumbnails/");
    setenv("XDG_CACHE_HOME", "relative", 1);  // ignored, as the rules say
    EXPECT_EQ(TThumbnailCache::DefaultFolder(), "/h/.cache/wardrobix/thumbnails/");
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(TThumbnailCache::DefaultFolder(), "/h/.cache/wardrobix/thumbnails/");
    unsetenv("HOME");
    EXPECT_EQ(TThumbnailCache::DefaultFolder(), "");
    if (oldCache) setenv("XDG_CACHE_HOME", savedCache.c_str(), 1);
    if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace wbx
