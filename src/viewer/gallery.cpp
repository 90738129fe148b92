#include "viewer/gallery.h"

#include <cstring>

#include "viewer/slotnames.h"

namespace wbx {

namespace {

constexpr const char* kStyle = R"(<style>
:root { color-scheme: light; --tile: #d8d8d8; --text: #222; --muted: #666; --accent: #3b6ea5; }
* { box-sizing: border-box; }
body { margin: 0; font: 14px/1.4 system-ui, sans-serif; color: var(--text); background: #f4f4f4; }
header { position: sticky; top: 0; z-index: 1; display: flex; flex-wrap: wrap; gap: 8px 16px; align-items: center;
         padding: 12px 20px; background: #fff; border-bottom: 1px solid #ccc; }
h1 { font-size: 18px; margin: 0; }
.settings, #count { color: var(--muted); }
#search { font: inherit; padding: 6px 10px; min-width: 220px; border: 1px solid #aaa; border-radius: 4px; }
main { padding: 8px 20px 40px; }
h2 { font-size: 16px; margin: 20px 0 8px; text-transform: capitalize; }
.grid { display: flex; flex-wrap: wrap; gap: 10px; }
.item { margin: 0; padding: 6px; background: #fff; border: 1px solid #ddd; border-radius: 6px; cursor: pointer;
        text-align: center; }
.item:hover, .item:focus { outline: 2px solid var(--accent); outline-offset: 1px; }
.item img, .item .missing { display: block; background: var(--tile); border-radius: 3px; }
.item .missing { display: flex; align-items: center; justify-content: center; color: #a33; font-size: 12px; padding: 6px; }
.item figcaption { margin-top: 4px; font: 12px ui-monospace, monospace; }
[hidden] { display: none !important; }
#viewer { position: fixed; inset: 0; z-index: 2; display: flex; flex-direction: column; align-items: center;
          justify-content: center; gap: 12px; background: rgba(20, 20, 20, 0.85); color: #fff; }
#viewer .pair { display: flex; gap: 16px; max-width: 96vw; }
#viewer figure { margin: 0; text-align: center; }
#viewer img { display: block; max-width: 46vw; max-height: 78vh; background: var(--tile); }
#viewer button { font: inherit; padding: 6px 16px; }
</style>
)";

constexpr const char* kScript = R"js(<script>
(function () {
  "use strict";
  var items = Array.prototype.slice.call(document.querySelectorAll("main .item"));
  var sections = Array.prototype.slice.call(document.querySelectorAll("main .slot"));
  var search = document.getElementById("search");
  var count = document.getElementById("count");
  var viewer = document.getElementById("viewer");
  var front = document.getElementById("front");
  var back = document.getElementById("back");
  var title = document.getElementById("viewer-title");
  function filter() {
    var wanted = search.value.trim().toLowerCase();
    var shown = 0;
    items.forEach(function (item) {
      var hit = item.getAttribute("data-id").toLowerCase().indexOf(wanted) !== -1;
      item.hidden = !hit;
      if (hit) shown += 1;
    });
    sections.forEach(function (section) {
      section.hidden = section.querySelector(".item:not([hidden])") === null;
    });
    count.textContent = shown + " of " + items.length + " items";
  }
  function show(item) {
    title.textContent = item.getAttribute("data-slot") + " " + item.getAttribute("data-id");
    var error = item.getAttribute("data-error");
    if (error) {
      title.textContent += ": " + error;
      front.removeAttribute("src");
      back.removeAttribute("src");
    } else {
      front.src = item.getAttribute("data-front");
      back.src = item.getAttribute("data-back");
    }
    viewer.hidden = false;
    document.getElementById("close").focus();
  }
  function hide() { viewer.hidden = true; }
  document.querySelector("main").addEventListener("click", function (event) {
    var item = event.target.closest(".item");
    if (item) show(item);
  });
  document.querySelector("main").addEventListener("keydown", function (event) {
    var item = event.target.closest(".item");
    if (item && event.key === "Enter") show(item);
  });
  viewer.addEventListener("click", function (event) {
    if (event.target === viewer || event.target.id === "close") hide();
  });
  document.addEventListener("keydown", function (event) {
    if (event.key === "Escape") hide();
  });
  search.addEventListener("input", function () {
    filter();
    try { history.replaceState(null, "", search.value ? "#q=" + encodeURIComponent(search.value) : "#"); } catch (e) {}
  });
  // "index.html#q=TEXT" opens the page searched for TEXT.
  if (location.hash.indexOf("#q=") === 0) {
    try { search.value = decodeURIComponent(location.hash.slice(3)); } catch (e) { search.value = ""; }
  }
  filter();
})();
</script>
)js";

}  // namespace

std::string UrlPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            std::strchr("-._~/", c) != nullptr) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

TGalleryWriter::TGalleryWriter(TAtomicFile& out, const TCatalogueHeader& header)
    : out_(out), thumbnailWidth_(header.ThumbnailWidth), thumbnailHeight_(header.ThumbnailHeight) {
    const std::string settings = HtmlEscape(header.Body) + " · " + std::to_string(header.Width) + " × " +
                                 std::to_string(header.Height) + " · " + HtmlEscape(header.Background);
    out_.Write(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"generator\" content=\"" +
        HtmlEscape(header.Generator) +
        "\">\n"
        "<title>wardrobix catalogue: " +
        HtmlEscape(header.Body) + "</title>\n");
    out_.Write(kStyle);
    out_.Write(
        "</head>\n<body>\n<header>\n<h1>wardrobix catalogue</h1>\n<span class=\"settings\">" + settings +
        "</span>\n<input id=\"search\" type=\"search\" placeholder=\"Search by ID\" "
        "aria-label=\"Search by ID\" autocomplete=\"off\">\n<span id=\"count\"></span>\n</header>\n<main>\n");
}

void TGalleryWriter::Add(const TCatalogueEntry& entry) {
    const std::string slot = SlotName(entry.Slot);
    if (entry.Item != pendingItem_ || slot != slot_) FlushItem();
    if (slot != slot_) {
        if (!slot_.empty()) out_.Write("</div>\n</section>\n");
        out_.Write("<section class=\"slot\" data-slot=\"" + HtmlEscape(slot) + "\">\n<h2>" +
                   HtmlEscape(slot) + "</h2>\n<div class=\"grid\">\n");
        slot_ = slot;
    }
    pendingItem_ = entry.Item;
    const auto view = static_cast<size_t>(entry.View);
    pending_[view] = entry;
    hasPending_[view] = true;
}

void TGalleryWriter::FlushItem() {
    bool any = false;
    std::string error;
    for (size_t v = 0; v < kCatalogueViewCount; ++v) {
        any = any || hasPending_[v];
        if (hasPending_[v] && error.empty()) error = pending_[v].Error;
    }
    if (!any) return;
    const auto file = [&](TCatalogueView view) {
        const auto v = static_cast<size_t>(view);
        return hasPending_[v] && pending_[v].Error.empty() ? UrlPath(pending_[v].File) : std::string();
    };
    const std::string id = HtmlEscape(pendingItem_);
    std::string tile = "<figure class=\"item\" tabindex=\"0\" data-slot=\"" + HtmlEscape(slot_) +
                       "\" data-id=\"" + id + "\" data-front=\"" + HtmlEscape(file(TCatalogueView::Front)) +
                       "\" data-back=\"" + HtmlEscape(file(TCatalogueView::Back)) + "\"";
    if (!error.empty()) tile += " data-error=\"" + HtmlEscape(error) + "\"";
    tile += ">";
    const std::string size = "width=\"" + std::to_string(thumbnailWidth_) + "\" height=\"" +
                             std::to_string(thumbnailHeight_) + "\"";
    const std::string thumbnail = file(TCatalogueView::Thumbnail);
    if (!thumbnail.empty())
        tile +=
            "<img src=\"" + HtmlEscape(thumbnail) + "\" alt=\"" + id + "\" " + size + " loading=\"lazy\">";
    else
        tile += "<div class=\"missing\" style=\"width:" + std::to_string(thumbnailWidth_) +
                "px;height:" + std::to_string(thumbnailHeight_) + "px\">not rendered</div>";
    tile += "<figcaption>" + id + "</figcaption></figure>\n";
    out_.Write(tile);
    for (bool& has : hasPending_) has = false;
}

void TGalleryWriter::Finish() {
    FlushItem();
    if (!slot_.empty()) out_.Write("</div>\n</section>\n");
    out_.Write(
        "</main>\n<div id=\"viewer\" hidden>\n<div class=\"pair\">\n"
        "<figure><img id=\"front\" alt=\"front\"><figcaption>front</figcaption></figure>\n"
        "<figure><img id=\"back\" alt=\"back\"><figcaption>back</figcaption></figure>\n</div>\n"
        "<p id=\"viewer-title\"></p>\n<button id=\"close\" type=\"button\">Close</button>\n</div>\n");
    out_.Write(kScript);
    out_.Write("</body>\n</html>\n");
}

}  // namespace wbx
