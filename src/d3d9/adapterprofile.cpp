#include "d3d9/adapterprofile.h"

#include <algorithm>

namespace wbx {

namespace {

bool Contains(const std::vector<D3DFORMAT>& formats, D3DFORMAT format) {
    return std::find(formats.begin(), formats.end(), format) != formats.end();
}

DeviceTypeProfile ReferenceDevice() {
    DeviceTypeProfile device;
    device.Type = D3DDEVTYPE_REF;
    device.Caps = SoftwareDeviceCaps();
    // The colour formats whose texels our renderer and the device layer know.
    device.TextureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5,
                             D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4, D3DFMT_R3G3B2,
                             D3DFMT_A8,       D3DFMT_A8R3G3B2, D3DFMT_L8,       D3DFMT_A8L8,
                             D3DFMT_A4L4,     D3DFMT_R8G8B8};
    device.DepthFormats = {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D24S8};
    // A window shows X8R8G8B8; A8R8G8B8 keeps what blending leaves in alpha,
    // which a window's Direct3D 9 device accepts as well.
    device.BackBufferFormats = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    return device;
}

}  // namespace

bool DeviceTypeProfile::AcceptsTexture(D3DFORMAT format) const { return Contains(TextureFormats, format); }
bool DeviceTypeProfile::AcceptsDepth(D3DFORMAT format) const { return Contains(DepthFormats, format); }
bool DeviceTypeProfile::AcceptsBackBuffer(D3DFORMAT format) const {
    return Contains(BackBufferFormats, format);
}

const DeviceTypeProfile* AdapterProfile::Find(D3DDEVTYPE type) const {
    for (const DeviceTypeProfile& device : DeviceTypes) {
        if (device.Type == type) return &device;
    }
    return nullptr;
}

DeviceTypeProfile* AdapterProfile::Find(D3DDEVTYPE type) {
    return const_cast<DeviceTypeProfile*>(static_cast<const AdapterProfile*>(this)->Find(type));
}

D3DCAPS9 SoftwareDeviceCaps() {
    D3DCAPS9 caps{};
    caps.DeviceType = D3DDEVTYPE_REF;
    caps.AdapterOrdinal = 0;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                   D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                   D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX;
    caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                             D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_CLIPTLVERTS |
                             D3DPMISCCAPS_BLENDOP;
    constexpr DWORD kAllCompares = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL |
                                   D3DPCMPCAPS_LESSEQUAL | D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL |
                                   D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
    caps.ZCmpCaps = kAllCompares;
    caps.AlphaCmpCaps = kAllCompares;
    caps.SrcBlendCaps = 0x1FFF;  // D3DPBLENDCAPS_ZERO .. D3DPBLENDCAPS_BOTHINVSRCALPHA
    caps.DestBlendCaps = 0x1FFF;
    caps.ShadeCaps =
        D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                             D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                             D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps.TextureAddressCaps =
        D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
    caps.MaxTextureWidth = 8192;
    caps.MaxTextureHeight = 8192;
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = 0;  // no limit
    caps.MaxAnisotropy = 1;
    caps.MaxVertexW = 1e10f;
    caps.GuardBandLeft = -32768.0f;
    caps.GuardBandTop = -32768.0f;
    caps.GuardBandRight = 32767.0f;
    caps.GuardBandBottom = 32767.0f;
    caps.StencilCaps = 0xFF;  // KEEP .. DECR
    caps.FVFCaps = 8;         // texture coordinate sets
    caps.TextureOpCaps = 0x03FFFFFF;
    caps.MaxTextureBlendStages = 8;
    caps.MaxSimultaneousTextures = 8;
    caps.VertexProcessingCaps =
        D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    caps.MaxActiveLights = 8;
    caps.MaxUserClipPlanes = 0;
    caps.MaxPointSize = 64.0f;
    caps.MaxPrimitiveCount = 0xFFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = 1;
    caps.MaxStreamStride = 255;
    return caps;
}

AdapterProfile DefaultAdapterProfile() {
    AdapterProfile profile;
    profile.Driver = "wbx_d3d9";
    profile.Description = "wardrobix software renderer (reference device, CPU)";
    profile.DeviceName = "wardrobix-software";
    profile.DriverVersion = 0x0000000100000000LL;  // 0.1 in Direct3D's packed product.version form
    profile.DisplayMode = {1920, 1080, 60, D3DFMT_X8R8G8B8};
    profile.TextureMemory = 512ull * 1024 * 1024;
    profile.DeviceTypes.push_back(ReferenceDevice());
    return profile;
}

AdapterProfile HardwareProfile(bool hwTnL) {
    AdapterProfile profile = DefaultAdapterProfile();
    profile.Description = "wardrobix imitated hardware adapter (software renderer)";
    DeviceTypeProfile hal = ReferenceDevice();
    hal.Type = D3DDEVTYPE_HAL;
    hal.Caps.DeviceType = D3DDEVTYPE_HAL;
    hal.Caps.DevCaps |= D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_TEXTUREVIDEOMEMORY;
    if (hwTnL) hal.Caps.DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    profile.DeviceTypes.insert(profile.DeviceTypes.begin(), hal);
    return profile;
}

AdapterProfile WithPow2Textures(AdapterProfile profile, bool squareOnly) {
    for (DeviceTypeProfile& device : profile.DeviceTypes) {
        device.Caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
        if (squareOnly) device.Caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    }
    return profile;
}

AdapterProfile WithMaxPrimitiveCount(AdapterProfile profile, DWORD count) {
    for (DeviceTypeProfile& device : profile.DeviceTypes) device.Caps.MaxPrimitiveCount = count;
    return profile;
}

AdapterProfile WithoutBlendOp(AdapterProfile profile) {
    for (DeviceTypeProfile& device : profile.DeviceTypes)
        device.Caps.PrimitiveMiscCaps &= ~D3DPMISCCAPS_BLENDOP;
    return profile;
}

AdapterProfile WithoutTextureFormat(AdapterProfile profile, D3DFORMAT format) {
    for (DeviceTypeProfile& device : profile.DeviceTypes) {
        std::vector<D3DFORMAT>& formats = device.TextureFormats;
        formats.erase(std::remove(formats.begin(), formats.end(), format), formats.end());
    }
    return profile;
}

AdapterProfile WithOnlyDepthFormat(AdapterProfile profile, D3DFORMAT format) {
    for (DeviceTypeProfile& device : profile.DeviceTypes) device.DepthFormats = {format};
    return profile;
}

}  // namespace wbx
