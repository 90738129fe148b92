#pragma once
// TDecompressionStream: a read-only stream that inflates a zlib stream
// (RFC 1950: header, deflate data, Adler-32 trailer) read on demand from an
// underlying stream, starting at that stream's position when constructed.
//
// Read returns fewer bytes than asked only at the end of the zlib stream.
// Damaged data (a bad header, a bad deflate block, a bad checksum) and an
// underlying stream that ends before the zlib stream does raise
// EZDecompressionError. Seeking is forward-only (by reading).

#include <cstdint>
#include <memory>

#include "base/stream.h"

namespace wbx {

class EZDecompressionError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class TDecompressionStream : public TStream {
public:
    explicit TDecompressionStream(TStream& source);  // source is not owned; it must outlive this
    ~TDecompressionStream() override;
    TDecompressionStream(const TDecompressionStream&) = delete;
    TDecompressionStream& operator=(const TDecompressionStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;  // raises: read-only
    int64_t Seek(int64_t offset, SeekOrigin origin) override;   // forward only
    int64_t Size() override;                                    // raises: unknown
    void SetSize(int64_t newSize) override;                     // raises: read-only

    bool Finished() const { return finished_; }

private:
    struct State;
    TStream& source_;
    std::unique_ptr<State> state_;
    int64_t position_ = 0;  // inflated bytes delivered so far
    bool finished_ = false;
};

}  // namespace wbx
