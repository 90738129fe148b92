#pragma once
// Shared pieces of the device tests: present parameters as the device layer
// fills them, and a fixture that creates a Direct3D object and a device over a
// chosen profile and checks on tear-down that the device goes away with its
// last reference. (Frames are captured by the test support's CaptureTarget.)

#include <gtest/gtest.h>

#include "capturetarget.h"
#include "d3d9/adapterprofile.h"
#include "d3d9/d3d9.h"

namespace wbx::testing {

inline D3DPRESENT_PARAMETERS WindowParams(UINT width, UINT height, bool depth = true,
                                          D3DFORMAT depthFormat = D3DFMT_D16, HWND window = nullptr,
                                          UINT interval = D3DPRESENT_INTERVAL_IMMEDIATE) {
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.hDeviceWindow = window;
    pp.EnableAutoDepthStencil = depth ? TRUE : FALSE;
    pp.AutoDepthStencilFormat = depth ? depthFormat : D3DFMT_UNKNOWN;
    pp.PresentationInterval = interval;
    return pp;
}

// The count an object has, read the Direct3D 9 way (AddRef then Release).
inline ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// A Direct3D object over a profile with one REF device (software vertex
// processing), both released and checked at the end of the scope.
class ProfileDevice {
public:
    explicit ProfileDevice(const AdapterProfile& profile,
                           D3DPRESENT_PARAMETERS pp = WindowParams(16, 16, false))
        : d3d(Direct3DCreate9WithProfile(profile)) {
        EXPECT_EQ(
            d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
            D3D_OK);
    }
    ~ProfileDevice() {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u);
        }
        EXPECT_EQ(d3d->Release(), 0u);
    }
    ProfileDevice(const ProfileDevice&) = delete;
    ProfileDevice& operator=(const ProfileDevice&) = delete;

    IDirect3D9* d3d;
    IDirect3DDevice9* device = nullptr;
};

class DeviceTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (device_ != nullptr) {
            EXPECT_EQ(device_->Release(), 0u) << "the device outlived its last reference";
        }
        if (d3d_ != nullptr) {
            EXPECT_EQ(d3d_->Release(), 0u);
        }
    }

    // Creates the Direct3D object over profile and a REF device with
    // software vertex processing; fails the test if creation fails.
    void Create(const D3DPRESENT_PARAMETERS& params, const AdapterProfile& profile = DefaultAdapterProfile(),
                D3DDEVTYPE type = D3DDEVTYPE_REF) {
        d3d_ = Direct3DCreate9WithProfile(profile);
        ASSERT_NE(d3d_, nullptr);
        params_ = params;
        ASSERT_EQ(d3d_->CreateDevice(0, type, params.hDeviceWindow, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &params_, &device_),
                  D3D_OK);
    }

    IDirect3DTexture9* NewTexture(UINT width, UINT height, D3DFORMAT format = D3DFMT_A8R8G8B8,
                                  D3DPOOL pool = D3DPOOL_MANAGED, UINT levels = 1) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(width, height, levels, 0, format, pool, &texture, nullptr), D3D_OK);
        return texture;
    }

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DPRESENT_PARAMETERS params_{};
};

}  // namespace wbx::testing
