#pragma once
// The painting half of the texture composition: the twelve layers of one side,
// bottom to top, into a locked, already cleared 256 x 512 A1R5G5B5 surface.
// (Creating, clearing, locking and unlocking the texture is the window's part.)

#include <array>
#include <string>

#include "app/partlists.h"
#include "d3d9/d3d9types.h"

namespace wbx {

class TLayerCache;

// The text of the item selected in each part list, indexed by TPartList; ""
// for a list without a selection.
using TPartSelection = std::array<std::string, kPartListCount>;

// The layer file of an item: AvatarPath + "%s_%.2d.pav" of the item and the
// layer index, found case-insensitively.
std::string LayerFileName(const std::string& item, int32_t layerIndex);

// Draws the layers of order for the selected items into bits (row pitch in
// bytes). A list without a selection and a missing layer file contribute
// nothing. A damaged layer file raises its stream error and stops the
// painting at that layer.
void ComposeLayers(const TLayerOrder& order, const TPartSelection& selection, uint8_t* bits, int32_t pitch);
// The same, taking the layers' contents from cache (layercache.h): the same
// pixels and the same errors, naming the file.
void ComposeLayers(const TLayerOrder& order, const TPartSelection& selection, uint8_t* bits, int32_t pitch,
                   TLayerCache& cache);

// The check of a texture's LockRect and UnlockRect results: a failure raises
// Exception("へたこいた") when the device layer halts on errors
// (HaltOnErrorSwitch); otherwise it goes unreported. Returns result.
HRESULT CheckSurfaceResult(HRESULT result);

}  // namespace wbx
