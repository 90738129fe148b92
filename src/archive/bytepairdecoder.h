#pragma once
// DecodeBytePairs: expands byte-pair-encoded data as stored in VRA files.
//
// The packed data is a run of blocks up to the end of the stream. Each block
// is a pair table (which codes stand for a pair of other codes), its packed
// length L (32-bit), and L packed bytes. Pairs may nest: a pair's halves may
// themselves be pairs, expanded through a 256-byte stack, left half first.
//
// Damaged data is refused with EVRAError, never read or written past a table or
// buffer: a pair table that runs past code 255 (also by a skip), pairs nested
// deeper than the stack, data that ends inside a block, output beyond
// expandedSize. The expanded size is checked before anything is allocated: at
// most kMaxExpansionRatio times the packed bytes and at most kMaxExpandedSize.
// When the blocks expand to fewer bytes than expandedSize, the rest is zero.

#include <cstdint>
#include <memory>

#include "base/stream.h"

namespace wbx {

// Generous bounds for a believable entry, so that a damaged size cannot make
// us allocate gigabytes. The encoding itself has no fixed ratio (nested pairs
// can double at every level), but encoders work in blocks of a few KiB, each
// with its own pair table and length, which keeps even a run of one repeated
// byte far below 1:4096.
inline constexpr int64_t kMaxExpansionRatio = 4096;
inline constexpr int64_t kMaxExpandedSize = int64_t{1} << 30;  // 1 GiB

// Reads packed from its position to its end (leaving it at the end) and
// returns a new stream of exactly expandedSize bytes, positioned at 0.
std::unique_ptr<TMemoryStream> DecodeBytePairs(TStream& packed, int64_t expandedSize);

}  // namespace wbx
