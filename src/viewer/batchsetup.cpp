#include "viewer/batchsetup.h"

#include <algorithm>
#include <filesystem>

#include "base/format.h"
#include "base/path.h"
#include "viewer/atomicfile.h"
#include "viewer/datafolder.h"
#include "viewer/inifile.h"
#include "viewer/outfitstore.h"
#include "viewer/settingsfile.h"
#include "viewer/sharecode.h"
#include "viewer/slotnames.h"

namespace wbx {

bool SetUpDataFolder(const std::optional<std::string>& given, std::string& error) {
    std::string folder;
    if (given) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(*given, ec);
        folder = ec ? *given : absolute.string();
    } else {
        try {
            folder = TIniFile(SettingsFileName()).ReadString("app", "path", "");
        } catch (const std::exception&) {
            folder.clear();
        }
        if (folder.empty()) {
            error = "no data folder: give one with --data or store one by starting the viewer once.";
            return false;
        }
    }
    if (CheckDataFolder(folder)) return true;
    error = Format("\"%s\" is not a usable data folder (it needs the folder item/avatar below it).", folder);
    return false;
}

namespace {

// item ("" for none) as the slot's list spells it, or an error naming it and
// the closest IDs the slot offers.
bool ResolveItem(TPartList slot, const std::string& item, std::string& chosen, std::string& error) {
    if (item.empty() || item == kNoPartItem) {
        chosen.clear();
        return true;
    }
    const TStringList items = SlotItems(slot);
    const int index = FindItem(items, item);
    if (index >= 0) {
        chosen = items[static_cast<size_t>(index)];
        return true;
    }
    error = WithClosestNames(Format("unknown %s item \"%s\"", SlotName(slot), item), item, items) + ".";
    return false;
}

}  // namespace

std::optional<TOutfit> NamedOrCodedOutfit(const std::string& text, std::string& error) {
    const TShareCodeResult decoded = DecodeShareCode(text);
    if (decoded.Outfit) return decoded.Outfit;
    const TOutfitStore store(OutfitsFileName());
    if (std::optional<TOutfit> saved = store.Find(text)) return saved;
    // Something written as a code is most likely a code with a fault in it.
    if (text.starts_with(kShareCodePrefix)) {
        error = "--outfit: " + decoded.Error;
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const TNamedOutfit& named : store.Outfits()) names.push_back(named.Name);
    error =
        WithClosestNames(Format("--outfit: no share code and no saved outfit \"%s\"", text), text, names) +
        ".";
    return std::nullopt;
}

bool ResolveOutfit(const TOutfitArguments& arguments, TBatchOutfit& outfit, std::string& error) {
    outfit.Body = "type1";
    outfit.Parts = StartSelection();
    // The items asked for, by slot: the code's, then each --set over them;
    // checked against the folder once all are known (a --set may replace an
    // item of the code that this folder lacks).
    TPartSelection wanted = outfit.Parts;
    if (arguments.ShareCode) {
        const std::optional<TOutfit> given = NamedOrCodedOutfit(*arguments.ShareCode, error);
        if (!given) return false;
        outfit.Body = given->BodyType;
        std::copy(given->Items.begin(), given->Items.end(), wanted.begin());
    }
    if (arguments.Body) outfit.Body = *arguments.Body;
    for (const auto& [slotName, item] : arguments.Sets) {
        const std::optional<TPartList> slot = SlotByName(slotName);
        if (!slot) {
            error = Format("unknown slot \"%s\".", slotName);
            return false;
        }
        wanted[static_cast<size_t>(*slot)] = item == "none" ? std::string() : item;
    }
    for (int list = 0; list < kPartListCount; ++list) {
        const size_t slot = static_cast<size_t>(list);
        if (wanted[slot] == outfit.Parts[slot]) continue;
        if (!ResolveItem(static_cast<TPartList>(list), wanted[slot], outfit.Parts[slot], error)) return false;
    }
    return true;
}

bool CanWriteInto(const std::string& folder, std::string& error) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    std::error_code ec;
    if (!std::filesystem::is_directory(where, ec)) {
        error = Format("the folder \"%s\" does not exist.", where);
        return false;
    }
    try {
        TAtomicFile probe(IncludeTrailingPathDelimiter(where) + "wardrobix-probe", "probe");
    } catch (const EWriteFailure& failure) {
        error = Format("cannot write into the folder \"%s\": %s", where, failure.Message());
        return false;
    }
    return true;
}

bool CanWriteFile(const std::string& fileName, std::string& error) {
    if (fileName.empty() || fileName.back() == PathDelim) {
        error = Format("\"%s\" is not a file name.", fileName);
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(fileName, ec)) {
        error = Format("\"%s\" is a folder.", fileName);
        return false;
    }
    return CanWriteInto(ExtractFilePath(fileName), error);
}

}  // namespace wbx
