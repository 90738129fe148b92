#pragma once
// What every subcommand settles before drawing: the data folder (given, or
// the one the viewer stored), the outfit (the start-up outfit changed by the
// command line, each item checked against what the data folder offers), and
// whether the files asked for can be written. Each answers a message for
// the user when it cannot, which the subcommand prints with exit status 2.

#include <optional>
#include <string>

#include "viewer/commandline.h"
#include "viewer/composition.h"
#include "viewer/outfit.h"

namespace wbx {

// Sets the data folder (datafolder.h) from given, or from the settings file
// when nothing is given. False, with error, when it is not usable.
bool SetUpDataFolder(const std::optional<std::string>& given, std::string& error);

struct TBatchOutfit {
    std::string Body = "type1";
    TPartSelection Parts;  // by slot, "" for nothing
};

// The outfit of --outfit's value: a share code, or else the name of an outfit
// saved in the outfits file (outfitstore.h). nullopt, with error naming the
// value and up to three of the closest saved names, when it is neither.
std::optional<TOutfit> NamedOrCodedOutfit(const std::string& text, std::string& error);

// The start-up outfit with the arguments applied. False, with error naming
// the unknown item and up to three of the slot's closest IDs, when an item is
// not in its slot's list.
bool ResolveOutfit(const TOutfitArguments& arguments, TBatchOutfit& outfit, std::string& error);

// True when a file can be created in folder ("" is the current folder): a
// file is made there and removed. False, with error, when not.
bool CanWriteInto(const std::string& folder, std::string& error);
// The same for the folder of fileName.
bool CanWriteFile(const std::string& fileName, std::string& error);

}  // namespace wbx
