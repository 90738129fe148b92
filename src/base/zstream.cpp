#include "base/zstream.h"

#include <zlib.h>

#include <vector>

namespace wbx {

struct TDecompressionStream::State {
    z_stream z{};
    std::vector<uint8_t> input = std::vector<uint8_t>(16 * 1024);
};

TDecompressionStream::TDecompressionStream(TStream& source) : source_(source), state_(new State) {
    state_->z.next_in = state_->input.data();
    state_->z.avail_in = 0;
    if (inflateInit(&state_->z) != Z_OK)
        throw EZDecompressionError("Error initialising the decompression stream");
}

TDecompressionStream::~TDecompressionStream() { inflateEnd(&state_->z); }

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || finished_) return 0;
    z_stream& z = state_->z;
    z.next_out = static_cast<Bytef*>(buffer);
    // zlib counts in uInt; larger requests are served in several rounds by ReadBuffer.
    const uInt want = count > 0x40000000 ? 0x40000000u : static_cast<uInt>(count);
    z.avail_out = want;
    while (z.avail_out > 0) {
        if (z.avail_in == 0) {
            const int64_t n = source_.Read(state_->input.data(), static_cast<int64_t>(state_->input.size()));
            if (n <= 0) throw EZDecompressionError("Compressed data ends before the end of its stream");
            z.next_in = state_->input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            finished_ = true;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            throw EZDecompressionError(std::string("Damaged compressed data: ") +
                                       (z.msg ? z.msg : "zlib error"));
    }
    return static_cast<int64_t>(want - z.avail_out);
}

void TDecompressionStream::ReadBuffer(void* buffer, int64_t count) {
    ReadExactly([this](void* part, int64_t length) { return Read(part, length); }, buffer, count);
}

}  // namespace wbx
