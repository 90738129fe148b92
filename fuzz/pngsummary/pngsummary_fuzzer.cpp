// Fuzz target for the look a resumed catalogue takes at the pictures a
// previous run left: the bytes as a PNG file, read, and any text chunk
// read as a picture's stamp. Checks: a file taken as whole has a size and
// its stamp, when read, writes back to the same text. A crash, a sanitizer
// report or a failed check is a finding.

#include <cstddef>
#include <cstdint>
#include <span>

#include "viewer/pngsummary.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<wbx::TPngInfo> info = wbx::SummarizePng(std::span<const uint8_t>(data, size));
    if (!info) return 0;
    Check(info->Width > 0 && info->Height > 0);
    for (const wbx::TPngText& text : info->Texts) {
        if (const std::optional<wbx::TPictureStamp> stamp = wbx::ParseStamp(text.Text))
            Check(wbx::FormatStamp(*stamp) == text.Text);
    }
    return 0;
}
