#pragma once
// Adapter profiles: what our Direct3D 9 object says about "the graphics card".
// Every capability and format query, and every creation check of the software
// device, is answered from one of these plain records, so tests can imitate
// hardware (hardware T&L or not, POW2 textures, small primitive limits, refused
// formats, only D32 depth, no HAL at all) while rendering stays the same CPU
// renderer underneath.
//
// A profile travels with the Direct3D object made from it
// (Direct3DCreate9WithProfile copies it) and with every device that object
// creates. Direct3DCreate9 itself always describes DefaultAdapterProfile().

#include <cstdint>
#include <string>
#include <vector>

#include "d3d9/d3d9types.h"

class IDirect3D9;

namespace wbx {

// One device type of the adapter (D3DDEVTYPE_HAL, D3DDEVTYPE_REF, ...).
struct DeviceTypeProfile {
    D3DDEVTYPE Type = D3DDEVTYPE_REF;
    D3DCAPS9 Caps{};                           // DeviceType is kept equal to Type
    std::vector<D3DFORMAT> TextureFormats;     // accepted by CheckDeviceFormat(TEXTURE) and CreateTexture
    std::vector<D3DFORMAT> DepthFormats;       // accepted as depth-stencil formats
    std::vector<D3DFORMAT> BackBufferFormats;  // accepted as back-buffer (render-target) formats

    bool AcceptsTexture(D3DFORMAT format) const;
    bool AcceptsDepth(D3DFORMAT format) const;
    bool AcceptsBackBuffer(D3DFORMAT format) const;
};

// The one adapter (ordinal 0) of the process.
struct AdapterProfile {
    std::string Driver;       // D3DADAPTER_IDENTIFIER9::Driver
    std::string Description;  // D3DADAPTER_IDENTIFIER9::Description
    std::string DeviceName;   // D3DADAPTER_IDENTIFIER9::DeviceName (at most 31 characters are kept)
    int64_t DriverVersion = 0;
    DWORD VendorId = 0;
    DWORD DeviceId = 0;
    DWORD SubSysId = 0;
    DWORD Revision = 0;
    D3DDISPLAYMODE DisplayMode{};                // the desktop: size, refresh rate (Hz), format
    uint64_t TextureMemory = 0;                  // bytes; GetAvailableTextureMem starts here
    std::vector<DeviceTypeProfile> DeviceTypes;  // the device types that exist; others answer NOTAVAILABLE

    const DeviceTypeProfile* Find(D3DDEVTYPE type) const;
    DeviceTypeProfile* Find(D3DDEVTYPE type);
};

// What we are: one adapter whose only device is the reference device
// (D3DDEVTYPE_REF), our software renderer. Generous limits: textures up to
// 8192 x 8192 of any size (no POW2, no SQUAREONLY), BLENDOP supported,
// MaxPrimitiveCount and MaxVertexIndex 0xFFFFFF, 8 texture stages, 8 active
// lights, no hardware transform and lighting. Desktop 1920 x 1080 at 60 Hz in
// X8R8G8B8; back buffer X8R8G8B8; depth formats D16, D16_LOCKABLE, D32, D24S8;
// 512 MiB of texture memory.
AdapterProfile DefaultAdapterProfile();

// A profile that imitates a graphics card: a HAL device (with
// D3DDEVCAPS_HWTRANSFORMANDLIGHT when hwTnL is true) beside the same reference
// device as DefaultAdapterProfile. The HAL starts with the reference device's
// formats and limits plus D3DDEVCAPS_HWRASTERIZATION; tests then narrow it,
// e.g. profile.Find(D3DDEVTYPE_HAL)->Caps.TextureCaps |= D3DPTEXTURECAPS_POW2.
AdapterProfile HardwareProfile(bool hwTnL);

// Narrowed copies of a profile, for tests that imitate particular hardware.
// Each applies to every device type the profile has, e.g.
//   WithPow2Textures(HardwareProfile(true), true)   POW2 + SQUAREONLY hardware
//   WithOnlyDepthFormat(DefaultAdapterProfile(), D3DFMT_D32)
AdapterProfile WithPow2Textures(AdapterProfile profile,
                                bool squareOnly);  // TextureCaps POW2 (and SQUAREONLY)
AdapterProfile WithMaxPrimitiveCount(AdapterProfile profile, DWORD count);
AdapterProfile WithoutBlendOp(AdapterProfile profile);  // clears D3DPMISCCAPS_BLENDOP
AdapterProfile WithoutTextureFormat(AdapterProfile profile, D3DFORMAT format);
AdapterProfile WithOnlyDepthFormat(AdapterProfile profile, D3DFORMAT format);

// The capability record of the reference device of DefaultAdapterProfile.
D3DCAPS9 SoftwareDeviceCaps();

// Direct3DCreate9 over a given profile: a Direct3D object that answers every
// adapter question from its own copy of profile. nullptr for an SDK version
// Direct3DCreate9 refuses, or when memory runs out.
IDirect3D9* Direct3DCreate9WithProfile(const AdapterProfile& profile, UINT SDKVersion = D3D_SDK_VERSION);

}  // namespace wbx
