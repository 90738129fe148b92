#pragma once
// SoftwareTexture: IDirect3DTexture9 with a mip chain of SoftwareSurface
// levels, level 0 the full size and each further level half the one before
// (at least 1 x 1). The device validates the creation arguments; the texture
// only holds the memory. Each level locks on its own: a second lock of a
// locked level, an unlock of an unlocked one, a level out of range or a
// rectangle outside the level fails with D3DERR_INVALIDCALL.

#include <memory>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/raster/rasterizer.h"
#include "devicechild.h"
#include "surface.h"

namespace wbx {

class SoftwareTexture final : public IDirect3DTexture9, public DeviceChild {
public:
    // levels is the real count (1 .. full chain). Throws std::bad_alloc.
    SoftwareTexture(SoftwareDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                    D3DFORMAT format, D3DPOOL pool);

    // Levels in a full chain for this size: floor(log2(max side)) + 1.
    static UINT FullChainLength(UINT width, UINT height);
    // Bytes of a chain of the given length, as the levels will hold them.
    static uint64_t ChainBytes(UINT width, UINT height, UINT levels, D3DFORMAT format);

    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;

    D3DFORMAT Format() const { return format_; }
    SoftwareSurface& Level(UINT level) { return *levels_[level]; }
    // Views of the levels for the rasteriser (at most raster::kMaxMipLevels).
    raster::TextureLevels LevelViews();

protected:
    ~SoftwareTexture() override;

private:
    D3DFORMAT format_;
    std::vector<std::unique_ptr<SoftwareSurface>> levels_;
};

}  // namespace wbx
