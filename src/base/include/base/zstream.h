#pragma once
// TDecompressionStream: reads a zlib stream (RFC 1950: header, deflate data,
// Adler-32 trailer) inflated, on demand, from an underlying stream, starting
// at that stream's position when constructed. It only reads forward: it has
// no size, no position to seek to, and cannot be written, so it is no TStream.
//
// Read returns fewer bytes than asked only at the end of the zlib stream.
// Damaged data (a bad header, a bad deflate block, a bad checksum) and an
// underlying stream that ends before the zlib stream does raise
// EZDecompressionError.

#include <cstdint>
#include <memory>

#include "base/stream.h"

namespace wbx {

class EZDecompressionError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class TDecompressionStream {
public:
    explicit TDecompressionStream(TStream& source);  // source is not owned; it must outlive this
    ~TDecompressionStream();
    TDecompressionStream(const TDecompressionStream&) = delete;
    TDecompressionStream& operator=(const TDecompressionStream&) = delete;

    // Reads up to count bytes; returns how many were read (0 at the end).
    int64_t Read(void* buffer, int64_t count);
    // Reads exactly count bytes; raises EReadError when the zlib stream ends first.
    void ReadBuffer(void* buffer, int64_t count);

    bool Finished() const { return finished_; }

private:
    struct State;
    TStream& source_;
    std::unique_ptr<State> state_;
    bool finished_ = false;
};

}  // namespace wbx
