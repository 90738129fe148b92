#include "app/composition.h"

#include "app/datafolder.h"
#include "app/layer.h"
#include "app/layercache.h"
#include "app/pathresolver.h"
#include "base/format.h"
#include "device/diagnostics.h"

namespace wbx {

std::string LayerFileName(const std::string& item, int32_t layerIndex) {
    return ResolvePath(AvatarPath + Format("%s_%.2d.pav", item, layerIndex));
}

void ComposeLayers(const TLayerOrder& order, const TPartSelection& selection, uint8_t* bits, int32_t pitch) {
    for (const TLayerStep& step : order) {
        const std::string& item = selection[static_cast<size_t>(step.List)];
        if (item.empty()) continue;
        DrawLayerFile(LayerFileName(item, step.LayerIndex), bits, pitch);
    }
}

void ComposeLayers(const TLayerOrder& order, const TPartSelection& selection, uint8_t* bits, int32_t pitch,
                   TLayerCache& cache) {
    for (const TLayerStep& step : order) {
        const std::string& item = selection[static_cast<size_t>(step.List)];
        if (item.empty()) continue;
        const std::string fileName = LayerFileName(item, step.LayerIndex);
        TMemoryStream* content = cache.Content(fileName);
        if (content == nullptr) continue;
        try {
            DrawLayerContent(*content, bits, pitch);
        } catch (const EReadError& error) {
            // As DrawLayerFile reports it: the user learns which file is short.
            throw EReadError(Format("%s: \"%s\"", error.Message(), fileName));
        }
    }
}

HRESULT CheckSurfaceResult(HRESULT result) {
    if (result != 0 && HaltOnErrorSwitch) throw Exception("へたこいた");
    return result;
}

}  // namespace wbx
