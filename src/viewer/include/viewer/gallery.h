#pragma once
// The catalogue's gallery page, index.html: one self-contained page (its
// style and a little script inline; no network, no external script or font)
// showing every item's thumbnail grouped by slot, a search field that keeps
// the items whose ID contains what is typed, and, on a click (or Enter), the
// item's front and back pictures large. "index.html#q=TEXT" opens it
// searched for TEXT (the address follows what is typed). Pictures are referred to by their
// paths relative to the page, so the folder can be moved or served as it is.
//
// Written as the catalogue's entries arrive (an item's three in a row).

#include <string>

#include "viewer/cataloguemanifest.h"

namespace wbx {

class TGalleryWriter {
public:
    // Writes the page's head at once.
    TGalleryWriter(TAtomicFile& out, const TCatalogueHeader& header);
    void Add(const TCatalogueEntry& entry);
    // Writes the rest of the page.
    void Finish();

private:
    void FlushItem();

    TAtomicFile& out_;
    std::string slot_;  // the slot whose section is open ("" before the first)
    TCatalogueEntry pending_[kCatalogueViewCount];
    bool hasPending_[kCatalogueViewCount] = {false, false, false};
    std::string pendingItem_;
    int32_t thumbnailWidth_, thumbnailHeight_;
};

// A relative path as a URL's path: every byte but the unreserved characters
// and '/' percent-encoded (an item's ID may hold '#', '%', '?' or spaces).
std::string UrlPath(const std::string& path);
// text with &, <, >, " and ' written as HTML character references.
std::string HtmlEscape(const std::string& text);

}  // namespace wbx
