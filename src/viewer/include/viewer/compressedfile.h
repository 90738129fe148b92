#pragma once
// The compressed-file wrapper of the layer files:
//
//   offset 0  int32  declared size: bytes of content once inflated
//   offset 4  int32  a second value, skipped
//   offset 8  ...    a zlib stream (RFC 1950)
//
// The content is the first declared-size bytes the stream inflates to; any
// further inflated bytes are never read.

#include <cstdint>
#include <string>

#include "base/stream.h"

namespace wbx {

// The largest declared size accepted. A layer fills at most 256 x 512 texels of
// two bytes (256 KiB); anything above this is damage, and is refused before
// any memory is taken for it.
inline constexpr int64_t kMaxCompressedContentSize = 64 * 1024 * 1024;

// Reads the content of fileName into dest at dest's position (dest's size
// becomes that position plus the content size); dest's position is put back
// afterwards, also when the read fails. Returns false, dest untouched, when no
// such file exists. A declared size of 0 or less gives empty content.
// Raises a stream error whose message names the file when the declared size is
// above kMaxCompressedContentSize, when the zlib stream is damaged
// (EZDecompressionError) or when it ends before the declared size
// (EReadError). A declared size larger than the file's compressed bytes could
// inflate to is refused at once too, so the memory taken is bounded by the
// file's own size.
//
// The stream is inflated in one call into dest's memory. Whenever that does
// not give exactly the declared size from a sound stream (the stream holds
// more, or less, or is damaged anywhere), the file is inflated again by
// ReadCompressedFileStreamed, whose content or error is then the result: both
// agree, with one exception. A stream using the length symbols that deflate
// reserves (286 and 287) is refused by zlib as damaged, while the one-call
// inflate reads them as a length of 258; when the result is then exactly the
// declared size and the stream's checksum holds, that content is the result.
bool ReadCompressedFile(const std::string& fileName, TMemoryStream& dest);

// The same read with zlib's streaming inflate alone, reading the stream only
// as far as the declared size needs (so damage past that goes unnoticed).
bool ReadCompressedFileStreamed(const std::string& fileName, TMemoryStream& dest);

}  // namespace wbx
