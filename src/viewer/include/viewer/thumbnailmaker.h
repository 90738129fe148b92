#pragma once
// TThumbnailMaker: one item's thumbnail, from the disk cache when it holds one
// for the layer files as they are now, else composed and stored there.
//
// Each worker thread owns a maker: it resolves the layer files' names
// case-insensitively with a resolver of its own (the session's resolver is
// the GUI thread's), so makers share nothing but the cache.

#include <string>

#include "viewer/pathresolver.h"
#include "viewer/thumbnail.h"
#include "viewer/thumbnailcache.h"

namespace wbx {

struct TThumbnailResult {
    TThumbnail Thumbnail;
    bool FromCache = false;
    std::string Error;  // a damaged layer file's message; the thumbnail is then empty
};

class TThumbnailMaker {
public:
    // avatarFolder: the folder of the layer files (ending in a separator);
    // cache may be nullptr (no disk cache) and must outlive the maker.
    TThumbnailMaker(std::string avatarFolder, const TThumbnailCache* cache, int32_t size = kThumbnailSize);

    // The thumbnail of item (an ID of list, "00_10030") for side. "なし" and
    // an item without layer files on that side give an empty thumbnail.
    // Never raises for a damaged file: it is reported in Error and not cached.
    TThumbnailResult Make(TPartList list, const std::string& item, TThumbnailSide side);

private:
    std::string avatarFolder_;
    const TThumbnailCache* cache_;
    int32_t size_;
    TPathResolver resolver_;
};

}  // namespace wbx
