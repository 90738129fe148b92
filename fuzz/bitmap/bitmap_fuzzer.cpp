// Fuzz target for bitmap loading: the bytes as a bitmap image, loaded with
// LoadBMP into fixed-size textures of the three kinds of destination pixel
// (A1R5G5B5, X8R8G8B8 and the palette-index format P8), and with
// TKVTexture::LoadFromStream, which sizes its texture from the image's header
// first (a truncated image still gets a texture of its header's size). Every
// failure is reported, never raised; so any exception, crash or sanitizer
// report is a finding, and so is a texture beyond the device's maximum size.

#include <cstddef>
#include <cstdint>

#include "defaultadapter.h"
#include "device/bitmap.h"
#include "device/texture.h"
#include "viewercomponent.h"

namespace {

// The largest texture the fuzz process's device makes. A header of a few
// bytes may ask for any size up to it, so it bounds a run's memory: 2048 x
// 2048 texels of 4 bytes are 16 MiB, which keeps such inputs fast. (Our
// Direct3D's default maximum, 8192, would make them 256 MiB each.)
constexpr DWORD kMaxTextureSize = 2048;

// Our Direct3D offers no palette textures by default; the fuzz process's
// adapter does, so that P8 levels are real locked texture memory.
wbx::TKorvane& DeviceWithPaletteTextures() {
    static wbx::TKorvane& device = []() -> wbx::TKorvane& {
        wbx::AdapterProfile profile = wbx::DefaultAdapterProfile();
        for (wbx::DeviceTypeProfile& type : profile.DeviceTypes) {
            type.TextureFormats.push_back(D3DFMT_P8);
            type.Caps.MaxTextureWidth = kMaxTextureSize;
            type.Caps.MaxTextureHeight = kMaxTextureSize;
        }
        wbx::testing::SetDefaultAdapterProfile(profile);
        return wbx::testing::SharedDeviceComponent();
    }();
    return device;
}

// A 48 x 40 texture of format: the bitmaps below are smaller, equal or
// larger in each direction, so clipping in both directions is covered.
IDirect3DTexture9* FixedTexture(D3DFORMAT format) {
    IDirect3DTexture9* texture = nullptr;
    if (DeviceWithPaletteTextures().Device->CreateTexture(48, 40, 1, 0, format, D3DPOOL_MANAGED, &texture,
                                                          nullptr) != D3D_OK)
        __builtin_trap();
    return texture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static IDirect3DTexture9* const textures[] = {FixedTexture(D3DFMT_A1R5G5B5),
                                                  FixedTexture(D3DFMT_X8R8G8B8), FixedTexture(D3DFMT_P8)};
    static wbx::TKVTexture sized(&DeviceWithPaletteTextures(), {D3DFMT_A8R8G8B8}, 0, D3DPOOL_MANAGED, 1,
                                 "fuzz bitmap");
    wbx::TMemoryStream stream;
    stream.Bytes().assign(data, data + size);
    for (IDirect3DTexture9* texture : textures) {
        stream.SetPosition(0);
        wbx::LoadBMP(texture, stream);
    }

    sized.SetSize(1, 1);  // what a refused load leaves
    stream.SetPosition(0);
    sized.LoadFromStream(stream);
    // The header sizes the texture; the device refuses anything beyond its maximum.
    if (sized.Texture != nullptr &&
        (sized.TextureWidth > kMaxTextureSize || sized.TextureHeight > kMaxTextureSize))
        __builtin_trap();
    return 0;
}
