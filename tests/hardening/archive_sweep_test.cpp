// Archives damaged by one edit: every prefix (in memory and, for one archive,
// from disk through ReadArchiveFile), every value of every header and
// directory byte, and a sample of the packed data. Every lookup must return
// the entry's bytes - exactly, unless the edit touched that entry's own
// offset or sizes - or raise EVRAError or a stream error; memory stays within
// the expansion cap the lookups are given (a small one: a damaged table can
// nest pairs that double, and the reader's own cap is 1 GiB).

#include <gtest/gtest.h>

#include <optional>

#include "archive/archive.h"
#include "archive/vraformat.h"
#include "archivewriter.h"
#include "bytepairdecoder.h"
#include "hardeningfixture.h"
#include "heapmeter.h"
#include "samples.h"

namespace wbx::testing {
namespace {

struct LookUpResult {
    std::optional<Bytes> Entry;  // nothing when refused
    AllocationReport Allocations;
};

// The most an entry may expand to in the sweeps.
constexpr int64_t kSweepCap = 1 << 20;

LookUpResult LookUp(const Bytes& archive, const std::string& id) {
    TMemoryStream stream;
    stream.Bytes() = archive;
    LookUpResult result;
    result.Allocations = MeterAllocations([&] {
        try {
            std::unique_ptr<TMemoryStream> entry = ReadArchiveEntry(stream, id, kSweepCap);
            EXPECT_EQ(entry->Position(), 0);
            result.Entry = entry->Bytes();
        } catch (const EVRAError&) {
        } catch (const EStreamError&) {
        }
    });
    return result;
}

// The expanded contents of the sample archives' entries.
std::vector<Bytes> SampleEntries() {
    std::vector<Bytes> entries;
    for (const char* id : kSampleArchiveIds) entries.push_back(*LookUp(SampleArchive(false), id).Entry);
    return entries;
}

// A lookup asks for the entry (the cap at most) and a copy of the packed bytes.
size_t AllocationBound(size_t archiveSize) { return static_cast<size_t>(kSweepCap) + archiveSize + 4096; }

TEST(ArchiveSweep, EveryPrefixGivesTheEntryExactlyOrARefusal) {
    const std::vector<Bytes> entries = SampleEntries();
    for (bool packed : {false, true}) {
        const Bytes archive = SampleArchive(packed);
        for (size_t keep = 0; keep <= archive.size(); ++keep) {
            const Bytes prefix(archive.begin(), archive.begin() + keep);
            for (size_t i = 0; i < entries.size(); ++i) {
                const LookUpResult result = LookUp(prefix, kSampleArchiveIds[i]);
                if (result.Entry) {
                    EXPECT_EQ(*result.Entry, entries[i]) << packed << " prefix " << keep;
                }
                EXPECT_LE(result.Allocations.Largest, AllocationBound(keep)) << packed << " prefix " << keep;
            }
        }
        // The whole archive gives every entry.
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_TRUE(LookUp(archive, kSampleArchiveIds[i]).Entry);
        }
    }
}

TEST(ArchiveSweep, EveryPrefixOnDiskMatchesTheSameBytesInMemory) {
    TempFolder folder;
    const std::string name = folder.File("sample.vra");
    const Bytes archive = SampleArchive(true);
    for (size_t keep = 0; keep <= archive.size(); keep += 1) {
        const Bytes prefix(archive.begin(), archive.begin() + keep);
        WriteBytes(name, prefix);
        std::optional<Bytes> fromDisk;
        try {
            fromDisk = ReadArchiveFile(name, "body01")->Bytes();
        } catch (const EVRAError&) {
        } catch (const EStreamError&) {
        }
        EXPECT_EQ(fromDisk, LookUp(prefix, "body01").Entry) << keep;
    }
    EXPECT_THROW(ReadArchiveFile(folder.File("missing.vra"), "body01"), EStreamError);
}

TEST(ArchiveSweep, EveryValueOfEveryHeaderAndDirectoryByte) {
    const std::vector<Bytes> entries = SampleEntries();
    for (bool packed : {false, true}) {
        const Bytes archive = SampleArchive(packed);
        std::vector<size_t> offsets;
        for (size_t at = 0; at < 12; ++at) offsets.push_back(at);
        const size_t directoryEnd = kVRAHeaderSize + std::size(kSampleArchiveIds) * kVRAEntrySize;
        for (size_t at = kVRAHeaderSize; at < directoryEnd; ++at) {
            const size_t inEntry = (at - kVRAHeaderSize) % kVRAEntrySize;
            // Every byte of the numbers and of the IDs' first bytes; the rest of an ID field is zeros.
            if (inEntry < kVRAIdOffset + 8 || at % 37 == 0) offsets.push_back(at);
        }
        for (size_t at : offsets) {
            for (int value = 0; value < 256; ++value) {
                Bytes damaged = archive;
                damaged[at] = static_cast<uint8_t>(value);
                for (size_t i = 0; i < entries.size(); ++i) {
                    const LookUpResult result = LookUp(damaged, kSampleArchiveIds[i]);
                    const std::string what = std::string(packed ? "packed" : "stored") + ", byte " +
                                             std::to_string(at) + " = " + std::to_string(value) + ", entry " +
                                             std::to_string(i);
                    EXPECT_LE(result.Allocations.Largest, AllocationBound(archive.size())) << what;
                    if (!result.Entry) continue;
                    const size_t record = testing::ArchiveWriter::EntryRecord(i);
                    const bool ownNumbers = at >= record && at < record + kVRAIdOffset;
                    if (at < 4 || ownNumbers) {
                        // The packing flag or the entry's own offset and sizes: other
                        // bytes, as many as the directory says (a packed entry may
                        // expand to more).
                        uint32_t expanded = 0;
                        std::memcpy(&expanded, damaged.data() + record + 8, 4);
                        if (damaged[0] == kVRAPacked && damaged[1] == 0 && damaged[2] == 0 && damaged[3] == 0)
                            EXPECT_GE(result.Entry->size(), expanded) << what;
                        else
                            EXPECT_EQ(result.Entry->size(), expanded) << what;
                    } else {
                        EXPECT_EQ(*result.Entry, entries[i]) << what;
                    }
                }
            }
        }
    }
}

TEST(ArchiveSweep, DamagedPackedDataExpandsToTheDeclaredSizeOrIsRefused) {
    const Bytes archive = SampleArchive(true);
    const std::vector<Bytes> entries = SampleEntries();
    const size_t dataStart = kVRAHeaderSize + std::size(kSampleArchiveIds) * kVRAEntrySize;
    for (size_t at = dataStart; at < archive.size(); at += 2) {
        for (uint8_t value :
             {uint8_t(archive[at] ^ 0x01), uint8_t(archive[at] ^ 0x80), uint8_t(0x00), uint8_t(0xFF)}) {
            Bytes damaged = archive;
            damaged[at] = value;
            for (size_t i = 0; i < entries.size(); ++i) {
                const LookUpResult result = LookUp(damaged, kSampleArchiveIds[i]);
                const std::string what = "byte " + std::to_string(at) + " = " + std::to_string(value);
                if (result.Entry) {
                    EXPECT_GE(result.Entry->size(), entries[i].size()) << what;
                }
                EXPECT_LE(result.Allocations.Largest, AllocationBound(archive.size())) << what;
            }
        }
    }
}

}  // namespace
}  // namespace wbx::testing
