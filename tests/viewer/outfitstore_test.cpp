// Named outfits in their file: saving, renaming and removing write the file
// at once and atomically; what the viewer cannot read is kept, never lost;
// changes made by another viewer meanwhile survive.
#include "viewer/outfitstore.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tempfolder.h"
#include "viewer/settingsfile.h"
#include "viewer/sharecode.h"

namespace wbx {
namespace {

using testing::ReadText;
using testing::TempFolder;
using testing::WriteText;

TOutfit Wearing(const char* upper, const char* bodyType = "type1") {
    TOutfit outfit;
    outfit.BodyType = bodyType;
    outfit.Items[plUpper] = upper;
    return outfit;
}

std::vector<std::string> Names(const TOutfitStore& store) {
    std::vector<std::string> names;
    for (const TNamedOutfit& outfit : store.Outfits()) names.push_back(outfit.Name);
    return names;
}

TEST(OutfitStore, SaveRenameRemoveWriteTheFileAndReadBack) {
    TempFolder dir;
    const std::string file = dir / "config/wardrobix/outfits.txt";
    TOutfitStore store(file);
    EXPECT_TRUE(store.Outfits().empty());
    EXPECT_TRUE(store.Problems().empty());
    EXPECT_FALSE(store.ReadOnly());
    EXPECT_FALSE(std::filesystem::exists(file));  // reading makes nothing

    store.Save("Summer", Wearing("02_11111"));
    store.Save("Winter coat", Wearing("02_22222", "type2"));
    store.Save("日本語の名前", Wearing("02_33333"));
    EXPECT_EQ(Names(store), (std::vector<std::string>{"Summer", "Winter coat", "日本語の名前"}));
    const std::string text = ReadText(file);
    EXPECT_EQ(text.rfind("# ", 0), 0u) << text;  // a new file explains itself
    EXPECT_NE(text.find(EncodeShareCode(Wearing("02_22222", "type2")) + " Winter coat\n"), std::string::npos);

    // Saving under a used name replaces that outfit in its place.
    store.Save("Summer", Wearing("02_44444"));
    EXPECT_EQ(Names(store), (std::vector<std::string>{"Summer", "Winter coat", "日本語の名前"}));
    EXPECT_EQ(store.Find("Summer"), Wearing("02_44444"));
    EXPECT_EQ(store.Find("summer"), std::nullopt);  // names are exact

    store.Rename("Winter coat", "Winter");
    store.Remove("Summer");
    const TOutfitStore reread(file);
    EXPECT_EQ(Names(reread), (std::vector<std::string>{"Winter", "日本語の名前"}));
    EXPECT_EQ(reread.Find("Winter"), Wearing("02_22222", "type2"));
    EXPECT_TRUE(reread.Problems().empty());
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "config/wardrobix"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(OutfitStore, BadNamesAndMissingOutfitsAreRefusedAndChangeNothing) {
    TempFolder dir;
    const std::string file = dir / "outfits.txt";
    TOutfitStore store(file);
    store.Save("One", Wearing("02_11111"));
    store.Save("Two", Wearing("02_22222"));
    const std::string before = ReadText(file);

    for (const std::string& bad :
         {std::string(), std::string(" lead"), std::string("trail "), std::string("line\nbreak"),
          std::string("tab\there"), std::string("\xFF\xFE"), std::string(kOutfitNameMaxBytes + 1, 'n')})
        EXPECT_THROW(store.Save(bad, Wearing("02_33333")), EOutfitStoreError) << bad;
    EXPECT_THROW(store.Rename("One", "Two"), EOutfitStoreError);
    EXPECT_THROW(store.Rename("Three", "Four"), EOutfitStoreError);
    EXPECT_THROW(store.Rename("One", ""), EOutfitStoreError);
    EXPECT_THROW(store.Remove("Three"), EOutfitStoreError);
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(Names(store), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(OutfitNameProblem("Party \xE2\x80\x94 late"), "");
    EXPECT_EQ(OutfitNameProblem("\xED\xA0\x80"), "is not UTF-8 text");  // a surrogate
    EXPECT_EQ(OutfitNameProblem("\xC0\xAF"), "is not UTF-8 text");      // an overlong form
}

TEST(OutfitStore, LinesThatCannotBeReadAreReportedAndKept) {
    TempFolder dir;
    const std::string file = dir / "outfits.txt";
    const std::string good = EncodeShareCode(Wearing("02_11111"));
    const std::string text =
        "# my outfits\r\n"
        "\r\n" +
        good + " Kept\r\n" +                             // line 3
        "wbx1:type1,,,05_12345,,,,,,, Wrong slot\r\n" +  // line 4
        good + "\r\n" +                                  // line 5: no name
        good + " Kept\r\n" +                             // line 6: the name again
        "wbx9:future outfit\r\n" +                       // line 7
        good + " bad \x01 name";                         // line 8, no final break
    WriteText(file, text);
    TOutfitStore store(file);
    EXPECT_EQ(Names(store), std::vector<std::string>{"Kept"});
    ASSERT_EQ(store.Problems().size(), 5u);
    EXPECT_EQ(store.Problems()[0].rfind("line 4: ", 0), 0u) << store.Problems()[0];
    EXPECT_NE(store.Problems()[0].find("upper item"), std::string::npos) << store.Problems()[0];
    EXPECT_EQ(store.Problems()[1].rfind("line 5: ", 0), 0u);
    EXPECT_NE(store.Problems()[2].find("stored above"), std::string::npos);
    EXPECT_EQ(store.Problems()[3].rfind("line 7: ", 0), 0u);
    EXPECT_NE(store.Problems()[4].find("control character"), std::string::npos);

    // A change writes every kept line back as it was.
    store.Save("New", Wearing("02_22222"));
    const std::string written = ReadText(file);
    for (const char* kept : {"# my outfits\n\n", "wbx1:type1,,,05_12345,,,,,,, Wrong slot\n",
                             "wbx9:future outfit\n", " bad \x01 name\n"})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << "\n" << written;
    EXPECT_EQ(TOutfitStore(file).Problems().size(), 5u);
    EXPECT_EQ(Names(TOutfitStore(file)), (std::vector<std::string>{"Kept", "New"}));
}

TEST(OutfitStore, AChangeKeepsWhatAnotherViewerWroteMeanwhile) {
    TempFolder dir;
    const std::string file = dir / "outfits.txt";
    TOutfitStore first(file);
    TOutfitStore second(file);
    first.Save("From the first", Wearing("02_11111"));
    second.Save("From the second", Wearing("02_22222"));
    first.Remove("From the first");
    EXPECT_EQ(Names(TOutfitStore(file)), std::vector<std::string>{"From the second"});
}

TEST(OutfitStore, AFileThatCannotBeReadIsLeftAloneAndAFailedWriteLosesNothing) {
    TempFolder dir;
    // Too large to be an outfits file: read only, and never rewritten.
    const std::string large = dir / "large.txt";
    WriteText(large, std::string(kOutfitFileMaxBytes + 1, '#'));
    TOutfitStore tooLarge(large);
    EXPECT_TRUE(tooLarge.ReadOnly());
    ASSERT_EQ(tooLarge.Problems().size(), 1u);
    EXPECT_NE(tooLarge.Problems()[0].find("larger than"), std::string::npos);
    EXPECT_THROW(tooLarge.Save("x", Wearing("02_11111")), EOutfitStoreError);
    EXPECT_EQ(std::filesystem::file_size(large), kOutfitFileMaxBytes + 1);

    // A folder where the file should be.
    std::filesystem::create_directories(dir / "folder.txt");
    TOutfitStore folder(dir / "folder.txt");
    EXPECT_TRUE(folder.ReadOnly());
    EXPECT_THROW(folder.Save("x", Wearing("02_11111")), EOutfitStoreError);

    // The file's folder cannot be made (a file is in its way): the write fails
    // with a message and the store still shows what is on disk.
    WriteText(dir / "blocker", "");
    TOutfitStore blocked(dir / "blocker/outfits.txt");
    try {
        blocked.Save("x", Wearing("02_11111"));
        ADD_FAILURE() << "the write cannot have succeeded";
    } catch (const EOutfitStoreError& error) {
        EXPECT_NE(std::string(error.what()).find("Cannot write the outfits file"), std::string::npos);
    }
    EXPECT_TRUE(blocked.Outfits().empty());
}

TEST(OutfitStore, TheFileLivesInTheUsersConfigurationFolder) {
    EXPECT_EQ(ConfigFolderFor("/cfg", "/home/u"), "/cfg/wardrobix/");
    EXPECT_EQ(ConfigFolderFor("", "/home/u"), "/home/u/.config/wardrobix/");
    EXPECT_EQ(ConfigFolderFor("relative", "/home/u"), "/home/u/.config/wardrobix/");
}

}  // namespace
}  // namespace wbx
