#include "viewer/pngwriter.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "viewer/zerorundeflate.h"

namespace wbx {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kFilterUp = 2;

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Appends a chunk whose data is already in place: length and type were
// reserved at start, data follows them; the CRC covers type and data.
void CloseChunk(std::vector<uint8_t>& out, size_t start) {
    const size_t dataSize = out.size() - start - 8;
    const uint32_t length = static_cast<uint32_t>(dataSize);
    out[start] = static_cast<uint8_t>(length >> 24);
    out[start + 1] = static_cast<uint8_t>(length >> 16);
    out[start + 2] = static_cast<uint8_t>(length >> 8);
    out[start + 3] = static_cast<uint8_t>(length);
    PutBigEndian32(out, libdeflate_crc32(0, out.data() + start + 4, dataSize + 4));
}

size_t OpenChunk(std::vector<uint8_t>& out, const char type[4]) {
    const size_t start = out.size();
    out.insert(out.end(), 4, 0);
    out.insert(out.end(), type, type + 4);
    return start;
}

void CheckText(const TPngText& text) {
    if (text.Keyword.empty() || text.Keyword.size() > 79)
        throw std::invalid_argument("PNG text keyword must have 1 to 79 characters");
    for (const char c : text.Keyword) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || (byte > 126 && byte < 161))
            throw std::invalid_argument("PNG text keyword not printable");
    }
    if (text.Text.find('\0') != std::string::npos) throw std::invalid_argument("PNG text holds a NUL");
}

// Row less the row above, byte by byte; returns how many of the results are
// zero. The three rows do not overlap.
size_t FilterUp(const uint8_t* __restrict current, const uint8_t* __restrict previous,
                uint8_t* __restrict out, size_t bytes) {
    size_t zeros = 0;
    for (size_t i = 0; i < bytes; ++i) {
        const uint8_t difference = static_cast<uint8_t>(current[i] - previous[i]);
        out[i] = difference;
        zeros += difference == 0;
    }
    return zeros;
}

size_t CountZeros(const uint8_t* __restrict bytes, size_t size) {
    size_t zeros = 0;
    for (size_t i = 0; i < size; ++i) zeros += bytes[i] == 0;
    return zeros;
}

}  // namespace

TPngWriter::TPngWriter(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (compressor_ == nullptr) throw std::bad_alloc();
}

TPngWriter::~TPngWriter() { libdeflate_free_compressor(compressor_); }

const std::vector<uint8_t>& TPngWriter::Encode(const TRgbaImage& image, const std::vector<TPngText>& text) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * 4)
        throw std::invalid_argument("PNG of an empty or inconsistent picture");
    for (const TPngText& t : text) CheckText(t);

    // Filtered rows: a filter byte, then the row less the row above, byte by
    // byte (the first row less nothing). RGBA rows are read where they are;
    // RGB rows are packed first, into the two row buffers in turn.
    const size_t channels = image.HasAlpha ? 4 : 3;
    const size_t rowBytes = static_cast<size_t>(image.Width) * channels;
    // The buffer only grows: a thumbnail between two large pictures would
    // otherwise have the large one's buffer cleared again for nothing.
    const size_t filteredSize = (rowBytes + 1) * static_cast<size_t>(image.Height);
    if (filtered_.size() < filteredSize) filtered_.resize(filteredSize);
    if (channels == 3) {
        rows_[0].resize(rowBytes);
        rows_[1].resize(rowBytes);
    }
    uint8_t* out = filtered_.data();
    const uint8_t* previous = nullptr;
    size_t zeros = 0;
    for (int32_t y = 0; y < image.Height; ++y) {
        const uint8_t* current = image.Row(y);
        if (channels == 3) {
            uint8_t* packed = rows_[static_cast<size_t>(y + 1) % 2].data();
            for (int32_t x = 0; x < image.Width; ++x)
                std::memcpy(packed + 3 * size_t(x), current + 4 * size_t(x), 3);
            current = packed;
        }
        *out++ = kFilterUp;
        if (previous == nullptr) {
            std::memcpy(out, current, rowBytes);
            zeros += CountZeros(out, rowBytes);
        } else {
            zeros += FilterUp(current, previous, out, rowBytes);
        }
        out += rowBytes;
        previous = current;
    }

    file_.clear();
    file_.insert(file_.end(), kSignature, kSignature + 8);
    size_t chunk = OpenChunk(file_, "IHDR");
    PutBigEndian32(file_, static_cast<uint32_t>(image.Width));
    PutBigEndian32(file_, static_cast<uint32_t>(image.Height));
    file_.push_back(8);                       // bits per channel
    file_.push_back(image.HasAlpha ? 6 : 2);  // RGBA or RGB
    file_.push_back(0);                       // deflate
    file_.push_back(0);                       // adaptive filtering
    file_.push_back(0);                       // not interlaced
    CloseChunk(file_, chunk);
    for (const TPngText& t : text) {
        chunk = OpenChunk(file_, "tEXt");
        file_.insert(file_.end(), t.Keyword.begin(), t.Keyword.end());
        file_.push_back(0);
        file_.insert(file_.end(), t.Text.begin(), t.Text.end());
        CloseChunk(file_, chunk);
    }
    size_t compressed = 0;
    // At least seven bytes in eight zero (the filter bytes are not): an empty
    // background, whose runs of zeros cost the general compressor most of its
    // time; they are written here as plain runs, close to its size.
    if (zeros >= filteredSize - filteredSize / 8) {
        ZlibCompressZeroRuns(filtered_.data(), filteredSize, compressed_, zeroRuns_);
        compressed = compressed_.size();
    } else {
        const size_t bound = libdeflate_zlib_compress_bound(compressor_, filteredSize);
        compressed_.resize(bound);
        compressed =
            libdeflate_zlib_compress(compressor_, filtered_.data(), filteredSize, compressed_.data(), bound);
        if (compressed == 0) throw std::runtime_error("PNG compression failed");
    }
    // A chunk holds at most 2^31 - 1 bytes: a huge picture gets several.
    constexpr size_t kMaxChunk = size_t{1} << 30;
    for (size_t done = 0; done < compressed;) {
        const size_t take = std::min(kMaxChunk, compressed - done);
        chunk = OpenChunk(file_, "IDAT");
        file_.insert(file_.end(), compressed_.begin() + static_cast<ptrdiff_t>(done),
                     compressed_.begin() + static_cast<ptrdiff_t>(done + take));
        CloseChunk(file_, chunk);
        done += take;
    }
    chunk = OpenChunk(file_, "IEND");
    CloseChunk(file_, chunk);
    return file_;
}

std::vector<uint8_t> EncodePng(const TRgbaImage& image, const std::vector<TPngText>& text) {
    TPngWriter writer;
    return writer.Encode(image, text);
}

}  // namespace wbx
