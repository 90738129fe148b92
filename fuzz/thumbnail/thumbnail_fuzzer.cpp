// Fuzz target for the thumbnail cache's file reader: the bytes as a cache
// file looked up under the key "front 64\nfuzz" (the seeds are made for it).
// Checks: a file read as good holds a thumbnail of sane size whose pixels
// number width times height, and writing that thumbnail and reading it back
// gives it again. A crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/thumbnailcache.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string key = "front 64\nfuzz";
    wbx::TThumbnail thumbnail;
    if (!wbx::DecodeThumbnailFile(data, size, key, thumbnail)) {
        Check(thumbnail.Empty());
        return 0;
    }
    Check(thumbnail.Width >= 0 && thumbnail.Width <= wbx::kMaxThumbnailSize);
    Check(thumbnail.Height >= 0 && thumbnail.Height <= wbx::kMaxThumbnailSize);
    Check(thumbnail.Pixels.size() == static_cast<size_t>(thumbnail.Width) * thumbnail.Height);
    const std::vector<uint8_t> again = wbx::EncodeThumbnailFile(key, thumbnail);
    wbx::TThumbnail reread;
    Check(wbx::DecodeThumbnailFile(again.data(), again.size(), key, reread));
    Check(reread == thumbnail);
    return 0;
}
