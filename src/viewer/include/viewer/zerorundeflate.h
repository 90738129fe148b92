#pragma once
// A zlib stream for data that is mostly zero bytes, as the filtered rows of a
// picture on an empty background are: every run of zeros is a run of
// distance-1 copies, every other byte a literal, all in one block with
// Huffman codes fitted to the data. It takes a fraction of a general
// compressor's time on such data and comes close to its size; on data with
// few zeros it is much larger, so callers choose it by the share of zeros.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace wbx {

// The zlib stream (header, one deflate block, Adler-32) of size bytes at data,
// written over out. Deterministic: the same bytes give the same stream.
void ZlibCompressZeroRuns(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
// The working buffers of a compression, kept between calls by a caller
// that compresses one picture after another. They only grow, and are not
// cleared when they do: a page of them is only in memory once written, so
// they take about what the largest stream needed, not their size.
struct TZeroRunBuffers {
    std::unique_ptr<uint16_t[]> Tokens;
    size_t TokenCapacity = 0;
    std::unique_ptr<uint8_t[]> Stream;
    size_t StreamCapacity = 0;
};
// The same, with the working buffers given.
void ZlibCompressZeroRuns(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                          TZeroRunBuffers& buffers);

}  // namespace wbx
