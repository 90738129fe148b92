// The archive fuzz target's seed corpus (fuzz/corpus/archive/) is made by the
// encoder and writer of archivewriter.h. This test keeps the committed
// files equal to what they make; run it with WBX_UPDATE_FUZZ_SEEDS=1 to write
// them anew after changing the generator.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "archive/archive.h"
#include "archivewriter.h"
#include "base/filestream.h"
#include "bytepairdecoder.h"

namespace wbx {
namespace {

using testing::Bytes;

// Input layout of the fuzz target: an odd first byte, then an archive; or an
// even one, then a 16-bit expanded size and packed data.
Bytes ArchiveSeed(const Bytes& archive) {
    Bytes seed = {1};
    seed.insert(seed.end(), archive.begin(), archive.end());
    return seed;
}

Bytes DecodeSeed(const Bytes& expanded, const testing::EncoderOptions& options) {
    Bytes seed = {0};
    for (int i = 0; i < 2; ++i) seed.push_back(static_cast<uint8_t>(expanded.size() >> (8 * i)));
    const Bytes packed = testing::EncodeBytePairs(expanded, options);
    seed.insert(seed.end(), packed.begin(), packed.end());
    return seed;
}

Bytes SeedArchive(bool packed) {
    testing::ArchiveWriter writer(packed, {.blockSize = 300});
    writer.Add("Body01", testing::RepetitiveText(700, 5));
    writer.Add("tex", testing::RandomBytes(60, 3));
    writer.Add("\xE3\x81\x82", Bytes(200, 'A'));
    return writer.Build();
}

std::map<std::string, Bytes> Seeds() {
    return {
        {"archive_packed", ArchiveSeed(SeedArchive(true))},
        {"archive_stored", ArchiveSeed(SeedArchive(false))},
        {"decode_text", DecodeSeed(testing::RepetitiveText(900, 2), {.blockSize = 250})},
        {"decode_run", DecodeSeed(Bytes(600, 0), {.blockSize = 600})},
        {"decode_explicit", DecodeSeed(testing::RepetitiveText(300, 4), {.useSkips = false})},
    };
}

TEST(FuzzSeeds, CommittedSeedsMatchTheGeneratorAndAreValid) {
    const std::string dir = std::string(WBX_TEST_SOURCE_DIR) + "/../../fuzz/corpus/archive/";
    const bool update = std::getenv("WBX_UPDATE_FUZZ_SEEDS") != nullptr;
    for (const auto& [name, seed] : Seeds()) {
        TMemoryStream file;
        if (update) {
            file.Bytes() = seed;
            file.SaveToFile(dir + name);
        }
        file.LoadFromFile(dir + name);
        EXPECT_EQ(file.Bytes(), seed) << name;
    }
    // The seeds are well-formed, so the fuzzer starts from inputs that reach
    // the end of every path.
    for (bool packed : {false, true}) {
        TMemoryStream archive;
        archive.Bytes() = SeedArchive(packed);
        EXPECT_EQ(ReadArchiveEntry(archive, "body01")->Bytes(), testing::RepetitiveText(700, 5));
    }
    const Bytes decodeSeed = Seeds()["decode_run"];
    TMemoryStream packed;
    packed.Bytes().assign(decodeSeed.begin() + 3, decodeSeed.end());
    EXPECT_EQ(DecodeBytePairs(packed, 600)->Bytes(), Bytes(600, 0));
}

}  // namespace
}  // namespace wbx
