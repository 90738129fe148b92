#pragma once
// SHA-256 (FIPS 180-4) of byte strings: the checksums of the catalogue's
// manifest and the identity of the inputs an output was made from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wbx {

// How the blocks are hashed: with the processor's SHA instructions where it
// has them, or by the portable code everywhere. Both give the same digests.
enum class TSha256Kernel { Fastest, Portable };

class TSha256 {
public:
    using TDigest = std::array<uint8_t, 32>;

    explicit TSha256(TSha256Kernel kernel = TSha256Kernel::Fastest);
    // Adds bytes to the message; any number of calls, of any lengths.
    void Update(const void* data, size_t size);
    void Update(std::string_view text) { Update(text.data(), text.size()); }
    // The digest of everything added. The object is then spent: Reset before reuse.
    TDigest Final();
    void Reset();

private:
    // count blocks of 64 bytes into state_.
    void Blocks(const uint8_t* blocks, size_t count);

    bool accelerated_ = false;
    std::array<uint32_t, 8> state_{};
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;  // bytes in buffer_
    uint64_t length_ = 0;  // message bytes so far
};

// The digest as 64 lower-case hexadecimal digits.
std::string DigestHex(const TSha256::TDigest& digest);
// SHA-256 of data, in hexadecimal.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace wbx
