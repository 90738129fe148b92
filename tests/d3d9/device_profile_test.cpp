// What the adapter profiles make the Direct3D object and its devices answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "d3d9/adapterprofile.h"
#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

// A Direct3D object over a profile, released at the end of the test.
class Adapter {
public:
    explicit Adapter(const AdapterProfile& profile) : d3d_(Direct3DCreate9WithProfile(profile)) {}
    ~Adapter() { EXPECT_EQ(d3d_->Release(), 0u); }
    IDirect3D9* operator->() const { return d3d_; }
    IDirect3D9* get() const { return d3d_; }

    // Creates a device (released at once) and answers the result.
    HRESULT TryDevice(D3DDEVTYPE type, DWORD flags, D3DPRESENT_PARAMETERS pp) {
        IDirect3DDevice9* device = nullptr;
        const HRESULT hr = d3d_->CreateDevice(0, type, nullptr, flags, &pp, &device);
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u);
        }
        return hr;
    }

    // CreateTexture on a fresh device of the given type.
    HRESULT TryTexture(D3DDEVTYPE type, UINT width, UINT height, D3DFORMAT format, UINT levels = 1) {
        D3DPRESENT_PARAMETERS pp = WindowParams(16, 16, false);
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d_->CreateDevice(0, type, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
                  D3D_OK);
        if (device == nullptr) return E_FAIL;
        IDirect3DTexture9* texture = nullptr;
        const HRESULT hr =
            device->CreateTexture(width, height, levels, 0, format, D3DPOOL_MANAGED, &texture, nullptr);
        if (texture != nullptr) texture->Release();
        EXPECT_EQ(device->Release(), 0u);
        return hr;
    }

private:
    IDirect3D9* d3d_;
};

TEST(AdapterProfileTest, DefaultProfileOffersOnlyTheReferenceDevice) {
    Adapter adapter(DefaultAdapterProfile());
    D3DCAPS9 caps{};
    EXPECT_EQ(adapter->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(adapter->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
    EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY), 0u);
    EXPECT_NE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP, 0u);
    EXPECT_GE(caps.MaxPrimitiveCount, 0xFFFFu);
    EXPECT_GE(caps.MaxVertexIndex, 0xFFFFu);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(adapter->GetDeviceCaps(1, D3DDEVTYPE_REF, &caps), D3DERR_INVALIDCALL);
    EXPECT_EQ(adapter->GetDeviceCaps(0, D3DDEVTYPE_REF, nullptr), D3DERR_INVALIDCALL);

    D3DDISPLAYMODE mode{};
    ASSERT_EQ(adapter->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_GT(mode.RefreshRate, 0u);

    D3DADAPTER_IDENTIFIER9 id;
    std::memset(&id, 0xCC, sizeof id);
    ASSERT_EQ(adapter->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_NE(std::string(id.Description).find("software"), std::string::npos);
    EXPECT_FALSE(std::string(id.Driver).empty());
    EXPECT_LT(std::strlen(id.DeviceName), sizeof id.DeviceName);
}

TEST(AdapterProfileTest, DefaultProfileFormats) {
    Adapter adapter(DefaultAdapterProfile());
    for (D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D24S8}) {
        EXPECT_EQ(adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, depth),
                  D3D_OK)
            << depth;
        EXPECT_EQ(adapter->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                             D3DRTYPE_SURFACE, depth),
                  D3D_OK);
    }
    EXPECT_EQ(
        adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D24X8),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16),
        D3DERR_NOTAVAILABLE);
    for (D3DFORMAT texture : {D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5}) {
        EXPECT_EQ(
            adapter->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, texture),
            D3D_OK)
            << texture;
    }
    EXPECT_EQ(
        adapter->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        adapter->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_A8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
        D3DERR_NOTAVAILABLE)
        << "A8R8G8B8 is no display format";
    EXPECT_EQ(adapter->CheckDeviceFormat(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, 0, D3DRTYPE_INDEXBUFFER,
                                         D3DFMT_INDEX32),
              D3D_OK);
}

TEST(AdapterProfileTest, HardwareProfilesAndTheirVertexProcessing) {
    Adapter withTnL(HardwareProfile(true));
    Adapter withoutTnL(HardwareProfile(false));
    D3DCAPS9 caps{};
    ASSERT_EQ(withTnL->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_NE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
    ASSERT_EQ(withoutTnL->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
    EXPECT_EQ(withoutTnL->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK) << "the reference device stays";

    const D3DPRESENT_PARAMETERS pp = WindowParams(32, 32, true, D3DFMT_D16);
    EXPECT_EQ(withTnL.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, pp), D3D_OK);
    EXPECT_EQ(withTnL.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp), D3D_OK);
    EXPECT_EQ(withoutTnL.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, pp),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(withoutTnL.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp), D3D_OK);
    EXPECT_EQ(withTnL.TryDevice(D3DDEVTYPE_HAL, 0, pp), D3DERR_INVALIDCALL) << "no vertex processing named";
    EXPECT_EQ(
        withTnL.TryDevice(D3DDEVTYPE_HAL,
                          D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp),
        D3DERR_INVALIDCALL);

    Adapter noHal(DefaultAdapterProfile());
    EXPECT_EQ(noHal.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, pp), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(noHal.TryDevice(D3DDEVTYPE_REF, D3DCREATE_HARDWARE_VERTEXPROCESSING, pp), D3DERR_INVALIDCALL);
}

TEST(AdapterProfileTest, Pow2AndSquareOnlyTextures) {
    AdapterProfile pow2 = HardwareProfile(true);
    pow2.Find(D3DDEVTYPE_HAL)->Caps.TextureCaps |= D3DPTEXTURECAPS_POW2;          // the HAL only
    const AdapterProfile square = WithPow2Textures(HardwareProfile(true), true);  // every device type
    Adapter pow2Adapter(pow2);
    Adapter squareAdapter(square);

    EXPECT_EQ(pow2Adapter.TryTexture(D3DDEVTYPE_HAL, 200, 300, D3DFMT_A1R5G5B5), D3DERR_INVALIDCALL);
    EXPECT_EQ(pow2Adapter.TryTexture(D3DDEVTYPE_HAL, 256, 512, D3DFMT_A1R5G5B5), D3D_OK);
    EXPECT_EQ(squareAdapter.TryTexture(D3DDEVTYPE_HAL, 256, 512, D3DFMT_A1R5G5B5), D3DERR_INVALIDCALL);
    EXPECT_EQ(squareAdapter.TryTexture(D3DDEVTYPE_HAL, 512, 512, D3DFMT_A1R5G5B5, 0), D3D_OK);
    EXPECT_EQ(pow2Adapter.TryTexture(D3DDEVTYPE_REF, 200, 300, D3DFMT_A1R5G5B5), D3D_OK)
        << "the reference device keeps its own caps";
    EXPECT_EQ(squareAdapter.TryTexture(D3DDEVTYPE_REF, 256, 512, D3DFMT_A1R5G5B5), D3DERR_INVALIDCALL);

    // Conditional non-power-of-two support lets a texture without mip levels through.
    AdapterProfile conditional = pow2;
    conditional.Find(D3DDEVTYPE_HAL)->Caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
    Adapter conditionalAdapter(conditional);
    EXPECT_EQ(conditionalAdapter.TryTexture(D3DDEVTYPE_HAL, 200, 300, D3DFMT_A1R5G5B5, 1), D3D_OK);
    EXPECT_EQ(conditionalAdapter.TryTexture(D3DDEVTYPE_HAL, 200, 300, D3DFMT_A1R5G5B5, 0),
              D3DERR_INVALIDCALL);
}

TEST(AdapterProfileTest, RefusedTextureFormat) {
    Adapter adapter(WithoutTextureFormat(HardwareProfile(true), D3DFMT_A1R5G5B5));
    EXPECT_EQ(
        adapter->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A1R5G5B5),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        adapter->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8),
        D3D_OK);
    EXPECT_EQ(adapter.TryTexture(D3DDEVTYPE_HAL, 256, 512, D3DFMT_A1R5G5B5), D3DERR_INVALIDCALL);
    EXPECT_EQ(adapter.TryTexture(D3DDEVTYPE_HAL, 256, 512, D3DFMT_X8R8G8B8), D3D_OK);
}

TEST(AdapterProfileTest, OnlyD32Depth) {
    Adapter adapter(WithOnlyDepthFormat(HardwareProfile(true), D3DFMT_D32));
    // The device component's search order: D16, D16_LOCKABLE, D32.
    EXPECT_EQ(
        adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8,
                                              D3DFMT_D16_LOCKABLE),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        adapter->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D32),
        D3D_OK);
    EXPECT_EQ(adapter.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                WindowParams(32, 32, true, D3DFMT_D16)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(adapter.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                WindowParams(32, 32, true, D3DFMT_D32)),
              D3D_OK);
    // "No format found" gives format 0 with a depth buffer requested: refused.
    EXPECT_EQ(adapter.TryDevice(D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                WindowParams(32, 32, true, D3DFMT_UNKNOWN)),
              D3DERR_INVALIDCALL);
}

TEST(AdapterProfileTest, SmallPrimitiveLimitAndNoBlendOpAreReported) {
    Adapter adapter(WithoutBlendOp(WithMaxPrimitiveCount(HardwareProfile(true), 1000)));
    D3DCAPS9 caps{};
    for (D3DDEVTYPE type : {D3DDEVTYPE_HAL, D3DDEVTYPE_REF}) {
        ASSERT_EQ(adapter->GetDeviceCaps(0, type, &caps), D3D_OK);
        EXPECT_EQ(caps.MaxPrimitiveCount, 1000u);
        EXPECT_EQ(caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP, 0u);
        EXPECT_NE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_CULLNONE, 0u) << "other bits stay";
    }

    // The device answers the same record.
    D3DPRESENT_PARAMETERS pp = WindowParams(16, 16, false);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(
        adapter->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    D3DCAPS9 deviceCaps{};
    ASSERT_EQ(device->GetDeviceCaps(&deviceCaps), D3D_OK);
    EXPECT_EQ(deviceCaps.MaxPrimitiveCount, 1000u);
    EXPECT_EQ(device->Release(), 0u);
}

TEST(AdapterProfileTest, AProfileTravelsWithItsDirect3DObject) {
    IDirect3D9* hardware = Direct3DCreate9WithProfile(HardwareProfile(true), 31);
    IDirect3D9* software = Direct3DCreate9(32);  // what we are: no HAL
    ASSERT_NE(hardware, nullptr);
    ASSERT_NE(software, nullptr);
    D3DCAPS9 caps{};
    EXPECT_EQ(hardware->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(software->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(hardware->Release(), 0u);
    EXPECT_EQ(software->Release(), 0u);
    EXPECT_EQ(Direct3DCreate9(30), nullptr);
    EXPECT_EQ(Direct3DCreate9WithProfile(HardwareProfile(true), 30), nullptr);
}

TEST(AdapterProfileTest, PresentParametersAreCheckedAndWrittenBack) {
    Adapter adapter(DefaultAdapterProfile());
    D3DPRESENT_PARAMETERS pp = WindowParams(0, 0, false);
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 0;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(
        adapter->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    EXPECT_EQ(pp.BackBufferCount, 1u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_GE(pp.BackBufferWidth, 1u);
    EXPECT_EQ(device->Release(), 0u);

    std::vector<D3DPRESENT_PARAMETERS> refused(5, WindowParams(32, 32, false));
    refused[0].BackBufferFormat = D3DFMT_A1R5G5B5;
    refused[1].PresentationInterval = D3DPRESENT_INTERVAL_FOUR;
    refused[2].BackBufferCount = 4;
    refused[3].MultiSampleType = D3DMULTISAMPLE_NONMASKABLE;
    refused[4].BackBufferWidth = 100000;
    for (size_t i = 0; i < refused.size(); ++i) {
        EXPECT_EQ(adapter.TryDevice(D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, refused[i]),
                  D3DERR_INVALIDCALL)
            << "case " << i;
    }
    EXPECT_EQ(adapter->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, nullptr,
                                    &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
}

}  // namespace
}  // namespace wbx::testing
