// The seed corpora of the layer, model, bitmap and settings fuzz targets
// (fuzz/corpus/<target>/) are made by samples.cpp from the sample-data
// writers. This test keeps the committed files equal to what they make, so a
// change of a writer cannot silently leave stale seeds behind; run it with
// WBX_UPDATE_FUZZ_SEEDS=1 to write them anew. It also keeps each corpus small.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "hardeningfixture.h"
#include "samples.h"

namespace wbx::testing {
namespace {

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzSeeds, CommittedSeedsMatchTheWritersAndStaySmall) {
    const bool update = std::getenv("WBX_UPDATE_FUZZ_SEEDS") != nullptr;
    for (const auto& [target, seeds] : FuzzSeeds()) {
        const std::filesystem::path folder = std::filesystem::path(WBX_FUZZ_CORPUS_DIR) / target;
        size_t total = 0;
        for (const auto& [name, seed] : seeds) {
            const std::filesystem::path file = folder / name;
            if (update) {
                std::filesystem::create_directories(folder);
                WriteBytes(file.string(), seed);
            }
            EXPECT_EQ(ReadAll(file), seed)
                << file << " differs from its writer (WBX_UPDATE_FUZZ_SEEDS=1 renews it)";
            total += seed.size();
        }
        EXPECT_LE(seeds.size(), 48u) << target;
        EXPECT_LE(total, size_t{1} << 20) << target;
    }
}

}  // namespace
}  // namespace wbx::testing
