// Fuzz target for the archive reader. The first byte chooses what the rest is:
//   odd:  a whole archive, looked up with a few IDs;
//   even: two bytes of expanded size (little-endian; small sizes keep the
//         runs fast), then packed byte-pair data for DecodeBytePairs.
// Refusals are wbx::Exception; anything else (a crash, a sanitizer report, a
// foreign exception, a huge allocation) is a finding.

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/archive.h"
#include "archive/byte_pair_decoder.h"

namespace {

void LookUp(const uint8_t* data, size_t size, const std::string& id) {
    wbx::TMemoryStream stream;
    stream.Bytes().assign(data, data + size);
    try {
        auto entry = wbx::ReadArchiveEntry(stream, id);
        if (entry->Position() != 0) __builtin_trap();
    } catch (const wbx::Exception&) {
    }
}

void Decode(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const int64_t expandedSize = data[0] | data[1] << 8;
    wbx::TMemoryStream packed;
    packed.Bytes().assign(data + 2, data + size);
    try {
        auto result = wbx::DecodeBytePairs(packed, expandedSize);
        if (result->Size() != expandedSize || result->Position() != 0) __builtin_trap();
        if (packed.Position() != packed.Size()) __builtin_trap();
    } catch (const wbx::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        for (const char* id : {"body01", "TEX", "\xE3\x81\x82", ""}) LookUp(data + 1, size - 1, id);
    } else {
        Decode(data + 1, size - 1);
    }
    return 0;
}
