#include "device/bitmap.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "base/format.h"
#include "device/diagnostics.h"
#include "device/pixelformat.h"

namespace wbx {

namespace {

constexpr char kReadError[] = "LoadBMP中に、読み込みエラーが発生しました";
constexpr char kBadBitmap[] = "不正なBMPファイルです";
constexpr int64_t kPaletteSize = 256 * 4;  // blue, green, red, reserved

// Reads exactly count bytes; false (with the read-error line logged) when the stream comes up short.
bool ReadOrLog(TStream& stream, void* buffer, int64_t count, const char* message) {
    try {
        stream.ReadBuffer(buffer, count);
        return true;
    } catch (const std::exception&) {
        WriteLog(message);
        return false;
    }
}

// Reads the 256-entry palette behind the information header. Bitmaps with
// fewer colours store a shorter palette, and a small one may end before 1024
// bytes: entries the stream does not hold stay black. No valid index refers
// to them, and the pixel rows are found by their offset, not behind the palette.
bool ReadPalette(TStream& stream, std::array<uint8_t, kPaletteSize>& palette) {
    const int64_t count = std::clamp<int64_t>(stream.Size() - stream.Position(), 0, kPaletteSize);
    return ReadOrLog(stream, palette.data(), count, kReadError);
}

// Converts the first `columns` pixels of a source row of sourceBytes bytes per
// pixel into pixels of format, each stored as its low destBytes bytes.
void ConvertRow(const uint8_t* source, uint8_t* dest, int64_t columns, uint32_t sourceBytes,
                uint32_t destBytes, D3DFORMAT format, const std::array<uint8_t, kPaletteSize>& palette) {
    for (int64_t x = 0; x < columns; ++x) {
        const uint8_t* s = source + x * sourceBytes;
        uint32_t pixel = 0;
        switch (sourceBytes) {
            case 1: {
                const uint8_t* entry = &palette[static_cast<size_t>(s[0]) * 4];
                pixel = PackARGB(255, entry[2], entry[1], entry[0], format);
                break;
            }
            case 2: {
                const uint32_t value = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8);
                pixel = ARGBToPixel(PixelToARGB(value, D3DFMT_A1R5G5B5), format);
                break;
            }
            case 3:
                pixel = PackARGB(255, s[2], s[1], s[0], format);
                break;
            default: {
                uint32_t value;
                std::memcpy(&value, s, 4);
                pixel = ARGBToPixel(value, format);
                break;
            }
        }
        std::memcpy(dest + x * destBytes, &pixel, destBytes);  // low bytes first (little-endian)
    }
}

}  // namespace

void DecodeBMP(const D3DLOCKED_RECT& locked, const RECT& area, D3DFORMAT format, TStream& stream) {
    const int64_t start = stream.Position();

    TBitmapFileHeader fileHeader;
    if (!ReadOrLog(stream, &fileHeader, sizeof fileHeader,
                   "ビットマップの読みこみ中に、エラーが発生しました"))
        return;
    if (fileHeader.Type != kBitmapType) {
        WriteLog(kBadBitmap);
        return;
    }
    TBitmapInfoHeader info;
    if (!ReadOrLog(stream, &info, sizeof info, kReadError)) return;
    if (info.BitCount < 8 || info.BitCount > 32) {
        CheckResult(1, "色数が8ビット～32ビットの範囲のビットマップを、LoadBMPには指定してください");
        return;
    }
    // Top-down (negative height) and negative widths are not bitmaps this loader reads.
    if (info.Width < 0 || info.Height < 0) {
        WriteLog(kBadBitmap);
        return;
    }

    const uint32_t destBytes = BitsPerPixel(format) / 8;
    const uint32_t sourceBytes = info.BitCount / 8u;
    // The palette follows the information header, whose first field gives
    // its own size: 40 bytes here, 108 or 124 for the later versions of the
    // header (the fields this loader reads are the same in all of them).
    // Smaller sizes are not headers this loader knows; their palette is read
    // behind the 40 bytes as always.
    if (info.HeaderSize > sizeof info)
        stream.SetPosition(start + sizeof fileHeader + int64_t{info.HeaderSize});
    std::array<uint8_t, kPaletteSize> palette{};
    if (format == D3DFMT_P8) {
        if (sourceBytes > 1) {
            CheckResult(1,
                        "8ビットパレット付きテクスチャに対して16ビット以上のBMPをロードする事は出来ません");
            return;
        }
        // Read past, not applied: the texture keeps the indices.
        if (!ReadPalette(stream, palette)) return;
    } else if (sourceBytes == 1) {
        if (!ReadPalette(stream, palette)) return;
    }

    const int64_t width = info.Width;
    const int64_t height = info.Height;
    const int64_t rowLength = (width * sourceBytes + 3) & ~int64_t{3};
    const int64_t levelWidth = std::max<int64_t>(0, int64_t{area.right} - area.left);
    const int64_t levelHeight = std::max<int64_t>(0, int64_t{area.bottom} - area.top);
    const int64_t rows = std::min(levelHeight, height);
    const int64_t columns = std::min(levelWidth, width);
    if (rows <= 0 || columns <= 0 || locked.pBits == nullptr || locked.Pitch <= 0) return;

    // The pixel rows must lie in the stream: check before anything is
    // allocated or skipped, so that absurd sizes or offsets cost nothing.
    const int64_t pixelStart = start + fileHeader.PixelOffset;
    const int64_t available = stream.Size() - pixelStart;
    const int64_t skippedRows = height - rows;  // the bitmap's bottom rows, beyond the level
    if (available < rowLength || (skippedRows > 0 && skippedRows > (available - rowLength) / rowLength)) {
        WriteLog(kReadError);
        return;
    }
    stream.SetPosition(pixelStart + skippedRows * rowLength);

    std::vector<uint8_t> sourceRow(static_cast<size_t>(rowLength));
    std::vector<uint8_t> destRow(static_cast<size_t>(columns * destBytes));
    const size_t copyBytes = std::min<size_t>(destRow.size(), static_cast<size_t>(locked.Pitch));
    uint8_t* const bits = static_cast<uint8_t*>(locked.pBits);
    // Bottom-up: the first row read is the lowest row kept.
    for (int64_t y = rows - 1; y >= 0; --y) {
        if (!ReadOrLog(stream, sourceRow.data(), rowLength, kReadError)) return;
        if (format == D3DFMT_P8)
            std::memcpy(destRow.data(), sourceRow.data(), destRow.size());
        else
            ConvertRow(sourceRow.data(), destRow.data(), columns, sourceBytes, destBytes, format, palette);
        std::memcpy(bits + y * locked.Pitch, destRow.data(), copyBytes);
    }
}

TBitmapInfoHeader ReadBitmapInfo(TStream& stream, int64_t start) {
    stream.SetPosition(start);
    TBitmapFileHeader fileHeader;
    stream.ReadBuffer(&fileHeader, sizeof fileHeader);
    TBitmapInfoHeader info;
    stream.ReadBuffer(&info, sizeof info);
    // A truncated bitmap still sizes its texture from the header: LoadBMP
    // then fills the rows the stream holds. How large a damaged header can
    // make the texture is the device's to bound (its maximum texture size).
    if (info.Width <= 0 || info.Height <= 0)
        throw EBitmapError(Format("Bitmap size %d x %d out of range", info.Width, info.Height));
    return info;
}

void LoadBMP(IDirect3DTexture9* texture, TStream& stream) {
    if (texture == nullptr) {
        ReportError("LoadBMP中にサーフェスがロックできませんでした");
        return;
    }
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked{};
    // Only what was locked is unlocked.
    if (CheckResult(texture->LockRect(0, &locked, nullptr, 0),
                    "LoadBMP中にサーフェスがロックできませんでした") != 0)
        return;
    const RECT area{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    try {
        DecodeBMP(locked, area, desc.Format, stream);
    } catch (...) {
        texture->UnlockRect(0);  // a log that cannot be written still leaves the level unlocked
        throw;
    }
    CheckResult(texture->UnlockRect(0), "LoadBMP中にサーフェスがアンロックできませんでした");
}

}  // namespace wbx
