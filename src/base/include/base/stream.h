#pragma once
// Byte streams: the abstract TStream and the in-memory TMemoryStream.
//
// Readers of the system's file formats rely on one rule: ReadBuffer of a fixed
// number of bytes that comes up short raises EReadError, so a truncated file
// surfaces as an exception instead of as garbage. Read itself may return fewer
// bytes than asked (end of data) and never raises for that.

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "base/exception.h"

namespace wbx {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class SeekOrigin { Begin, Current, End };

// Reads exactly count bytes into buffer through read(part, length), which
// returns how many bytes it read (0 at the end of the data); raises
// EReadError ("Stream read error") when the data ends first.
template <class ReadPart>
void ReadExactly(ReadPart&& read, void* buffer, int64_t count) {
    if (count < 0) throw EReadError("Stream read error");
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = read(out + done, count - done);
        if (n <= 0) throw EReadError("Stream read error");
        done += n;
    }
}

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position. Positions below 0 are refused.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize) = 0;

    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }
    // Bytes between the position and the end (0 when the position is past it).
    int64_t Remaining();

    // Reads exactly count bytes or raises EReadError ("Stream read error").
    void ReadBuffer(void* buffer, int64_t count);
    // Writes exactly count bytes or raises EWriteError ("Stream write error").
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source at its position (count 0: all of source,
    // from its start). Raises EReadError when source comes up short.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Little-endian fixed-size values (the machine is little-endian).
    template <class T>
    T ReadValue() {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        ReadBuffer(&value, sizeof value);
        return value;
    }
    template <class T>
    void WriteValue(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        WriteBuffer(&value, sizeof value);
    }
};

// A growable block of memory with a position. Memory() stays valid until the
// next SetSize or write past the end.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    // New bytes are zero. Shrinking below the position moves the position to the end.
    void SetSize(int64_t newSize) override;

    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    void Clear();
    void LoadFromStream(TStream& source);  // replaces the contents with all of source
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    std::vector<uint8_t>& Bytes() { return data_; }
    const std::vector<uint8_t>& Bytes() const { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

}  // namespace wbx
