// Fuzz target for the archive reader. The first byte chooses what the rest is:
//   odd:  a whole archive, looked up with a few IDs in memory, and once more
//         through ReadArchiveFile from a file on disk, which must give the
//         same answer (the same bytes, or a refusal of the same class);
//   even: two bytes of expanded size (little-endian; small sizes keep the
//         runs fast), then packed byte-pair data for DecodeBytePairs.
// Refusals are wbx::Exception; anything else (a crash, a sanitizer report, a
// foreign exception, a huge allocation) is a finding. Entries may expand to
// 4 MiB here (the reader's own cap is 1 GiB, which nested pairs that double
// reach from a few dozen bytes: such runs would take seconds each).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "bytepairdecoder.h"
#include "scratchfile.h"

namespace {

constexpr int64_t kCap = int64_t{4} << 20;

// The entry's bytes, or nothing when the reader refused; a refusal must be
// EVRAError or a stream error.
std::optional<std::vector<uint8_t>> Entry(auto&& read) {
    try {
        std::unique_ptr<wbx::TMemoryStream> entry = read();
        if (entry == nullptr || entry->Position() != 0) __builtin_trap();
        return entry->Bytes();
    } catch (const wbx::EVRAError&) {
    } catch (const wbx::EStreamError&) {
    }
    return std::nullopt;
}

void LookUp(const uint8_t* data, size_t size, const std::string& id, const std::string& fileName) {
    wbx::TMemoryStream stream;
    stream.Bytes().assign(data, data + size);
    const auto inMemory = Entry([&] { return wbx::ReadArchiveEntry(stream, id, kCap); });
    const auto onDisk = Entry([&] { return wbx::ReadArchiveFile(fileName, id, kCap); });
    if (inMemory != onDisk) __builtin_trap();
}

void Decode(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const int64_t expandedSize = data[0] | data[1] << 8;
    wbx::TMemoryStream packed;
    packed.Bytes().assign(data + 2, data + size);
    try {
        auto result = wbx::DecodeBytePairs(packed, expandedSize, kCap);
        if (result->Size() < expandedSize || result->Size() > kCap || result->Position() != 0)
            __builtin_trap();
        if (packed.Position() != packed.Size()) __builtin_trap();
    } catch (const wbx::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        static wbx::testing::ScratchFile file(".vra");
        file.Write(data + 1, size - 1);
        for (const char* id : {"body01", "TEX", "\xE3\x81\x82", "\x82\x60\x83\x61", ""})
            LookUp(data + 1, size - 1, id, file.Name());
    } else {
        Decode(data + 1, size - 1);
    }
    return 0;
}
