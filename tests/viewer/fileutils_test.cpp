// The part-file catalogue: masks, enumeration order, items.
#include "viewer/fileutils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <random>

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

TEST(MatchesMask, AnyMaskAgreesWithMatchingCharacterByCharacter) {
    // Random masks of literals, '*' and '?' against random names, each
    // against a plain recursive reading of the rules on whole characters:
    // '*' any run, '?' one character or none before a '.' or the end, a
    // '.' before '*' or '?' also matching the end of the name.
    const std::vector<std::string> characters = {"a", "A", "b", ".", "_", "\xC3\xA9", "\xA9", "\xC3"};
    const std::function<bool(const std::vector<std::string>&, size_t, const std::vector<std::string>&,
                             size_t)>
        reference = [&](const std::vector<std::string>& name, size_t i, const std::vector<std::string>& mask,
                        size_t j) -> bool {
        const auto fold = [](std::string c) {
            if (c.size() == 1) c[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(c[0])));
            return c;
        };
        if (j == mask.size()) return i == name.size();
        const bool nextIsWild = j + 1 < mask.size() && (mask[j + 1] == "*" || mask[j + 1] == "?");
        if (mask[j] == "*")
            return reference(name, i, mask, j + 1) || (i < name.size() && reference(name, i + 1, mask, j));
        if (mask[j] == "?")
            return (i < name.size() && reference(name, i + 1, mask, j + 1)) ||
                   ((i == name.size() || name[i] == ".") && reference(name, i, mask, j + 1));
        if (mask[j] == "." && nextIsWild && i == name.size()) return reference(name, i, mask, j + 1);
        return i < name.size() && fold(name[i]) == fold(mask[j]) && reference(name, i + 1, mask, j + 1);
    };
    // A character: a lead byte with every continuation byte after it, or any other byte alone.
    const auto split = [](const std::string& text) {
        std::vector<std::string> result;
        for (size_t i = 0; i < text.size();) {
            size_t length = 1;
            if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0xC0)
                while (i + length < text.size() &&
                       (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
                    ++length;
            result.push_back(text.substr(i, length));
            i += length;
        }
        return result;
    };
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string nameText, maskText;
        for (size_t k = random() % 7; k > 0; --k) nameText += characters[random() % characters.size()];
        const bool wild = round % 2 == 0;  // half the masks without '?'
        for (size_t k = random() % 6; k > 0; --k) {
            const size_t pick = random() % (characters.size() + (wild ? 3 : 2));
            maskText += pick < characters.size()        ? characters[pick]
                        : pick == characters.size() + 2 ? "?"
                                                        : "*";
        }
        if (maskText == "*.*") continue;  // every name, as Windows has it
        ASSERT_EQ(MatchesMask(nameText, maskText), reference(split(nameText), 0, split(maskText), 0))
            << nameText << " " << maskText;
    }
}

TEST(WindowsNameLess, OrdersByUpperCasedSpellingThenBySpelling) {
    // The order the lists have always had: the upper-cased names compared as
    // unsigned bytes (so '_' after the letters, UTF-8 after ASCII, digits as
    // text: "10" before "9"), a name before its longer continuations, and
    // names the same but for case in byte order (upper case first).
    const std::pair<const char*, const char*> ordered[] = {
        {"01_10", "01_9"}, {"10", "9"},         {"", "0"},         {"A", "a"},       {"a", "B"},
        {"Ab", "a_"},      {"aB", "ab"},        {"ab", "abc"},     {"z", "["},       {"_", "`"},
        {"a", "`"},        {"`", "{"},          {"z", "\xC3\x84"}, {"\x7F", "\xC3"}, {"\xC3\x84", "\xC3\xA4"},
        {"AB1", "ab1"},    {"01__zzzz", "01_`"}};
    for (const auto& [less, more] : ordered) {
        EXPECT_TRUE(WindowsNameLess(less, more)) << less << " " << more;
        EXPECT_FALSE(WindowsNameLess(more, less)) << less << " " << more;
        EXPECT_FALSE(WindowsNameLess(less, less)) << less;
    }
    // Against the rule spelled out with whole strings, on random names of
    // the characters that decide it.
    const auto reference = [](const std::string& a, const std::string& b) {
        std::string ua = a, ub = b;
        for (char& c : ua) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : ub) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return ua != ub ? ua < ub : a < b;
    };
    std::mt19937 random(7);
    const std::string alphabet = "aAzZ_09[`.\x80\xC3";
    std::vector<std::string> names(400);
    for (std::string& name : names)
        for (size_t n = random() % 6; n > 0; --n) name += alphabet[random() % alphabet.size()];
    for (const std::string& a : names)
        for (const std::string& b : names) ASSERT_EQ(WindowsNameLess(a, b), reference(a, b)) << a << " " << b;
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

TEST_F(EnumerateFilesTest, SeveralMasksGiveWhatEachGivesAlone) {
    for (const char* name : {"01_bbbbb_01.pav", "01_AAAAA_01.pav", "02_11111_01.pav", "02_11111_02.PAV",
                             "sub/02_33333_01.pav", "02_22222_01.pav", "01_x_02.pav"})
        Touch(name);
    std::filesystem::create_directories(dir / "02_folder_01.pav");
    const std::vector<std::string> masks = {"01_*_01.pav", "02_*_01.pav", "09_*.pav", "sub/02_*",
                                            "02_*_0?.pav"};
    std::vector<TStringList> lists(1, TStringList{"なし"});
    EXPECT_TRUE(EnumerateFilesForMasks(dir.Path(), masks, lists, AddFilePrefix));
    ASSERT_EQ(lists.size(), masks.size());
    for (size_t m = 0; m < masks.size(); ++m) {
        TStringList alone = m == 0 ? TStringList{"なし"} : TStringList{};
        EnumerateFiles(dir.Path(), masks[m], alone, AddFilePrefix);
        EXPECT_EQ(lists[m], alone) << masks[m];
    }
    EXPECT_EQ(lists[1], (TStringList{"02_11111", "02_22222"}));
    EXPECT_EQ(lists[3], (TStringList{"02_33333"}));
    EXPECT_TRUE(lists[2].empty());
    std::vector<TStringList> none;
    EXPECT_FALSE(EnumerateFilesForMasks(dir.Path(), {"09_*"}, none, AddFilePrefix));
    EXPECT_FALSE(EnumerateFilesForMasks(dir / "missing/", masks, none, AddFilePrefix));
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
