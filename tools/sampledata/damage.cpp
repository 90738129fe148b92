#include "sampledata/damage.h"

#include <algorithm>
#include <stdexcept>

namespace wbx::sampledata {
namespace {
constexpr size_t kStreamOffset = 8;  // the zlib stream follows the two 32-bit wrapper values
}

std::vector<uint8_t> TruncatedCopy(std::span<const uint8_t> bytes, size_t keep) {
    keep = std::min(keep, bytes.size());
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
}

std::vector<uint8_t> WithBrokenZlibHeader(std::span<const uint8_t> compressedFile) {
    if (compressedFile.size() < kStreamOffset + 2) throw std::invalid_argument("no zlib header to break");
    std::vector<uint8_t> out(compressedFile.begin(), compressedFile.end());
    // (CMF * 256 + FLG) must be a multiple of 31; changing FLG by one breaks that.
    out[kStreamOffset + 1] ^= 0x01;
    return out;
}

std::vector<uint8_t> WithInvalidDeflateData(std::span<const uint8_t> compressedFile) {
    if (compressedFile.size() < kStreamOffset + 3) throw std::invalid_argument("no deflate data to replace");
    std::vector<uint8_t> out(compressedFile.begin(), compressedFile.end());
    // A final block (bit 0) of type 3 (bits 1-2), which RFC 1951 reserves as an error.
    std::fill(out.begin() + kStreamOffset + 2, out.end(), uint8_t{0x07});
    return out;
}

}  // namespace wbx::sampledata
