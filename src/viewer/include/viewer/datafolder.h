#pragma once
// The data folder: the unpacked game data the viewer reads (and never writes).
//
// The three globals are set by CheckDataFolder during start-up and read by the
// part lists, the layer files and the model loading; they do not change once
// start-up is over. GUI thread only.

#include <string>

namespace wbx {

// The data folder, always ending in PathDelim.
extern std::string BasePath;
// The folder of the layer files: BasePath + "item/avatar/", as it exists on
// disk when its spelling differs only in case (see pathresolver.h).
extern std::string AvatarPath;
// BasePath + "character/models/tpv/%s/base.pdt": a Format string whose "%s"
// takes a model name ("type1" ... "type10"). Any '%' of BasePath is doubled so
// that formatting reproduces the folder's name instead of misreading it.
extern std::string ModelPathFormat;

// Sets the three globals from folder (a separator is appended unless it ends in
// one; "" gives the root) and tells whether the folder can be used: BasePath
// and the avatar folder below it both exist (the avatar folder found
// case-insensitively). The model folder is not tested here. The globals are
// set whatever the outcome.
bool CheckDataFolder(const std::string& folder);

// The model file of a model name: ModelPathFormat formatted with it, resolved
// case-insensitively below BasePath.
std::string ModelFileName(const std::string& modelName);

}  // namespace wbx
