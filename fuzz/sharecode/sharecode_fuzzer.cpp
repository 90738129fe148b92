// Fuzz target for the share-code reader: the bytes as a pasted share code.
// Checks: a code is either read or refused with a message, never both; an
// outfit read has a known body type and items the part lists could hold; its
// code, written again, reads back as the same outfit. A crash or a sanitizer
// report is a finding.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "viewer/sharecode.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view code(reinterpret_cast<const char*>(data), size);
    const wbx::TShareCodeResult result = wbx::DecodeShareCode(code);
    Check(result.Outfit.has_value() != !result.Error.empty());
    if (!result.Outfit) return 0;

    const wbx::TOutfit& outfit = *result.Outfit;
    Check(wbx::NormalizedBodyType(outfit.BodyType) == outfit.BodyType);
    for (int i = 0; i < wbx::kPartListCount; ++i) {
        const std::string& item = outfit.Items[static_cast<size_t>(i)];
        Check(item.empty() || wbx::ItemProblem(static_cast<wbx::TPartList>(i), item).empty());
    }
    const std::string again = wbx::EncodeShareCode(outfit);
    const wbx::TShareCodeResult reread = wbx::DecodeShareCode(again);
    Check(reread.Outfit.has_value() && *reread.Outfit == outfit);
    return 0;
}
