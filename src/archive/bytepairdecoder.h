#pragma once
// DecodeBytePairs: expands byte-pair-encoded data as stored in VRA files.
//
// The packed data is a run of blocks up to the end of the stream. Each block
// is a pair table (which codes stand for a pair of other codes), its packed
// length L (32-bit), and L packed bytes. Pairs may nest: a pair's halves may
// themselves be pairs, expanded through a 256-byte stack, left half first.
//
// The result holds everything the blocks expand to: at least expandedSize
// bytes (the directory's figure; a shorter expansion leaves a zero tail), and
// more when the data expands further. Nothing bounds the expansion but
// expandedSize and the hard cap (kMaxExpandedSize, or a smaller one given).
//
// Damaged data is refused with EVRAError, never read or written past a table or
// buffer: a pair table that runs past code 255 (also by a skip), pairs that
// contain themselves (they would expand without end or overflow the stack),
// data that ends inside a block, an expansion beyond the cap.
// Each block's expansion is measured from its table before a byte of it is
// written, so a block beyond the cap is refused before anything is allocated
// for it, and an expandedSize beyond the cap before anything at all.

#include <cstdint>
#include <memory>

#include "archive/archive.h"
#include "base/stream.h"

namespace wbx {

// Reads packed from its position to its end (leaving it at the end) and
// returns a new stream of max(expandedSize, bytes expanded), positioned at 0.
// maxExpandedSize (at most kMaxExpandedSize) caps both.
std::unique_ptr<TMemoryStream> DecodeBytePairs(TStream& packed, int64_t expandedSize,
                                               int64_t maxExpandedSize = kMaxExpandedSize);

}  // namespace wbx
