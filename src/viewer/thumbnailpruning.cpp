#include "viewer/thumbnailpruning.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <vector>

namespace wbx {

namespace {

constexpr std::string_view kEntrySuffix = ".thumb";
constexpr size_t kEntryHashDigits = 16;

struct TEntry {
    int64_t UsedSeconds;
    int64_t UsedNanoseconds;
    std::string Name;
    uint64_t Size;
};

}  // namespace

bool IsThumbnailCacheEntry(std::string_view fileName) {
    if (fileName.size() != kEntryHashDigits + kEntrySuffix.size()) return false;
    if (fileName.substr(kEntryHashDigits) != kEntrySuffix) return false;
    return std::all_of(fileName.begin(), fileName.begin() + kEntryHashDigits,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

TPruneResult PruneThumbnailCache(const std::string& folder, uint64_t maxBytes) {
    TPruneResult result;
    if (folder.empty()) return result;
    std::string prefix = folder;
    if (prefix.back() != '/') prefix += '/';
    std::vector<TEntry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) return result;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error) return result;  // a folder that cannot be read to its end: nothing removed
        const std::string name = it->path().filename().string();
        if (!IsThumbnailCacheEntry(name)) continue;
        struct stat info {};
        // Not through a link, and only a regular file.
        if (::lstat((prefix + name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        entries.push_back(
            TEntry{info.st_mtim.tv_sec, info.st_mtim.tv_nsec, name, static_cast<uint64_t>(info.st_size)});
    }
    result.Entries = entries.size();
    uint64_t total = 0;
    for (const TEntry& entry : entries) total += entry.Size;
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return std::tie(a.UsedSeconds, a.UsedNanoseconds, a.Name) <
               std::tie(b.UsedSeconds, b.UsedNanoseconds, b.Name);
    });
    for (const TEntry& entry : entries) {
        if (total <= maxBytes) break;
        if (::unlink((prefix + entry.Name).c_str()) != 0) continue;
        total -= entry.Size;
        ++result.Removed;
        result.RemovedBytes += entry.Size;
    }
    result.KeptBytes = total;
    return result;
}

}  // namespace wbx
