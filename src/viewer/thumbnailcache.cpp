#include "viewer/thumbnailcache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/format.h"
#include "viewer/thumbnailpruning.h"

namespace wbx {
namespace {

// File layout, little-endian:
//   offset 0  8 bytes   magic "WBXTHUMB"
//           8  uint32   format version (1)
//          12  uint32   key length K (at most kMaxKeyLength)
//          16  K bytes  the key
//     16 + K   uint16   width, uint16 height (0 x 0, or each 1..kMaxThumbnailSize)
//     20 + K   uint32   deflated length D
//     24 + K   D bytes  zlib stream of width * height pixels, 4 bytes each (0xAARRGGBB)
//     24+K+D   uint32   CRC-32 of every byte before it
// and nothing after.
constexpr char kMagic[8] = {'W', 'B', 'X', 'T', 'H', 'U', 'M', 'B'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxKeyLength = 64 * 1024;
// A file larger than this is not even read.
constexpr uintmax_t kMaxFileSize = 8 * 1024 * 1024;

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// A bounds-checked reader of the file's bytes.
class TReader {
public:
    TReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Bytes(size_t count, const uint8_t*& at) {
        if (count > size_ - position_) return false;
        at = data_ + position_;
        position_ += count;
        return true;
    }
    bool U16(uint16_t& value) {
        const uint8_t* at;
        if (!Bytes(2, at)) return false;
        value = static_cast<uint16_t>(at[0] | (at[1] << 8));
        return true;
    }
    bool U32(uint32_t& value) {
        const uint8_t* at;
        if (!Bytes(4, at)) return false;
        value = static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
                (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
        return true;
    }
    size_t Position() const { return position_; }
    size_t Left() const { return size_ - position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// FNV-1a, 64 bits: stable across runs and builds, unlike std::hash.
uint64_t KeyHash(const std::string& key) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : key) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t done = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

TThumbnailCache::TThumbnailCache(std::string folder) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

std::string TThumbnailCache::DefaultFolder() {
    std::string folder;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache != nullptr && cache[0] == '/')
        folder.append(cache).append("/wardrobix/thumbnails/");
    else if (home != nullptr && home[0] == '/')
        folder.append(home).append("/.cache/wardrobix/thumbnails/");
    return folder;
}

std::string TThumbnailCache::Key(const std::vector<TFileIdentity>& layers, TThumbnailSide side,
                                 int32_t size) {
    std::string key = Format("%s %d", side == TThumbnailSide::Front ? "front" : "back", size);
    for (const TFileIdentity& layer : layers) key.append(1, '\n').append(IdentityText(layer));
    return key;
}

namespace {

// Moves an entry's use time (its modification time) to now when it is older
// than the resolution, so pruning keeps what is looked at. A failure only
// makes the entry look older.
void MarkUsed(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    if (std::chrono::seconds(info.st_mtim.tv_sec) + kThumbnailUseResolution >
        std::chrono::duration_cast<std::chrono::seconds>(now))
        return;
    ::futimens(fd, nullptr);
}

}  // namespace

std::string TThumbnailCache::FileName(const std::string& key) const {
    return folder_ + Format("%.16x.thumb", KeyHash(key));
}

bool TThumbnailCache::Load(const std::string& key, TThumbnail& thumbnail) const {
    if (folder_.empty()) return false;
    const int fd = ::open(FileName(key).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<uint8_t> bytes;
    uint8_t block[16384];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || bytes.size() + static_cast<size_t>(got) > kMaxFileSize) ok = false;
        if (got <= 0 || !ok) break;
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool found = ok && DecodeThumbnailFile(bytes.data(), bytes.size(), key, thumbnail);
    if (found) MarkUsed(fd);
    ::close(fd);
    return found;
}

bool TThumbnailCache::Store(const std::string& key, const TThumbnail& thumbnail) const {
    if (folder_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return false;
    static std::atomic<uint64_t> serial{0};  // NOLINT: one count for the process
    const std::string fileName = FileName(key);
    // Unique among the threads and processes writing the same key at once.
    const std::string temporary = Format("%s.%d.%u.tmp", fileName, static_cast<int>(::getpid()), serial++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, EncodeThumbnailFile(key, thumbnail));
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), fileName.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::vector<uint8_t> EncodeThumbnailFile(const std::string& key, const TThumbnail& thumbnail) {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    PutU32(out, kVersion);
    PutU32(out, static_cast<uint32_t>(key.size()));
    out.insert(out.end(), key.begin(), key.end());
    PutU16(out, static_cast<uint16_t>(thumbnail.Width));
    PutU16(out, static_cast<uint16_t>(thumbnail.Height));
    std::vector<uint8_t> raw(thumbnail.Pixels.size() * 4);
    for (size_t i = 0; i < thumbnail.Pixels.size(); ++i)
        for (int b = 0; b < 4; ++b) raw[4 * i + b] = static_cast<uint8_t>(thumbnail.Pixels[i] >> (8 * b));
    uLongf deflatedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> deflated(deflatedSize);
    if (compress2(deflated.data(), &deflatedSize, raw.data(), static_cast<uLong>(raw.size()), 1) != Z_OK)
        deflatedSize = 0;  // cannot happen with compressBound's room; a file of no pixels is a miss
    PutU32(out, static_cast<uint32_t>(deflatedSize));
    out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<ptrdiff_t>(deflatedSize));
    PutU32(out, static_cast<uint32_t>(crc32(0, out.data(), static_cast<uInt>(out.size()))));
    return out;
}

bool DecodeThumbnailFile(const uint8_t* data, size_t size, const std::string& key, TThumbnail& thumbnail) {
    if (data == nullptr) return false;
    TReader reader(data, size);
    const uint8_t* magic;
    uint32_t version, keyLength;
    if (!reader.Bytes(sizeof kMagic, magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return false;
    if (!reader.U32(version) || version != kVersion) return false;
    if (!reader.U32(keyLength) || keyLength > kMaxKeyLength || keyLength != key.size()) return false;
    const uint8_t* storedKey;
    if (!reader.Bytes(keyLength, storedKey) || std::memcmp(storedKey, key.data(), keyLength) != 0)
        return false;
    uint16_t width, height;
    uint32_t deflatedLength;
    if (!reader.U16(width) || !reader.U16(height) || !reader.U32(deflatedLength)) return false;
    if ((width == 0) != (height == 0) || width > kMaxThumbnailSize || height > kMaxThumbnailSize)
        return false;
    const uint8_t* deflated;
    if (!reader.Bytes(deflatedLength, deflated)) return false;
    const size_t checked = reader.Position();
    uint32_t storedCrc;
    if (!reader.U32(storedCrc) || reader.Left() != 0) return false;
    if (storedCrc != static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(checked)))) return false;

    const size_t pixelCount = static_cast<size_t>(width) * height;
    std::vector<uint8_t> raw(pixelCount * 4);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    // uncompress never writes past rawSize; a stream that inflates to more or
    // fewer bytes than the pixels is damage.
    if (uncompress(raw.data(), &rawSize, deflated, deflatedLength) != Z_OK || rawSize != raw.size())
        return false;
    TThumbnail result;
    result.Width = width;
    result.Height = height;
    result.Pixels.resize(pixelCount);
    for (size_t i = 0; i < pixelCount; ++i)
        result.Pixels[i] = static_cast<uint32_t>(raw[4 * i]) | (static_cast<uint32_t>(raw[4 * i + 1]) << 8) |
                           (static_cast<uint32_t>(raw[4 * i + 2]) << 16) |
                           (static_cast<uint32_t>(raw[4 * i + 3]) << 24);
    thumbnail = std::move(result);
    return true;
}

}  // namespace wbx
