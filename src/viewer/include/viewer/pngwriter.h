#pragma once
// TPngWriter: PNG files of TRgbaImage pictures, made for speed (a catalogue
// writes thousands a second) and for identical bytes from identical pictures.
//
// Eight bits per channel, RGB when the picture has no alpha and RGBA when it
// has; no interlacing. Every row is filtered with the "Up" filter (a byte
// minus the one above it), which suits the large even areas of a rendered
// figure, and the rows are deflated by libdeflate at a fast level. Optional
// text chunks (tEXt) come right after the header, so a reader finds them in
// the first bytes of the file.
//
// One writer per thread: it keeps its compressor and buffers between files.

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/rgbaimage.h"
#include "viewer/zerorundeflate.h"

struct libdeflate_compressor;

namespace wbx {

// A tEXt chunk: a keyword of 1 to 79 printable Latin-1 characters and a text
// without NUL characters.
struct TPngText {
    std::string Keyword;
    std::string Text;
};

class TPngWriter {
public:
    // level: libdeflate's compression level, 1 (fastest) to 12.
    explicit TPngWriter(int level = kDefaultLevel);
    ~TPngWriter();
    TPngWriter(const TPngWriter&) = delete;
    TPngWriter& operator=(const TPngWriter&) = delete;

    // The fastest: a catalogue's pictures are mostly even areas, which the
    // higher levels shrink by a few per cent at a third more time.
    static constexpr int kDefaultLevel = 1;

    // The PNG file of image (valid until the next call). Raises
    // std::invalid_argument for an empty picture, one whose pixel buffer does
    // not match its size, or a bad text chunk.
    const std::vector<uint8_t>& Encode(const TRgbaImage& image, const std::vector<TPngText>& text = {});

private:
    libdeflate_compressor* compressor_;
    std::vector<uint8_t> filtered_;    // the filtered rows, each led by its filter byte (at its start)
    std::vector<uint8_t> rows_[2];     // RGB rows packed from the picture's RGBA, this one and the last
    std::vector<uint8_t> compressed_;  // the zlib stream of filtered_
    TZeroRunBuffers zeroRuns_;         // the runs-of-zeros compressor's working buffers
    std::vector<uint8_t> file_;
};

// One picture as a PNG file, with a writer of its own.
std::vector<uint8_t> EncodePng(const TRgbaImage& image, const std::vector<TPngText>& text = {});

}  // namespace wbx
