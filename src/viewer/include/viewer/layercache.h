#pragma once
// TLayerCache: the inflated contents of the layer files the compositions have
// read, so that recomposing after one part list changed inflates only that
// item's layers (inflating is most of a composition's cost).
//
// A cached content is used only while its file is still the very file it
// was read from: the same device and inode, size, and modification and
// status-change times to the nanosecond. Replacing a file, or writing into
// it, always changes its status-change time, which no one can set back; so
// even a replacement of the same size and modification time is read again.
// A file whose status changed less than the settle time before it was read
// is handed out but not kept: the file system's clock is coarse, and a write
// in the same tick of it would otherwise leave every time as it was. A
// composition thus always shows the files as they are on disk. A file that
// fails to read is not kept (the next composition raises again), and a file
// that no longer exists is forgotten. The cache holds at most its capacity in
// content bytes, dropping the least recently used contents first.
//
// GUI thread only.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/stream.h"

namespace wbx {

class TLayerCache {
public:
    static constexpr int64_t kDefaultCapacity = int64_t{32} * 1024 * 1024;  // content bytes
    // Longer than any local file system's clock tick.
    static constexpr std::chrono::nanoseconds kDefaultSettleTime = std::chrono::seconds(1);

    explicit TLayerCache(int64_t capacity = kDefaultCapacity,
                         std::chrono::nanoseconds settleTime = kDefaultSettleTime)
        : capacity_(capacity), settleTime_(settleTime) {}

    // The content of the layer file fileName (see compressedfile.h), positioned
    // at 0; valid until the next call. nullptr when no such file exists.
    // Raises what ReadCompressedFile raises for a damaged file.
    TMemoryStream* Content(const std::string& fileName);

    // Drops the content of fileName, if held: for a file that will not be
    // asked for again soon, so that it does not push out those that will.
    void Forget(const std::string& fileName);
    void Clear();
    // Content bytes held.
    int64_t Bytes() const { return bytes_; }
    // Existing files read from disk so far, damaged ones included (a kept
    // content counts once).
    int64_t Reads() const { return reads_; }

private:
    // What tells one file on disk from another, or from itself before a change.
    struct TFileIdentity {
        uint64_t Device = 0;
        uint64_t Inode = 0;
        int64_t Size = 0;
        int64_t ModifiedNs = 0;
        int64_t ChangedNs = 0;
        bool operator==(const TFileIdentity&) const = default;
    };
    // false when the file cannot be examined.
    static bool IdentityOf(const std::string& fileName, TFileIdentity& identity);

    struct TEntry {
        TFileIdentity Identity;
        TMemoryStream Content;
        uint64_t LastUse = 0;
    };
    void Evict();

    std::unordered_map<std::string, std::unique_ptr<TEntry>> entries_;  // by file name
    std::unique_ptr<TEntry> scratch_;  // the last content handed out without being kept
    int64_t capacity_;
    std::chrono::nanoseconds settleTime_;
    int64_t bytes_ = 0;
    int64_t reads_ = 0;
    uint64_t uses_ = 0;
};

}  // namespace wbx
