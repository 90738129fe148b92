#pragma once
// Damaged variants of well-formed files, for the bad-input tests of every
// reader. Each returns a changed copy; the input is left alone.

#include <cstdint>
#include <span>
#include <vector>

namespace wbx::sampledata {

// The first keep bytes (all of them when keep exceeds the size).
std::vector<uint8_t> TruncatedCopy(std::span<const uint8_t> bytes, size_t keep);

// A compressed file (wrapper header at 0..7, zlib stream from 8) whose zlib
// header fails its check bits, so inflating fails at once. Raises
// std::invalid_argument when the bytes are too short to hold a zlib header.
std::vector<uint8_t> WithBrokenZlibHeader(std::span<const uint8_t> compressedFile);

// A compressed file whose zlib stream after the two-byte header is replaced by
// bytes that are not valid deflate data (a reserved block type).
std::vector<uint8_t> WithInvalidDeflateData(std::span<const uint8_t> compressedFile);

}  // namespace wbx::sampledata
