#pragma once
// The export encoders - animated WebP and GIF (libwebp, giflib) and glTF
// (tinygltf) - live in a module of their own, wardrobix-export.so, which the
// program loads the first time it encodes one of them: a start that exports
// nothing never maps those libraries. A program that links the encoders
// itself (wbx_encoders: tests, benchmarks) uses them directly and loads
// nothing.
//
// The module is looked for beside the program (the build folder), then in
// the installation's module folder relative to it (see ExportModuleFolders).

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/animationwriter.h"
#include "viewer/gltfexport.h"

namespace wbx {

inline constexpr char kExportModuleFileName[] = "wardrobix-export.so";
// Changes whenever TExportFunctions does: a module of another build is refused.
inline constexpr uint32_t kExportInterfaceVersion = 1;

using TEncodeAnimation = decltype(&EncodeAnimatedWebp);
using TBuildGlb = decltype(&BuildGlb);

// What the module offers, by address. Size and Version are checked first.
struct TExportFunctions {
    uint32_t Size;
    uint32_t Version;
    TEncodeAnimation EncodeAnimatedWebp;
    TEncodeAnimation EncodeAnimatedGif;
    TBuildGlb BuildGlb;
};

// The encoders: the linked ones, or the module's, loaded on the first call.
// Raises Exception naming the module and why it could not be used; a later
// call tries again. Safe to call from several threads.
const TExportFunctions& ExportFunctions();

// The folders searched for the module, first to last, for programFileName
// (the running program's executable): its own folder, then the installed
// module folder relative to it.
std::vector<std::string> ExportModuleFolders(const std::string& programFileName);

}  // namespace wbx

// The module's one exported name. The program declares it weak: it is
// defined only where the encoders are linked in.
extern "C" const wbx::TExportFunctions* wbx_export_functions();
