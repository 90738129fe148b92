#include "texture.h"

#include <algorithm>

#include "softwaredevice.h"

namespace wbx {

UINT SoftwareTexture::FullChainLength(UINT width, UINT height) {
    UINT side = std::max(width, height);
    UINT levels = 1;
    while (side > 1) {
        side >>= 1;
        ++levels;
    }
    return levels;
}

uint64_t SoftwareTexture::ChainBytes(UINT width, UINT height, UINT levels, D3DFORMAT format) {
    uint64_t bytes = 0;
    for (UINT i = 0; i < levels; ++i) {
        bytes += SoftwareSurface::ByteSize(std::max(1u, width >> i), std::max(1u, height >> i), format);
    }
    return bytes;
}

SoftwareTexture::SoftwareTexture(SoftwareDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool)
    : DeviceChild(device, pool, ChainBytes(width, height, levels, format)), format_(format) {
    levels_.reserve(levels);
    for (UINT i = 0; i < levels; ++i) {
        levels_.push_back(std::make_unique<SoftwareSurface>(device, this, std::max(1u, width >> i),
                                                            std::max(1u, height >> i), format, usage, pool));
    }
}

SoftwareTexture::~SoftwareTexture() { Device()->Forget(this); }

HRESULT SoftwareTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[Level]->GetDesc(pDesc);
}

HRESULT SoftwareTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
    if (ppSurfaceLevel == nullptr) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = nullptr;
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    levels_[Level]->AddRef();  // counts on this texture
    *ppSurfaceLevel = levels_[Level].get();
    return D3D_OK;
}

HRESULT SoftwareTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    if (Level >= levels_.size()) {
        if (pLockedRect != nullptr) *pLockedRect = D3DLOCKED_RECT{0, nullptr};
        return D3DERR_INVALIDCALL;
    }
    return levels_[Level]->LockRect(pLockedRect, pRect, Flags);
}

HRESULT SoftwareTexture::UnlockRect(UINT Level) {
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[Level]->UnlockRect();
}

raster::TextureLevels SoftwareTexture::LevelViews() {
    raster::TextureLevels views;
    views.LevelCount = static_cast<int>(std::min<size_t>(levels_.size(), raster::kMaxMipLevels));
    for (int i = 0; i < views.LevelCount; ++i) views.Levels[i] = levels_[i]->View();
    return views;
}

}  // namespace wbx
