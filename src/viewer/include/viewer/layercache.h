#pragma once
// TLayerCache: the inflated contents of the layer files the compositions have
// read, so that recomposing after one part list changed inflates only that
// item's layers (inflating is most of a composition's cost).
//
// A cached content is used only while its file still has the size and
// modification time it had when it was read; otherwise the file is read
// again, so a composition always shows the files as they are on disk. A file
// that fails to read is not kept (the next composition raises again), and a
// file that no longer exists is forgotten. The cache holds at most its
// capacity in content bytes, dropping the least recently used contents first.
//
// GUI thread only.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/stream.h"

namespace wbx {

class TLayerCache {
public:
    static constexpr int64_t kDefaultCapacity = int64_t{32} * 1024 * 1024;  // content bytes

    explicit TLayerCache(int64_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    // The content of the layer file fileName (see compressedfile.h), positioned
    // at 0; valid until the next call. nullptr when no such file exists.
    // Raises what ReadCompressedFile raises for a damaged file.
    TMemoryStream* Content(const std::string& fileName);

    void Clear();
    // Content bytes held.
    int64_t Bytes() const { return bytes_; }
    // Existing files read from disk so far, damaged ones included (a kept
    // content counts once).
    int64_t Reads() const { return reads_; }

private:
    struct TEntry {
        uintmax_t FileSize = 0;
        std::filesystem::file_time_type ModifiedAt{};
        TMemoryStream Content;
        uint64_t LastUse = 0;
    };
    void Evict();

    std::unordered_map<std::string, std::unique_ptr<TEntry>> entries_;  // by file name
    std::unique_ptr<TEntry> scratch_;  // the last content handed out without being kept
    int64_t capacity_;
    int64_t bytes_ = 0;
    int64_t reads_ = 0;
    uint64_t uses_ = 0;
};

}  // namespace wbx
