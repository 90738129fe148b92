#pragma once
// Keeping the thumbnail cache (thumbnailcache.h) within a size: the entries
// used longest ago go first. An entry's last use is its modification time,
// which a load that finds it moves forward (at most once in
// kThumbnailUseResolution, so a warm cache is not written at every look).
//
// Only the cache's own entries are ever removed: regular files named as the
// cache names them (sixteen uppercase hexadecimal digits and ".thumb").
// Anything else in the folder (temporaries being written, other files,
// folders, links) is neither removed nor counted. Safe while other threads
// and processes use the cache: a reader keeps a file it opened, and an entry
// removed under a writer is only a miss later.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wbx {

// The cache's size limit: the sum of its entries' sizes, in bytes.
inline constexpr uint64_t kThumbnailCacheMaxBytes = uint64_t{256} << 20;
// How stale an entry's use time may get before a load renews it.
inline constexpr std::chrono::seconds kThumbnailUseResolution{3600};

struct TPruneResult {
    size_t Entries = 0;         // entries found
    size_t Removed = 0;         // entries removed
    uint64_t KeptBytes = 0;     // sizes of the entries left
    uint64_t RemovedBytes = 0;  // sizes of the entries removed
};

// Whether a file name (without folder) is one of the cache's entries.
bool IsThumbnailCacheEntry(std::string_view fileName);

// Removes entries of folder, least recently used first (the older name
// first among equal times), until the rest take at most maxBytes. A folder
// that does not exist or cannot be read is left alone (nothing removed); an
// entry that cannot be removed is counted as kept.
TPruneResult PruneThumbnailCache(const std::string& folder, uint64_t maxBytes);

}  // namespace wbx
