#include "base/stream.h"

#include <algorithm>
#include <limits>

#include "base/filestream.h"

namespace wbx {

int64_t TStream::Size() {
    const int64_t here = Seek(0, SeekOrigin::Current);
    const int64_t end = Seek(0, SeekOrigin::End);
    Seek(here, SeekOrigin::Begin);
    return end;
}

int64_t TStream::Remaining() {
    const int64_t here = Position();
    const int64_t size = Size();
    return size > here ? size - here : 0;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    ReadExactly([this](void* part, int64_t length) { return Read(part, length); }, buffer, count);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0) throw EWriteError("Stream write error");
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Write(in + done, count - done);
        if (n <= 0) throw EWriteError("Stream write error");
        done += n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0) throw EReadError("Stream read error");
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min(count, kChunk)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kChunk);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || position_ >= Size()) return 0;
    const int64_t n = std::min(count, Size() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (position_ > std::numeric_limits<int64_t>::max() - count) return 0;
    const int64_t end = position_ + count;
    if (end > Size()) data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = 0;
    switch (origin) {
        case SeekOrigin::Begin:
            base = 0;
            break;
        case SeekOrigin::Current:
            base = position_;
            break;
        case SeekOrigin::End:
            base = Size();
            break;
    }
    const int64_t target = base + offset;
    if (target < 0) throw EStreamError("Stream seek error");
    position_ = target;
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
    if (newSize < 0) throw EStreamError("Stream size error");
    data_.resize(static_cast<size_t>(newSize));
    if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t n = source.Size();
    SetSize(n);
    position_ = 0;
    if (n > 0) source.ReadBuffer(data_.data(), n);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, fmCreate);
    if (!data_.empty()) file.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

}  // namespace wbx
