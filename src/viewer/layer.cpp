#include "viewer/layer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/format.h"
#include "viewer/compressedfile.h"

namespace wbx {

void DrawLayerContent(TStream& content, uint8_t* bits, int32_t pitch) {
    const int32_t x0 = content.ReadValue<uint16_t>();
    const int32_t y0 = content.ReadValue<uint16_t>();
    const int32_t width = content.ReadValue<uint16_t>();
    const int32_t height = content.ReadValue<uint16_t>();
    if (width == 0 || height == 0) return;

    // Columns and rows of the layer that fall inside the texture.
    const int32_t drawnColumns = std::clamp(kLayerTextureWidth - x0, 0, width);
    const int32_t drawnRows = std::clamp(kLayerTextureHeight - y0, 0, height);
    const int64_t rowBytes = int64_t{2} * width;
    std::vector<uint16_t> row(static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
        // Rows past the texture's bottom are still read, so a truncated file
        // fails the same way wherever its layer lies.
        const int64_t got = content.Read(row.data(), rowBytes);
        const int32_t available = static_cast<int32_t>(std::max<int64_t>(got, 0) / 2);
        if (y < drawnRows) {
            auto* out = bits + static_cast<int64_t>(y0 + y) * pitch + int64_t{2} * x0;
            const int32_t columns = std::min(drawnColumns, available);
            for (int32_t x = 0; x < columns; ++x) {
                const uint16_t pixel = row[static_cast<size_t>(x)];
                if (pixel & kLayerAlphaBit) std::memcpy(out + 2 * x, &pixel, 2);
            }
        }
        if (got < rowBytes) throw EReadError("Stream read error");
    }
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
