#pragma once
// A little-endian byte builder for the file writers (the machine is
// little-endian, as the file formats are).

#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

namespace wbx::sampledata {

class ByteWriter {
public:
    void Reserve(size_t bytes) { bytes_.reserve(bytes); }

    template <class T>
    void Put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        const size_t at = bytes_.size();
        bytes_.resize(at + sizeof value);
        std::memcpy(bytes_.data() + at, &value, sizeof value);
    }
    // Elements of a trivially copyable array, back to back, as they lie in memory.
    template <class T>
    void PutArray(std::span<const T> values) {
        static_assert(std::is_trivially_copyable_v<T>);
        if (values.empty()) return;
        const size_t at = bytes_.size();
        bytes_.resize(at + values.size_bytes());
        std::memcpy(bytes_.data() + at, values.data(), values.size_bytes());
    }
    void PutBytes(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    void PutFill(size_t count, uint8_t value) { bytes_.insert(bytes_.end(), count, value); }

    size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace wbx::sampledata
