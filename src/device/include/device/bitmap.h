#pragma once
// Loading uncompressed Windows bitmaps (8, 16, 24, 32 bits per pixel,
// bottom-up rows) into level 0 of a texture, converting every pixel into the
// texture's format (pixelformat.h). The image lands in the top-left corner;
// what does not fit is cut off (the image's top rows and left columns are
// kept); texture pixels outside the image keep their contents. The
// information header may be the 40-byte one or a longer later version (108
// or 124 bytes, as image editors write): its first 40 bytes are read, and an
// 8-bit bitmap's palette follows the header's own size.
//
// Damaged input never reads or writes outside the stream, the row buffers or
// the locked level: a header or size that cannot be right, a pixel-data
// offset outside the stream, or rows shorter than promised are logged and the
// load stops (rows already copied remain). Nothing is raised.

#include <cstdint>

#include "base/exception.h"
#include "base/stream.h"
#include "d3d9/d3d9.h"

namespace wbx {

// Bitmap file header (14 bytes) and information header (40 bytes), little-endian.
#pragma pack(push, 1)
struct TBitmapFileHeader {
    uint16_t Type;  // "BM" = 0x4D42
    uint32_t FileSize;
    uint16_t Reserved1;
    uint16_t Reserved2;
    uint32_t PixelOffset;  // from the first byte of the file header
};
struct TBitmapInfoHeader {
    uint32_t HeaderSize;
    int32_t Width;
    int32_t Height;  // positive: bottom-up rows
    uint16_t Planes;
    uint16_t BitCount;
    uint32_t Compression;
    uint32_t ImageSize;
    int32_t XPelsPerMeter;
    int32_t YPelsPerMeter;
    uint32_t ColorsUsed;
    uint32_t ColorsImportant;
};
#pragma pack(pop)
static_assert(sizeof(TBitmapFileHeader) == 14 && sizeof(TBitmapInfoHeader) == 40);

inline constexpr uint16_t kBitmapType = 0x4D42;

// A bitmap whose header cannot describe an image this layer loads.
class EBitmapError : public Exception {
public:
    using Exception::Exception;
};

// Reads the information header of the bitmap whose file header starts at
// position start (the stream is left behind the header). Raises EReadError
// when the stream is too short for the two headers and EBitmapError for a
// width or height that is not positive. The pixel rows need not all be
// there: a texture sized from a truncated bitmap gets the rows it holds.
TBitmapInfoHeader ReadBitmapInfo(TStream& stream, int64_t start);

// Reads the bitmap at the stream's position into level 0 of texture. On return
// the stream's position is wherever reading stopped.
void LoadBMP(IDirect3DTexture9* texture, TStream& stream);

// The work between lock and unlock: decodes the bitmap at the stream's
// position into locked memory (locked.pBits, rows locked.Pitch bytes apart) of
// a level area.right x area.bottom pixels in format.
void DecodeBMP(const D3DLOCKED_RECT& locked, const RECT& area, D3DFORMAT format, TStream& stream);

}  // namespace wbx
