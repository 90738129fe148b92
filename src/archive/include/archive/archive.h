#pragma once
// The archive reader: one entry of a Velvet Rook Archive (VRA) by its ID.
//
// IDs match without regard to letter case, character by character in code
// page 932 (archiveid.h). Of two entries with the same ID, the first in the
// directory wins. Stored entries come back as
// they are, packed ones expanded (bytepairdecoder.h).
//
// Failures: EVRAError for a file that is not an archive, an ID that is not in
// it, and a damaged directory (a negative entry count, a directory or entry
// reaching past the end of the file) or damaged packed data; the stream
// classes' own exceptions for files that cannot be opened or read.

#include <cstdint>
#include <memory>
#include <string>

#include "archive/vraerror.h"
#include "base/stream.h"

namespace wbx {

// The most bytes an entry may expand to, so that a damaged size or table
// cannot make us allocate more.
inline constexpr int64_t kMaxExpandedSize = int64_t{1} << 30;  // 1 GiB

// Opens fileName read-only, reads entry id, closes the file on every way out.
// A file that cannot be opened raises EFOpenError.
std::unique_ptr<TMemoryStream> ReadArchiveFile(const std::string& fileName, const std::string& id,
                                               int64_t maxExpandedSize = kMaxExpandedSize);

// Reads entry id from an archive stream positioned at its header. Data offsets
// are positions in that stream. The result is the caller's, positioned at 0.
// A packed entry expands to everything its data holds, at least its expanded
// size from the directory; maxExpandedSize (at most the hard cap of 1 GiB)
// bounds both (bytepairdecoder.h).
std::unique_ptr<TMemoryStream> ReadArchiveEntry(TStream& stream, const std::string& id,
                                                int64_t maxExpandedSize = kMaxExpandedSize);

}  // namespace wbx
