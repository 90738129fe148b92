// The catalogue: the same files whatever the threads and however the work is
// split into shards, a second run keeps what is current and redoes what is
// not, a damaged file fails its entries only.
#include "viewer/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "exportfixture.h"
#include "viewer/cataloguemanifest.h"
#include "viewer/pngsummary.h"
#include "viewer/slotnames.h"

namespace wbx {
namespace {

using testing::ExportTest;

testing::Bytes ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return testing::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file below folder (relative name -> bytes), temporaries included.
std::map<std::string, testing::Bytes> Files(const std::string& folder) {
    std::map<std::string, testing::Bytes> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] =
                ReadBytes(entry.path().string());
    return files;
}

class Catalogue : public ExportTest {
protected:
    TCatalogueSettings Settings() {
        TCatalogueSettings settings;
        settings.Slots = {plUpper, plShoes};
        settings.Base = StartSelection();
        settings.Width = 64;
        settings.Height = 48;
        settings.ThumbnailWidth = 24;
        settings.ThumbnailHeight = 24;
        settings.Background = TBackground::Transparent;
        return settings;
    }
    TCatalogueOutcome Run(const std::string& folder, int32_t threads, int32_t shard = 1, int32_t shards = 1) {
        std::filesystem::create_directories(folder);
        TCatalogueRun run;
        run.Folder = folder;
        run.Threads = threads;
        run.Shard = shard;
        run.Shards = shards;
        run.Report = [this](const std::string& line) { reports.push_back(line); };
        return RunCatalogue(Settings(), run);
    }
    std::vector<std::string> reports;
};

TEST_F(Catalogue, SameBytesWhateverTheThreadsAndTheShards) {
    const TCatalogueOutcome one = Run(dir / "one", 1);
    ASSERT_EQ(one.Status, TCatalogueStatus::Done) << one.Message;
    const int64_t items = static_cast<int64_t>(CatalogueItems(Settings().Slots).size());
    EXPECT_EQ(one.Progress.Done, items);
    EXPECT_EQ(one.Progress.Rendered, items * 3);
    const auto single = Files(dir / "one");
    EXPECT_EQ(single.size(),
              static_cast<size_t>(items * 3 + 3));  // + manifest.csv, manifest.json, index.html
    EXPECT_TRUE(single.count("index.html"));

    EXPECT_EQ(Run(dir / "three", 3).Status, TCatalogueStatus::Done);
    EXPECT_EQ(Files(dir / "three"), single);

    // Three shards into one folder, merged: the single run's files.
    for (int32_t k : {3, 1, 2}) {
        const TCatalogueOutcome part = Run(dir / "shards", 2, k, 3);
        ASSERT_EQ(part.Status, TCatalogueStatus::Done) << part.Message;
        EXPECT_GT(part.Progress.Done, 0);
        EXPECT_FALSE(std::filesystem::exists(dir / "shards/manifest.csv"));
    }
    MergeShards(dir / "shards");
    EXPECT_EQ(Files(dir / "shards"), single);

    // The manifest names each picture with its size and checksum.
    std::ifstream csv(dir / "one/manifest.csv");
    std::string header, first;
    std::getline(csv, header);
    std::getline(csv, first);
    EXPECT_EQ(header, "slot,item,view,file,bytes,x,y,width,height,sha256,error");
    const std::string item = CatalogueItems({plUpper})[0].Item;
    EXPECT_EQ(first.rfind("upper," + item + ",front,upper/" + item + "-front.png," +
                              std::to_string(single.at("upper/" + item + "-front.png").size()) + ",",
                          0),
              0u)
        << first;
}

TEST_F(Catalogue, MergeRefusesAMissingShardAndReplacesNothing) {
    ASSERT_EQ(Run(dir / "c", 1, 1, 3).Status, TCatalogueStatus::Done);
    ASSERT_EQ(Run(dir / "c", 1, 3, 3).Status, TCatalogueStatus::Done);
    std::ofstream(dir / "c/manifest.csv") << "kept";
    try {
        MergeShards(dir / "c");
        FAIL() << "merged without shard 2";
    } catch (const Exception& error) {
        EXPECT_NE(error.Message().find("2-of-3"), std::string::npos) << error.Message();
    }
    EXPECT_EQ(ReadBytes(dir / "c/manifest.csv"), (testing::Bytes{'k', 'e', 'p', 't'}));
    // A shard file cut short is refused too.
    ASSERT_EQ(Run(dir / "c", 1, 2, 3).Status, TCatalogueStatus::Done);
    const std::string two = ShardFileName(dir / "c", 2, 3);
    testing::Bytes bytes = ReadBytes(two);
    bytes.resize(bytes.size() / 2);
    testing::WriteBytes(two, bytes);
    EXPECT_THROW(MergeShards(dir / "c"), Exception);
    EXPECT_EQ(ReadBytes(dir / "c/manifest.csv"), (testing::Bytes{'k', 'e', 'p', 't'}));
}

TEST_F(Catalogue, SecondRunKeepsCurrentPicturesAndRedoesTheRest) {
    ASSERT_EQ(Run(dir / "c", 2).Status, TCatalogueStatus::Done);
    const auto before = Files(dir / "c");
    const int64_t pictures = static_cast<int64_t>(before.size()) - 3;

    TCatalogueOutcome again = Run(dir / "c", 2);
    EXPECT_EQ(again.Progress.Kept, pictures);
    EXPECT_EQ(again.Progress.Rendered, 0);
    EXPECT_EQ(Files(dir / "c"), before);

    // A picture cut short, one removed, and a left-over temporary of a killed run.
    const std::string item = CatalogueItems({plShoes})[0].Item;
    const std::string cut = dir / ("c/shoes/" + item + "-back.png");
    std::filesystem::resize_file(cut, 100);
    std::filesystem::remove(dir / ("c/shoes/" + item + "-thumbnail.png"));
    std::ofstream(dir / ("c/shoes/." + item + "-front.png.all.part-abc123")) << "partial";
    again = Run(dir / "c", 1);
    EXPECT_EQ(again.Progress.Rendered, 2);
    EXPECT_EQ(again.Progress.Kept, pictures - 2);
    EXPECT_EQ(Files(dir / "c"), before);

    // A changed layer file redraws the pictures that show it, and only those.
    const std::vector<TCatalogueItem> uppers = CatalogueItems({plUpper});
    ASSERT_NE(uppers[1].Item, Settings().Base[plUpper]);
    const std::string upper = uppers[1].Item;
    std::filesystem::copy_file(LayerFileName(uppers[2].Item, 1), LayerFileName(upper, 1),
                               std::filesystem::copy_options::overwrite_existing);
    again = Run(dir / "c", 2);
    EXPECT_EQ(again.Progress.Rendered, 2);  // the front and the thumbnail; the back shows layer 2
    EXPECT_NE(ReadBytes(dir / ("c/upper/" + upper + "-front.png")),
              before.at("upper/" + upper + "-front.png"));
    EXPECT_EQ(ReadBytes(dir / ("c/upper/" + upper + "-back.png")), before.at("upper/" + upper + "-back.png"));
}

TEST_F(Catalogue, DamagedLayerFailsItsItemOnlyAndMissingModelStops) {
    const std::string item = CatalogueItems({plUpper})[1].Item;
    std::ofstream(LayerFileName(item, 1), std::ios::binary | std::ios::trunc) << "damaged";
    const TCatalogueOutcome outcome = Run(dir / "c", 2);
    EXPECT_EQ(outcome.Status, TCatalogueStatus::Failed);
    EXPECT_EQ(outcome.Progress.Failed, 3);
    EXPECT_EQ(outcome.Progress.Done, static_cast<int64_t>(CatalogueItems(Settings().Slots).size()));
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(reports[0].find(item), std::string::npos) << reports[0];
    EXPECT_FALSE(std::filesystem::exists(dir / ("c/upper/" + item + "-front.png")));
    // The manifest says which, and why.
    std::ifstream csv(dir / "c/manifest.csv");
    int failedLines = 0;
    for (std::string line; std::getline(csv, line);)
        failedLines += line.find("upper," + item + ",") == 0 && line.back() != ',';
    EXPECT_EQ(failedLines, 3);

    std::filesystem::remove(ModelFileName("type1"));
    const TCatalogueOutcome missing = Run(dir / "d", 1);
    EXPECT_EQ(missing.Status, TCatalogueStatus::MissingModel);
    EXPECT_FALSE(std::filesystem::exists(dir / "d/manifest.csv"));
}

TEST(CatalogueShards, PartsAreDisjointAndCoverEverything) {
    for (const int64_t count : {0, 1, 2, 7, 100})
        for (const int32_t shards : {1, 2, 3, 8}) {
            int64_t expected = 0;
            for (int32_t k = 1; k <= shards; ++k) {
                const auto [first, end] = ShardRange(count, k, shards);
                EXPECT_EQ(first, expected);
                EXPECT_LE(first, end);
                expected = end;
            }
            EXPECT_EQ(expected, count);
        }
}

TEST(ShardLine, RefusesWhatIsNotALineOfAShardFile) {
    for (const char* line :
         {"", "{", "[]", "{}", "null", "{\"slot\":\"hat\",\"item\":\"a\",\"view\":\"front\"}",
          "{\"slot\":\"upper\",\"item\":\"a\",\"view\":\"side\",\"file\":\"x\"}",
          "{\"slot\":\"upper\",\"item\":\"a\",\"view\":\"front\",\"file\":\"f\",\"bytes\":-1,"
          "\"bounds\":[0,0,1,1],\"sha256\":\"00\"}"})
        EXPECT_THROW(ParseShardLine(line), Exception) << line;
}

}  // namespace
}  // namespace wbx
