// The part-file catalogue: masks, enumeration order, items.
#include "viewer/fileutils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tempfolder.h"

namespace wbx {
namespace {

using testing::TempFolder;
using testing::WriteText;

TEST(MatchesMask, WindowsWildcardsCaseInsensitively) {
    EXPECT_TRUE(MatchesMask("00_12345_02.pav", "00_*_02.pav"));
    EXPECT_TRUE(MatchesMask("00_ABCDE_02.PAV", "00_*_02.pav"));
    EXPECT_TRUE(MatchesMask("00__02.pav", "00_*_02.pav"));  // '*' may match nothing
    EXPECT_TRUE(MatchesMask("00_a_b_02.pav", "00_*_02.pav"));
    EXPECT_FALSE(MatchesMask("00_12345_01.pav", "00_*_02.pav"));
    EXPECT_FALSE(MatchesMask("00_12345_02.pav.bak", "00_*_02.pav"));
    EXPECT_FALSE(MatchesMask("x00_12345_02.pav", "00_*_02.pav"));
    EXPECT_TRUE(MatchesMask("abc", "a?c"));
    EXPECT_FALSE(MatchesMask("abbc", "a?c"));
    EXPECT_TRUE(MatchesMask("a", "a?"));          // '?' at the end may match nothing
    EXPECT_TRUE(MatchesMask("a.txt", "a?.txt"));  // ... and before a '.'
    EXPECT_TRUE(MatchesMask("noext", "*.*"));
    EXPECT_TRUE(MatchesMask("readme", "readme.*"));
    EXPECT_TRUE(MatchesMask("名前_01.pav", "??_01.pav"));  // '?' is one character, not one byte
    EXPECT_FALSE(MatchesMask("名_01.pav", "???_01.pav.x"));
    EXPECT_TRUE(MatchesMask("ÄB", "Äb"));  // only ASCII letters fold
    EXPECT_FALSE(MatchesMask("äb", "Äb"));
}

TEST(AddFilePrefix, TakesTheFirstEightCharacters) {
    TStringList list;
    AddFilePrefix("01_12345_07.pav", list);
    AddFilePrefix("02_123456_01.pav", list);  // a longer identifier gives a prefix naming no file
    AddFilePrefix("short", list);
    AddFilePrefix("01_あいうえお_01.pav", list);  // characters, never a cut UTF-8 sequence
    EXPECT_EQ(list, (TStringList{"01_12345", "02_12345", "short", "01_あいうえお"}));
}

class EnumerateFilesTest : public ::testing::Test {
protected:
    void Touch(const std::string& name) { WriteText(dir / name, "x"); }
    TempFolder dir;
};

TEST_F(EnumerateFilesTest, ListsMatchingFilesOnlySortedByUpperCasedName) {
    for (const char* name :
         {"01_bbbbb_01.pav", "01_AAAAA_01.pav", "01_aaaab_01.pav", "01_22222_01.PAV", "01_11111_01.pav",
          ".01_hidden_01.pav", "01__zzzz_01.pav", "01_ccccc_02.pav", "02_11111_01.pav"})
        Touch(name);
    std::filesystem::create_directories(dir / "01_ddddd_01.pav");  // a folder is not listed
    ::symlink((dir / "01_ddddd_01.pav").c_str(), (dir / "01_eeeee_01.pav").c_str());  // nor a link to one

    TStringList list{"なし"};
    EXPECT_TRUE(EnumerateFiles(dir.Path(), "01_*_01.pav", list, AddFilePrefix));
    // Upper-cased order: digits < letters < '_' (so "01__zzzz" sorts after the letters).
    EXPECT_EQ(list,
              (TStringList{"なし", "01_11111", "01_22222", "01_AAAAA", "01_aaaab", "01_bbbbb", "01__zzzz"}));

    TStringList hidden;
    EXPECT_TRUE(EnumerateFiles(dir.Path(), ".01_*", hidden, AddFilePrefix));
    EXPECT_EQ(hidden, (TStringList{".01_hidd"}));
}

TEST_F(EnumerateFilesTest, ResultTellsWhetherTheListGrew) {
    Touch("03_11111_01.pav");
    TStringList list;
    EXPECT_FALSE(EnumerateFiles(dir.Path(), "03_*_01.pav", list, nullptr));  // no callback: nothing added
    EXPECT_FALSE(EnumerateFiles(dir.Path(), "09_*_01.pav", list, AddFilePrefix));
    EXPECT_FALSE(EnumerateFiles(dir / "missing/", "03_*_01.pav", list, AddFilePrefix));
    EXPECT_TRUE(list.empty());
    // Duplicates are kept: two files sharing their first eight characters give two items.
    Touch("03_11111_01.pav.pav");
    Touch("03_11111x_01.pav");
    EXPECT_TRUE(EnumerateFiles(dir.Path(), "03_*_01.pav", list, AddFilePrefix));
    EXPECT_EQ(list, (TStringList{"03_11111", "03_11111"}));
}

TEST_F(EnumerateFilesTest, CallbackExceptionsLeaveTheEnumeration) {
    Touch("04_11111_01.pav");
    TStringList list;
    EXPECT_THROW(EnumerateFiles(dir.Path(), "04_*_01.pav", list,
                                [](const std::string&, TStringList&) { throw std::runtime_error("boom"); }),
                 std::runtime_error);
}

}  // namespace
}  // namespace wbx
