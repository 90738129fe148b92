#include "viewer/outfit.h"

#include "asciicase.h"

namespace wbx {

namespace {

constexpr std::array<const char*, kPartListCount> kSlotNames = {
    "hair", "body", "upper", "bottom", "shoes", "wear", "face", "costume", "fashion", "accessory"};

// Characters as the part lists count them: a byte that does not continue a
// UTF-8 sequence starts one.
size_t CharacterCount(std::string_view text) {
    size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

}  // namespace

const char* SlotName(TPartList list) { return kSlotNames[static_cast<size_t>(list)]; }

std::optional<TPartList> SlotByName(std::string_view name) {
    for (size_t i = 0; i < kSlotNames.size(); ++i)
        if (SameTextAscii(name, kSlotNames[i])) return static_cast<TPartList>(i);
    return std::nullopt;
}

std::optional<std::string> NormalizedBodyType(std::string_view text) {
    for (int type = 1; type <= kBodyTypeCount; ++type) {
        const std::string name = "type" + std::to_string(type);
        if (SameTextAscii(text, name)) return name;
    }
    return std::nullopt;
}

std::string ItemProblem(TPartList list, std::string_view item) {
    const std::string prefix = "0" + std::to_string(static_cast<int>(list)) + "_";
    if (item.substr(0, prefix.size()) != prefix) return "does not begin with " + prefix;
    if (CharacterCount(item) != 8) return "is not eight characters long";
    return std::string();
}

int FindItem(const std::vector<std::string>& items, std::string_view item) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item) return static_cast<int>(i);
    for (size_t i = 0; i < items.size(); ++i)
        if (SameTextAscii(items[i], item)) return static_cast<int>(i);
    return -1;
}

}  // namespace wbx
