// What the archive reader costs: expanding packed entries, and finding an
// entry by ID in a large directory.

#include <benchmark/benchmark.h>

#include <string>

#include "archive/archive.h"
#include "archive/byte_pair_decoder.h"
#include "base/format.h"
#include "vra_test_support.h"

namespace wbx {
namespace {

using vratest::Bytes;

struct PackedInput {
    Bytes expanded;
    Bytes packed;
};

// About 1 MiB of packed data: text-like input encoded block by block until the
// packed bytes reach 1 MiB.
const PackedInput& OneMebibytePacked() {
    static const PackedInput input = [] {
        PackedInput result;
        const vratest::EncoderOptions options;
        uint32_t seed = 1;
        while (result.packed.size() < (1u << 20)) {
            const Bytes chunk = vratest::RepetitiveText(64 * 1024, seed++);
            const Bytes packed = vratest::EncodeBytePairs(chunk, options);
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

// Ten thousand small stored entries; the lookup asks for the last ID in
// another letter case, so every directory entry is compared.
void BM_ReadArchiveEntryLastOfTenThousand(benchmark::State& state) {
    static const Bytes archive = [] {
        vratest::ArchiveWriter writer(false);
        for (int i = 0; i < 10000; ++i) {
            writer.Add(Format("item/avatar/part_%.5d.bmp", i), vratest::RandomBytes(64, i));
        }
        return writer.Build();
    }();
    TMemoryStream stream;
    stream.Bytes() = archive;
    for (auto _ : state) {
        stream.SetPosition(0);
        auto entry = ReadArchiveEntry(stream, "ITEM/AVATAR/PART_09999.BMP");
        benchmark::DoNotOptimize(entry->Memory());
    }
}
BENCHMARK(BM_ReadArchiveEntryLastOfTenThousand)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace wbx
