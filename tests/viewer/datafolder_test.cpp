// The data folder check and the case-insensitive path lookup.
#include "viewer/datafolder.h"

#include <gtest/gtest.h>

#include "viewer/pathresolver.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::TempFolder;
using testing::WriteText;

TEST(CheckDataFolder, SetsTheGlobalsWhateverTheOutcome) {
    TempFolder dir;
    std::filesystem::create_directories(dir / "data/item/avatar");
    std::filesystem::create_directories(dir / "bare");

    EXPECT_TRUE(CheckDataFolder(dir / "data"));  // no trailing separator: one is added
    EXPECT_EQ(BasePath, dir / "data/");
    EXPECT_EQ(AvatarPath, dir / "data/item/avatar/");
    EXPECT_EQ(ModelPathFormat, dir / "data/character/models/tpv/%s/base.pdt");
    EXPECT_TRUE(CheckDataFolder(dir / "data/"));
    EXPECT_EQ(BasePath, dir / "data/");

    EXPECT_FALSE(CheckDataFolder(dir / "bare"));  // exists, but without item/avatar
    EXPECT_EQ(AvatarPath, dir / "bare/item/avatar/");
    EXPECT_FALSE(CheckDataFolder(dir / "missing"));
    EXPECT_EQ(BasePath, dir / "missing/");
    EXPECT_FALSE(CheckDataFolder(""));
    EXPECT_EQ(BasePath, "/");

    WriteText(dir / "file/item/avatar", "not a folder");
    EXPECT_FALSE(CheckDataFolder(dir / "file"));
}

TEST(CheckDataFolder, FindsAWindowsSpelledAvatarFolder) {
    TempFolder dir;
    std::filesystem::create_directories(dir / "data/Item/AVATAR");
    EXPECT_TRUE(CheckDataFolder(dir / "data"));
    EXPECT_EQ(AvatarPath, dir / "data/Item/AVATAR/");
}

TEST(CheckDataFolder, PercentInTheFolderNameSurvivesTheModelFormat) {
    TempFolder dir;
    std::filesystem::create_directories(dir / "100%s data/item/avatar");
    WriteText(dir / "100%s data/Character/models/TPV/type3/Base.pdt", "x");
    ASSERT_TRUE(CheckDataFolder(dir / "100%s data"));
    EXPECT_EQ(ModelFileName("type3"), dir / "100%s data/Character/models/TPV/type3/Base.pdt");
}

TEST(PathResolver, ResolvesEachComponentAndReadsEachFolderOnce) {
    TempFolder dir;
    WriteText(dir / "Data/Item/Avatar/00_ABCDE_01.PAV", "x");
    WriteText(dir / "Data/Item/Avatar/00_abcde_02.pav", "x");
    TPathResolver resolver;

    // An exact spelling reads no folder.
    EXPECT_EQ(resolver.Resolve(dir / "Data/Item/Avatar/00_abcde_02.pav"),
              dir / "Data/Item/Avatar/00_abcde_02.pav");
    EXPECT_EQ(resolver.FolderReads(), 0u);

    EXPECT_EQ(resolver.Resolve(dir / "data/item/avatar/00_abcde_01.pav"),
              dir / "Data/Item/Avatar/00_ABCDE_01.PAV");
    const size_t reads = resolver.FolderReads();
    EXPECT_EQ(reads, 4u);  // the temporary folder, Data, Item, Avatar: one read each
    EXPECT_EQ(resolver.Resolve(dir / "DATA/ITEM/AVATAR/00_ABCDE_02.PAV"),
              dir / "Data/Item/Avatar/00_abcde_02.pav");
    EXPECT_EQ(resolver.FolderReads(), reads);  // all cached
    EXPECT_EQ(resolver.Resolve(dir / "data/item/avatar/"), dir / "Data/Item/Avatar/");

    // A missing name keeps its spelling, and reads nothing more.
    EXPECT_EQ(resolver.Resolve(dir / "data/item/avatar/なし_01.pav"), dir / "Data/Item/Avatar/なし_01.pav");
    EXPECT_EQ(resolver.Resolve(dir / "data/nothing/x.pav"), dir / "Data/nothing/x.pav");
    EXPECT_EQ(resolver.FolderReads(), reads + 1);  // "nothing" itself was listed once, empty

    // Listings are kept for the session: a file added later under another case is not seen...
    WriteText(dir / "Data/Item/Avatar/NEW.pav", "x");
    EXPECT_EQ(resolver.Resolve(dir / "data/item/avatar/new.pav"), dir / "Data/Item/Avatar/new.pav");
    // ... until the cache is cleared.
    resolver.Clear();
    EXPECT_EQ(resolver.Resolve(dir / "data/item/avatar/new.pav"), dir / "Data/Item/Avatar/NEW.pav");
}

TEST(PathResolver, AmbiguousSpellingsPickTheFirstInByteOrder) {
    TempFolder dir;
    WriteText(dir / "b.PDT", "1");
    WriteText(dir / "B.pdt", "2");
    TPathResolver resolver;
    EXPECT_EQ(resolver.Resolve(dir / "b.pdt"), dir / "B.pdt");
}

}  // namespace
}  // namespace wbx
