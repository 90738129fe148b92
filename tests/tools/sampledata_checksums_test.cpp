// The content of the default-seed data folder, file by file: a change of any
// painter, writer or figure shows up here, even one the other tests of the
// generator let through (texels painted outside a garment, a layer shifted).
//
// After an intended change, make the list anew (from the project root, once
// the generator is built) and look at the new images before committing it:
//
//   rm -rf /tmp/sd && build/tools/wardrobix-sample-data /tmp/sd &&
//     (cd /tmp/sd && find . -type f | LC_ALL=C sort | xargs cksum) > tests/tools/sampledata.cksum
//
// The checksums are those of POSIX cksum (CRC-32 over the bytes and the length).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "formatreaders.h"
#include "generatedfolder.h"

namespace wbx::testing {
namespace {

// POSIX cksum: CRC-32 (polynomial 04C11DB7, most significant bit first) of
// the bytes followed by their count, least significant byte first, complemented.
uint32_t Cksum(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0;
    const auto feed = [&crc](uint8_t byte) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    };
    for (const uint8_t byte : bytes) feed(byte);
    for (uint64_t count = bytes.size(); count != 0; count >>= 8) feed(static_cast<uint8_t>(count));
    return ~crc;
}

struct TEntry {
    uint32_t Crc = 0;
    uint64_t Size = 0;
    bool operator==(const TEntry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TEntry& entry) {
    return out << entry.Crc << " " << entry.Size;
}

TEST(SampleData, ChecksumsOfTheDefaultSeedFolder) {
    EXPECT_EQ(Cksum({'a', 'b', 'c', '\n'}), 1112837078u);  // cksum's own answer for "abc\n"

    std::map<std::string, TEntry> listed;
    std::ifstream list(std::string(WBX_TEST_SOURCE_DIR) + "/sampledata.cksum");
    ASSERT_TRUE(list) << "tests/tools/sampledata.cksum is missing";
    for (std::string line; std::getline(list, line);) {
        std::istringstream fields(line);
        TEntry entry;
        std::string path;
        ASSERT_TRUE(fields >> entry.Crc >> entry.Size >> path) << line;
        listed[path.substr(2)] = entry;  // without "./"
    }

    std::map<std::string, TEntry> made;
    const std::filesystem::path root = GeneratedFolder();
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
        if (!file.is_regular_file()) continue;
        const std::vector<uint8_t> bytes = ReadFileBytes(file.path().string());
        made[std::filesystem::relative(file.path(), root).generic_string()] =
            TEntry{Cksum(bytes), bytes.size()};
    }
    EXPECT_EQ(made.size(), listed.size());
    for (const auto& [path, entry] : listed) {
        const auto found = made.find(path);
        if (found == made.end()) {
            ADD_FAILURE() << path << " is no longer made";
            continue;
        }
        EXPECT_EQ(found->second, entry) << path;
    }
    for (const auto& [path, entry] : made)
        EXPECT_TRUE(listed.count(path)) << path << " is made but not listed";
}

}  // namespace
}  // namespace wbx::testing
