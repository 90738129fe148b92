#pragma once
// Writer of the compressed-file wrapper every layer file uses:
//
//   offset 0  int32  declared size: bytes of content once inflated
//   offset 4  uint32 a second value that readers skip
//   offset 8  ...    a zlib stream (RFC 1950) of the content
//
// Readers take exactly the declared number of inflated bytes. The options
// produce the odd files tests need: a declared size above what the stream
// holds (a damaged file: the read comes up short) or below it (the surplus
// inflated bytes are never read).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wbx::sampledata {

struct CompressedFileOptions {
    int64_t DeclaredSizeDelta = 0;        // added to the content size to form the declared size
    std::optional<uint32_t> SecondValue;  // default: the size of the zlib stream in bytes
    int Level = 6;                        // zlib compression level, 0 (stored) .. 9
};

// The whole file: header and zlib stream. Raises std::invalid_argument when the
// declared size does not fit a signed 32-bit value.
std::vector<uint8_t> EncodeCompressedFile(std::span<const uint8_t> content,
                                          const CompressedFileOptions& options = {});

// The zlib stream (header, deflate data, Adler-32) of data at the given level.
std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data, int level = 6);

}  // namespace wbx::sampledata
