#include "viewer/composition.h"

#include "base/format.h"
#include "device/diagnostics.h"
#include "device/texture.h"
#include "viewer/datafolder.h"
#include "viewer/layer.h"
#include "viewer/layercache.h"
#include "viewer/pathresolver.h"

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

void ComposeTexture(TKVTexture* texture, const TLayerOrder& order, const TPartSelection& selection,
                    TLayerCache& cache) {
    if (texture == nullptr) return;
    texture->SetSize(kLayerTextureWidth, kLayerTextureHeight);
    const RECT whole{0, 0, kLayerTextureWidth, kLayerTextureHeight};
    texture->FillColor(whole, 0, false);
    IDirect3DTexture9* surface = texture->Texture;
    if (surface == nullptr || texture->Format != D3DFMT_A1R5G5B5) return;
    D3DLOCKED_RECT locked{};
    // A failed lock leaves no surface to paint into: that side's layers are skipped.
    if (CheckSurfaceResult(surface->LockRect(0, &locked, nullptr, 0)) != D3D_OK || locked.pBits == nullptr)
        return;
    try {
        ComposeLayers(order, selection, static_cast<uint8_t*>(locked.pBits), locked.Pitch, cache);
    } catch (...) {
        // The layer's error is what the user needs to see; the unlock only
        // must not be left out.
        surface->UnlockRect(0);
        throw;
    }
    CheckSurfaceResult(surface->UnlockRect(0));
}

HRESULT CheckSurfaceResult(HRESULT result) {
    if (result != 0 && HaltOnErrorSwitch) throw Exception("へたこいた");
    return result;
}

}  // namespace wbx
