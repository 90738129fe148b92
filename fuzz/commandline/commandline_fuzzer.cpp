// Fuzz target for the command line: the bytes split at NUL into arguments
// (as the program receives them) and parsed. Checks: parsing never raises;
// a refused command line says why, and a refusal about a value names the
// option in one line; an outfit is only given with no refusal of its own; an
// accepted command line holds only values in their ranges. A crash, a
// sanitizer report or a failed check is a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/commandline.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back() += static_cast<char>(data[i]);
    }
    const wbx::TCommandLine c = wbx::ParseCommandLine(arguments);
    if (c.BadValue) {
        Check(!c.Error.empty());
        Check(c.Error.rfind("--outfit: ", 0) == 0);
        Check(c.Error.find('\n') == std::string::npos);
        Check(!c.Outfit.has_value());
    }
    if (!c.Error.empty() || c.Help) return 0;
    if (c.DataFolder) Check(!c.DataFolder->empty());
    const wbx::TRenderArguments& r = c.Render;
    Check(r.Yaw >= 0 && r.Yaw < 4096);
    Check(r.Pitch >= -890 && r.Pitch <= 890);
    Check(r.Zoom >= 0.2f && r.Zoom <= 3.0f);
    Check(r.Width >= 1 && r.Height >= 1 && r.Width * r.Supersample <= 16384 &&
          r.Height * r.Supersample <= 16384);
    const wbx::TCatalogueArguments& k = c.Catalogue;
    Check(k.Shard >= 1 && k.Shard <= k.Shards);
    Check(k.ThumbnailWidth >= 1 && k.ThumbnailWidth <= 16384 && k.Width >= 1 && k.Width <= 16384);
    Check(k.Zoom >= 0.2f && k.Zoom <= 3.0f);
    for (const auto& set : r.Outfit.Sets) Check(!set.first.empty() && !set.second.empty());
    return 0;
}
