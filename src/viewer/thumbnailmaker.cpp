#include "viewer/thumbnailmaker.h"

#include "base/format.h"
#include "base/stream.h"

namespace wbx {

TThumbnailMaker::TThumbnailMaker(std::string avatarFolder, const TThumbnailCache* cache, int32_t size)
    : avatarFolder_(std::move(avatarFolder)), cache_(cache), size_(size) {}

TThumbnailResult TThumbnailMaker::Make(TPartList list, const std::string& item, TThumbnailSide side) {
    TThumbnailResult result;
    if (item.empty() || item == kNoPartItem) return result;
    std::vector<std::string> files;
    std::vector<TFileIdentity> identities;
    for (const int32_t layer : ThumbnailLayers(list, side)) {
        files.push_back(resolver_.Resolve(avatarFolder_ + Format("%s_%.2d.pav", item, layer)));
        identities.push_back(FileIdentity(files.back()));
    }
    const std::string key = TThumbnailCache::Key(identities, side, size_);
    if (cache_ != nullptr && cache_->Load(key, result.Thumbnail)) {
        result.FromCache = true;
        return result;
    }
    try {
        result.Thumbnail = ComposeThumbnail(files, size_);
    } catch (const Exception& error) {
        result.Thumbnail = {};
        result.Error = error.Message();
        return result;
    }
    // A file changed while it was read gives another identity next time; the
    // thumbnail stored under the old one is then simply never found.
    if (cache_ != nullptr) cache_->Store(key, result.Thumbnail);
    return result;
}

}  // namespace wbx
