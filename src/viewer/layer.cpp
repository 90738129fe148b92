#include "viewer/layer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/format.h"
#include "viewer/compressedfile.h"

namespace wbx {

namespace {

// Copies the opaque pixels of count pixels at in (any alignment) to out,
// leaving the texels under transparent ones as they are. Eight pixels at a
// time: a block without an opaque pixel is skipped, a wholly opaque one is
// stored as it is, a mixed one is merged under its alpha bits.
void CopyOpaquePixels(const uint8_t* in, uint8_t* out, int32_t count) {
    int32_t x = 0;
#if defined(__SSE2__)
    for (; x + 8 <= count; x += 8) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * x));
        // The sign bit of each pixel's high byte is its alpha bit.
        const int alpha = _mm_movemask_epi8(pixels) & 0xAAAA;
        if (alpha == 0) continue;
        auto* at = reinterpret_cast<__m128i*>(out + 2 * x);
        if (alpha == 0xAAAA) {
            _mm_storeu_si128(at, pixels);
        } else {
            const __m128i opaque = _mm_srai_epi16(pixels, 15);  // 0xFFFF where bit 15 is set
            const __m128i below = _mm_loadu_si128(at);
            _mm_storeu_si128(at,
                             _mm_or_si128(_mm_and_si128(opaque, pixels), _mm_andnot_si128(opaque, below)));
        }
    }
#endif
    for (; x < count; ++x) {
        uint16_t pixel;
        std::memcpy(&pixel, in + 2 * x, 2);
        if (pixel & kLayerAlphaBit) std::memcpy(out + 2 * x, &pixel, 2);
    }
}

}  // namespace

void DrawLayerContent(TMemoryStream& content, uint8_t* bits, int32_t pitch) {
    const int32_t x0 = content.ReadValue<uint16_t>();
    const int32_t y0 = content.ReadValue<uint16_t>();
    const int32_t width = content.ReadValue<uint16_t>();
    const int32_t height = content.ReadValue<uint16_t>();
    if (width == 0 || height == 0) return;

    // Columns and rows of the layer that fall inside the texture.
    const int32_t drawnColumns = std::clamp(kLayerTextureWidth - x0, 0, width);
    const int32_t drawnRows = std::clamp(kLayerTextureHeight - y0, 0, height);
    const int64_t rowBytes = int64_t{2} * width;
    // The pixels are read in place, as far as the content goes; the rows
    // below the texture are not drawn but must be there all the same, so a
    // truncated file fails the same way wherever its layer lies.
    const int64_t start = content.Position();
    const int64_t pixelBytes = std::max<int64_t>(content.Size() - start, 0);
    const int64_t neededBytes = int64_t{height} * rowBytes;
    for (int32_t y = 0; y < drawnRows; ++y) {
        const int64_t rowStart = int64_t{y} * rowBytes;
        const int64_t got = std::clamp<int64_t>(pixelBytes - rowStart, 0, rowBytes);
        const int32_t columns = std::min(drawnColumns, static_cast<int32_t>(got / 2));
        if (columns > 0)
            CopyOpaquePixels(content.Memory() + start + rowStart,
                             bits + static_cast<int64_t>(y0 + y) * pitch + int64_t{2} * x0, columns);
        if (got < rowBytes) break;
    }
    content.SetPosition(start + std::min(pixelBytes, neededBytes));
    if (pixelBytes < neededBytes) throw EReadError("Stream read error");
}

bool DrawLayerFile(const std::string& fileName, uint8_t* bits, int32_t pitch) {
    TMemoryStream content;
    if (!ReadCompressedFile(fileName, content)) return false;
    try {
        DrawLayerContent(content, bits, pitch);
    } catch (const EReadError& error) {
        throw EReadError(Format("%s: \"%s\"", error.Message(), fileName));
    }
    return true;
}

}  // namespace wbx
