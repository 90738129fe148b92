// Fuzz target for the runs-of-zeros compressor of the PNG writer, which
// writes its codes into buffers it sizes itself. The bytes are stretched into
// mostly-zero data as a picture's filtered rows are (a byte below 64 stands
// for that many times 37 zeros, any other for itself) and compressed twice:
// with buffers kept from the inputs before and with fresh ones. Checks: the
// same stream both times, and zlib inflates it to the data exactly. A crash,
// a sanitizer report or a failed check is a finding.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "viewer/zerorundeflate.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stretched;
    for (size_t i = 0; i < size && stretched.size() < (size_t{1} << 20); ++i) {
        if (data[i] < 64)
            stretched.insert(stretched.end(), size_t{data[i]} * 37, 0);
        else
            stretched.push_back(data[i]);
    }
    static wbx::TZeroRunBuffers kept;  // grown by the inputs before
    std::vector<uint8_t> stream, fresh;
    wbx::ZlibCompressZeroRuns(stretched.data(), stretched.size(), stream, kept);
    wbx::ZlibCompressZeroRuns(stretched.data(), stretched.size(), fresh);
    Check(stream == fresh);
    std::vector<uint8_t> inflated(stretched.size() + 1);
    uLongf length = static_cast<uLongf>(inflated.size());
    Check(uncompress(inflated.data(), &length, stream.data(), static_cast<uLong>(stream.size())) == Z_OK);
    Check(length == stretched.size());
    inflated.resize(length);
    Check(inflated == stretched);
    return 0;
}
