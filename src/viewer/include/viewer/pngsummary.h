#pragma once
// A look at a PNG file without decoding its pixels: whether it is whole (the
// signature, then chunks whose lengths fit and whose checksums agree, IHDR
// first, IEND last with nothing after it), its size and its text chunks.
// The catalogue asks this of the pictures a previous run left, to tell a
// complete and current one (its stamp, see below) from anything else.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "viewer/pngwriter.h"
#include "viewer/rgbaimage.h"

namespace wbx {

struct TPngInfo {
    int32_t Width = 0;
    int32_t Height = 0;
    bool HasAlpha = false;
    std::vector<TPngText> Texts;  // tEXt chunks, in file order
};

// Nothing unless bytes are one whole PNG file as described above. Reads only
// inside bytes, whatever they hold.
std::optional<TPngInfo> SummarizePng(std::span<const uint8_t> bytes);

// The stamp the catalogue puts into each picture (a tEXt chunk with the
// keyword kStampKeyword): the identity of what the picture was made from and
// where the figure lies in it.
inline constexpr const char* kStampKeyword = "wardrobix";
struct TPictureStamp {
    std::string Source;  // 64 hexadecimal digits
    TPixelBounds Figure;
    bool operator==(const TPictureStamp&) const = default;
};
std::string FormatStamp(const TPictureStamp& stamp);
// Nothing unless text is a stamp as FormatStamp writes them.
std::optional<TPictureStamp> ParseStamp(const std::string& text);

}  // namespace wbx
