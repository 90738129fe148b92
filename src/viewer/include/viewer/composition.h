#pragma once
// The texture composition: the twelve layers of one side, bottom to top,
// painted into a 256 x 512 A1R5G5B5 texture that is (re)created, cleared to
// transparent, locked and unlocked around them.

#include <array>
#include <string>

#include "d3d9/d3d9types.h"
#include "viewer/partlists.h"

namespace wbx {

class TKVTexture;
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

// One side of the figure into texture: SetSize(256, 512), cleared to 0, then
// the layers of order for the selected items painted through a lock of level
// 0, their contents taken from cache. Only an A1R5G5B5 texture is painted
// (layers are copied texel for texel); without one (its creation failed and
// was reported) or when the lock fails, the texture stays cleared. A layer
// that raises stops the painting; the texture is unlocked before the error
// goes on. texture may be nullptr (nothing to do).
void ComposeTexture(TKVTexture* texture, const TLayerOrder& order, const TPartSelection& selection,
                    TLayerCache& cache);

// The check of a texture's LockRect and UnlockRect results: a failure raises
// Exception("へたこいた") when the device layer halts on errors
// (HaltOnErrorSwitch); otherwise it goes unreported. Returns result.
HRESULT CheckSurfaceResult(HRESULT result);

}  // namespace wbx
