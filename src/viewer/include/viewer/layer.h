#pragma once
// Drawing one layer into a locked texture.
//
// Layer content (after inflating), little-endian:
//   offset 0  uint16 X, uint16 Y   the layer's top-left texel in the texture
//   offset 4  uint16 W, uint16 H   its size in texels
//   offset 8  W*H uint16 pixels    A1R5G5B5, rows top to bottom, each left to right
// Bytes after the last pixel are ignored. A pixel is drawn only when its bit 15
// (alpha) is set, and is then stored as it is, alpha bit included.

#include <cstdint>
#include <string>

#include "base/stream.h"

namespace wbx {

// The composed textures' size in texels (A1R5G5B5, two bytes per texel).
inline constexpr int32_t kLayerTextureWidth = 256;
inline constexpr int32_t kLayerTextureHeight = 512;
inline constexpr uint16_t kLayerAlphaBit = 0x8000;

// Draws the layer read from content (at its position) into the locked
// 256 x 512 surface at bits, texel (c, r) at byte offset r * pitch + 2 * c.
// pitch is the row pitch in bytes the lock returned, at least 512. The part of
// the layer outside the texture is clipped: nothing is ever written outside
// the surface. Raises EReadError when the content ends before its W * H pixels;
// the rows (and the part of the row) read before that are drawn. The pixels
// are taken from content's memory in place, several at a time; content's
// position ends after the pixels read.
void DrawLayerContent(TMemoryStream& content, uint8_t* bits, int32_t pitch);

// Reads the layer file fileName (see compressedfile.h) and draws it as above.
// Returns false, drawing nothing, when no such file exists. Raises the stream
// errors of ReadCompressedFile and DrawLayerContent, naming the file.
bool DrawLayerFile(const std::string& fileName, uint8_t* bits, int32_t pitch);

}  // namespace wbx
