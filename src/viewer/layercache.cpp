#include "viewer/layercache.h"

#include <system_error>

#include "viewer/compressedfile.h"

namespace wbx {

TMemoryStream* TLayerCache::Content(const std::string& fileName) {
    std::error_code sizeError, timeError;
    const uintmax_t fileSize = std::filesystem::file_size(fileName, sizeError);
    const std::filesystem::file_time_type modifiedAt = std::filesystem::last_write_time(fileName, timeError);
    auto found = entries_.find(fileName);
    if (found != entries_.end()) {
        TEntry& entry = *found->second;
        if (!sizeError && !timeError && entry.FileSize == fileSize && entry.ModifiedAt == modifiedAt) {
            entry.LastUse = ++uses_;
            entry.Content.SetPosition(0);
            return &entry.Content;
        }
        bytes_ -= entry.Content.Size();
        entries_.erase(found);
    }

    auto entry = std::make_unique<TEntry>();
    bool exists = false;
    try {
        exists = ReadCompressedFile(fileName, entry->Content);
    } catch (...) {
        ++reads_;
        throw;
    }
    if (!exists) return nullptr;
    ++reads_;
    entry->Content.SetPosition(0);
    // A file whose size or time could not be read, or a content larger than
    // the whole cache, is handed out for this once and not kept.
    if (sizeError || timeError || entry->Content.Size() > capacity_) {
        scratch_ = std::move(entry);
        return &scratch_->Content;
    }
    entry->FileSize = fileSize;
    entry->ModifiedAt = modifiedAt;
    entry->LastUse = ++uses_;
    bytes_ += entry->Content.Size();
    TMemoryStream* content = &entry->Content;
    entries_[fileName] = std::move(entry);
    Evict();  // the new entry is the most recently used: it stays
    return content;
}

void TLayerCache::Evict() {
    while (bytes_ > capacity_ && !entries_.empty()) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second->LastUse < oldest->second->LastUse) oldest = it;
        bytes_ -= oldest->second->Content.Size();
        entries_.erase(oldest);
    }
}

void TLayerCache::Clear() {
    entries_.clear();
    scratch_.reset();
    bytes_ = 0;
}

}  // namespace wbx
