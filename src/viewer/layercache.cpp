#include "viewer/layercache.h"

#include <sys/stat.h>

#include "viewer/compressedfile.h"

namespace wbx {

bool TLayerCache::IdentityOf(const std::string& fileName, TFileIdentity& identity) {
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0) return false;
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<int64_t>(time.tv_sec) * 1000000000 + static_cast<int64_t>(time.tv_nsec);
    };
    identity.Device = static_cast<uint64_t>(status.st_dev);
    identity.Inode = static_cast<uint64_t>(status.st_ino);
    identity.Size = static_cast<int64_t>(status.st_size);
    identity.ModifiedNs = nanoseconds(status.st_mtim);
    identity.ChangedNs = nanoseconds(status.st_ctim);
    return true;
}

TMemoryStream* TLayerCache::Content(const std::string& fileName) {
    TFileIdentity before;
    const bool known = IdentityOf(fileName, before);
    auto found = entries_.find(fileName);
    if (found != entries_.end()) {
        TEntry& entry = *found->second;
        if (known && entry.Identity == before) {
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
    // Kept only when the file was the same before and after the read, and
    // settled: its last change lies far enough back that a change now would
    // show in its times.
    const int64_t readAtNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    TFileIdentity after;
    const bool keep = known && IdentityOf(fileName, after) && after == before &&
                      before.ChangedNs <= readAtNs - settleTime_.count() &&
                      entry->Content.Size() <= capacity_;
    if (!keep) {
        scratch_ = std::move(entry);
        return &scratch_->Content;
    }
    entry->Identity = before;
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

void TLayerCache::Forget(const std::string& fileName) {
    const auto found = entries_.find(fileName);
    if (found == entries_.end()) return;
    bytes_ -= found->second->Content.Size();
    entries_.erase(found);
}

void TLayerCache::Clear() {
    entries_.clear();
    scratch_.reset();
    bytes_ = 0;
}

}  // namespace wbx
