// What the archive reader costs: expanding packed entries, and finding an
// entry by ID in a large directory.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "archive/archive.h"
#include "archivewriter.h"
#include "base/format.h"
#include "bytepairdecoder.h"

namespace wbx {
namespace {

using testing::Bytes;

struct PackedInput {
    Bytes expanded;
    Bytes packed;
};

// About 1 MiB of packed data: text-like input encoded block by block until the
// packed bytes reach 1 MiB.
const PackedInput& OneMebibytePacked() {
    static const PackedInput input = [] {
        PackedInput result;
        const testing::EncoderOptions options;
        uint32_t seed = 1;
        while (result.packed.size() < (1u << 20)) {
            const Bytes chunk = testing::RepetitiveText(64 * 1024, seed++);
            const Bytes packed = testing::EncodeBytePairs(chunk, options);
            result.expanded.insert(result.expanded.end(), chunk.begin(), chunk.end());
            result.packed.insert(result.packed.end(), packed.begin(), packed.end());
        }
        return result;
    }();
    return input;
}

void BM_DecodeBytePairs(benchmark::State& state) {
    const PackedInput& input = OneMebibytePacked();
    TMemoryStream packed;
    packed.Bytes() = input.packed;
    const auto expandedSize = static_cast<int64_t>(input.expanded.size());
    for (auto _ : state) {
        packed.SetPosition(0);
        auto result = DecodeBytePairs(packed, expandedSize);
        benchmark::DoNotOptimize(result->Memory());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.packed.size()));
    state.counters["packed_bytes"] = static_cast<double>(input.packed.size());
    state.counters["expanded_bytes"] = static_cast<double>(expandedSize);
}
BENCHMARK(BM_DecodeBytePairs)->Unit(benchmark::kMillisecond);

// Ten thousand small stored entries; the lookups ask for the last ID in
// another letter case, so every directory entry is compared.
const Bytes& TenThousandEntries() {
    static const Bytes archive = [] {
        testing::ArchiveWriter writer(false);
        for (int i = 0; i < 10000; ++i) {
            writer.Add(Format("item/avatar/part_%.5d.bmp", i), testing::RandomBytes(64, i));
        }
        return writer.Build();
    }();
    return archive;
}

constexpr const char* kLastId = "ITEM/AVATAR/PART_09999.BMP";

void BM_ReadArchiveEntryLastOfTenThousand(benchmark::State& state) {
    TMemoryStream stream;
    stream.Bytes() = TenThousandEntries();
    for (auto _ : state) {
        stream.SetPosition(0);
        auto entry = ReadArchiveEntry(stream, kLastId);
        benchmark::DoNotOptimize(entry->Memory());
    }
}
BENCHMARK(BM_ReadArchiveEntryLastOfTenThousand)->Unit(benchmark::kMicrosecond);

// The same lookup through the file system, as texture loading does it (the
// file stays in the page cache, so this measures the calls, not the disk).
void BM_ReadArchiveFileLastOfTenThousand(benchmark::State& state) {
    const std::string fileName =
        (std::filesystem::temp_directory_path() / "wbx_bench_archive_10000.vra").string();
    TMemoryStream file;
    file.Bytes() = TenThousandEntries();
    file.SaveToFile(fileName);
    for (auto _ : state) {
        auto entry = ReadArchiveFile(fileName, kLastId);
        benchmark::DoNotOptimize(entry->Memory());
    }
    std::filesystem::remove(fileName);
}
BENCHMARK(BM_ReadArchiveFileLastOfTenThousand)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wbx
