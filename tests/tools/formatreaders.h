#pragma once
// Small readers of the data folder's formats, written from the format tables
// independently of the writers, for round-trip tests. Short or damaged input
// raises the stream library's exceptions (EReadError, EZDecompressionError).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sampledata/layerfile.h"
#include "sampledata/modelfile.h"

namespace wbx::testing {

struct WrapperHeader {
    int32_t DeclaredSize;
    uint32_t SecondValue;
};
WrapperHeader ReadWrapperHeader(const std::vector<uint8_t>& file);
// The content: exactly the declared number of inflated bytes.
std::vector<uint8_t> ReadCompressed(const std::vector<uint8_t>& file);
// X, Y, W, H and W*H pixels from the start of the content; trailing bytes ignored.
sampledata::LayerImage ReadLayer(const std::vector<uint8_t>& content);
sampledata::ModelFile ReadModel(const std::vector<uint8_t>& file);

std::vector<uint8_t> ReadFileBytes(const std::string& fileName);

// Item prefixes of the files in folder matching mask ('*' wildcard, compared
// case-insensitively), files only, sorted by their upper-cased names.
std::vector<std::string> ListItems(const std::string& folder, const std::string& mask);
// The file in folder whose name equals name case-insensitively ("" when none).
std::string FindFileNoCase(const std::string& folder, const std::string& name);

// A composed 256 x 512 A1R5G5B5 texture.
using Texture = std::vector<uint16_t>;
// Composes the front or back texture from the items selected in the ten part
// lists (empty: none), in the viewer's layer order; missing files are skipped.
Texture Compose(const std::string& avatarFolder, const std::array<std::string, 10>& selection, bool back);

}  // namespace wbx::testing
