#pragma once
// The layout of a Velvet Rook Archive (VRA) file. All integers are 32-bit
// little-endian; offsets count from the first byte of the file.
//
//   header, 256 bytes at 0:   +0 packing flag (1 = every entry byte-pair encoded,
//                              anything else = every entry stored)
//                             +4 signature "VRA0"   +8 entry count N (signed)
//   directory, N x 268 bytes from 256:
//                             +0 data offset   +4 stored (packed) size
//                             +8 expanded size  +12 ID, 256 bytes, zero-terminated

#include <cstdint>

namespace wbx {

inline constexpr int kVRAHeaderSize = 256;
inline constexpr int kVRAEntrySize = 268;
inline constexpr int kVRAIdOffset = 12;  // within a directory entry
inline constexpr int kVRAIdSize = 256;
inline constexpr char kVRASignature[4] = {'V', 'R', 'A', '0'};
inline constexpr uint32_t kVRAPacked = 1;  // packing flag value for byte-pair-encoded entries

}  // namespace wbx
