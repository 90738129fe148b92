#include "archive/archive.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/vraformat.h"
#include "archiveid.h"
#include "base/filestream.h"
#include "base/format.h"
#include "bytepairdecoder.h"

namespace wbx {
namespace {

uint32_t LoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

[[noreturn]] void NotAnArchive() { throw EVRAError("Velvet Rook Archiveの扱えるデータではありません"); }

[[noreturn]] void NotFound(const std::string& id) {
    throw EVRAError(Format("アーカイブ内には指定されたID '%s' を持つデータが見つかりません", id));
}

// Refuses an entry whose bytes [offset, offset + count) do not lie in the stream.
void CheckEntryInStream(const std::string& id, uint32_t offset, uint32_t count, int64_t streamSize) {
    if (int64_t{offset} + count > streamSize) {
        throw EVRAError(Format(
            "ID '%s' のデータがアーカイブの終わりを越えています（位置 %u、%u バイト、ファイル %d バイト）",
            id, offset, count, streamSize));
    }
}

// Replaces target's contents with count bytes of stream from offset.
void ReadAt(TStream& stream, uint32_t offset, uint32_t count, TMemoryStream& target) {
    target.SetSize(count);
    stream.SetPosition(offset);
    if (count > 0) stream.ReadBuffer(target.Memory(), count);
}

}  // namespace

std::unique_ptr<TMemoryStream> ReadArchiveEntry(TStream& stream, const std::string& id,
                                                int64_t maxExpandedSize) {
    const int64_t streamSize = stream.Size();
    if (stream.Remaining() < kVRAHeaderSize) NotAnArchive();
    uint8_t header[kVRAHeaderSize];
    stream.ReadBuffer(header, sizeof header);
    if (std::memcmp(header + 4, kVRASignature, sizeof kVRASignature) != 0) NotAnArchive();
    const uint32_t packingFlag = LoadU32(header);
    const int32_t count = static_cast<int32_t>(LoadU32(header + 8));

    // The whole directory must lie in the stream.
    if (count < 0 || int64_t{count} * kVRAEntrySize > stream.Remaining()) {
        throw EVRAError(
            Format("Velvet Rook Archiveのエントリ数 %d は不正です（目録がファイルに収まりません）", count));
    }

    // The directory is scanned in slices through one small buffer: a large
    // directory is then neither allocated whole nor copied twice, and the scan
    // stays in cache.
    TArchiveIdMatcher matcher(id);
    constexpr int32_t kSliceEntries = 128;
    std::vector<uint8_t> slice(static_cast<size_t>(std::min(count, kSliceEntries)) * kVRAEntrySize);
    const uint8_t* entry = nullptr;
    for (int32_t first = 0; first < count && entry == nullptr; first += kSliceEntries) {
        const int32_t entries = std::min(kSliceEntries, count - first);
        stream.ReadBuffer(slice.data(), int64_t{entries} * kVRAEntrySize);
        for (int32_t i = 0; i < entries; ++i) {
            const uint8_t* candidate = slice.data() + static_cast<size_t>(i) * kVRAEntrySize;
            if (matcher.Matches(candidate + kVRAIdOffset, kVRAIdSize)) {
                entry = candidate;
                break;  // the first match wins
            }
        }
    }
    // Offset 0 is where the header lies: such an entry has no data.
    if (entry == nullptr || LoadU32(entry) == 0) NotFound(id);
    const uint32_t dataOffset = LoadU32(entry);
    const uint32_t storedSize = LoadU32(entry + 4);
    const uint32_t expandedSize = LoadU32(entry + 8);

    if (packingFlag == kVRAPacked) {
        CheckEntryInStream(id, dataOffset, storedSize, streamSize);
        TMemoryStream packed;
        ReadAt(stream, dataOffset, storedSize, packed);
        return DecodeBytePairs(packed, expandedSize, maxExpandedSize);
    }
    CheckEntryInStream(id, dataOffset, expandedSize, streamSize);
    auto result = std::make_unique<TMemoryStream>();
    ReadAt(stream, dataOffset, expandedSize, *result);
    result->SetPosition(0);
    return result;
}

std::unique_ptr<TMemoryStream> ReadArchiveFile(const std::string& fileName, const std::string& id,
                                               int64_t maxExpandedSize) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);  // closed by its destructor on every way out
    return ReadArchiveEntry(file, id, maxExpandedSize);
}

}  // namespace wbx
