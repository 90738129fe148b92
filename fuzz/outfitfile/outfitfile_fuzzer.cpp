// Fuzz target for the outfits-file reader: the bytes as the file's text.
// Checks: every line of the text is either an outfit or kept; an outfit has a
// valid name that no line above uses; the file written from what was read
// reads back the same, and keeps every line it could not read byte for byte.
// A crash or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "viewer/outfitstore.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const wbx::TOutfitFile file = wbx::ParseOutfitFile(text);

    size_t lineBreaks = 0;
    for (const char c : text) lineBreaks += c == '\n';
    Check(file.Lines.size() == lineBreaks + (text.empty() || text.back() == '\n' ? 0 : 1));
    std::set<std::string> names;
    for (const wbx::TOutfitFileLine& line : file.Lines) {
        if (!line.Outfit) continue;
        Check(wbx::OutfitNameProblem(line.Outfit->Name).empty());
        Check(names.insert(line.Outfit->Name).second);
    }
    Check(file.Problems.size() <= file.Lines.size());

    const wbx::TOutfitFile reread = wbx::ParseOutfitFile(wbx::FormatOutfitFile(file));
    Check(reread.Lines.size() == file.Lines.size());
    for (size_t i = 0; i < file.Lines.size(); ++i) {
        Check(reread.Lines[i].Outfit == file.Lines[i].Outfit);
        if (!file.Lines[i].Outfit) Check(reread.Lines[i].Text == file.Lines[i].Text);
    }
    Check(reread.Problems.size() == file.Problems.size());
    return 0;
}
