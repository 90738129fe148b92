// Fuzz target for the lines of a catalogue's shard files, which the merge
// reads back: the bytes as one line. Checks: a line is either refused with
// an Exception or read into values in their ranges. A crash, a sanitizer
// report, another exception or a failed check is a finding.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/exception.h"
#include "viewer/cataloguemanifest.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    wbx::TShardLine parsed;
    try {
        parsed = wbx::ParseShardLine(line);
    } catch (const wbx::Exception&) {
        return 0;
    }
    if (parsed.IsHeader) {
        Check(parsed.Shard >= 1 && parsed.Shard <= parsed.Shards);
        Check(parsed.FirstJob >= 0 && parsed.FirstJob <= parsed.EndJob);
    } else {
        const wbx::TCatalogueEntry& e = parsed.Entry;
        Check(e.Bytes >= 0);
        Check(e.Error.empty() ? e.Sha256.size() == 64 : true);
    }
    return 0;
}
