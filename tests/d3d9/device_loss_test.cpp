// Device loss and Reset, as the device component and the frame loop meet them.

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9.h"
#include "d3d9/devicecontrol.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class DeviceLossTest : public DeviceTest {
protected:
    void SetUp() override { Create(WindowParams(64, 48, true, D3DFMT_D16, &target_)); }

    CaptureTarget target_{1e6};
};

TEST_F(DeviceLossTest, LossThenNotResetThenResetRestoresDefaultsAndKeepsManagedContents) {
    // A managed texture with known bytes, bound, and some changed states.
    IDirect3DTexture9* managed = NewTexture(8, 8, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 8; ++y)
        std::memset(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, 0x40 + y, 16);
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, managed), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetFVF(0x112), D3D_OK);
    D3DVIEWPORT9 vp{4, 4, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);

    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(LoseDevice(device_));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Reset(&params_), D3DERR_DEVICELOST) << "the loss is not over";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);

    ASSERT_TRUE(EndDeviceLoss(device_));
    EXPECT_FALSE(EndDeviceLoss(device_)) << "only a lost device can stop being lost";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

    // A default-pool texture blocks the reset.
    IDirect3DTexture9* video = NewTexture(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    EXPECT_EQ(device_->Reset(&params_), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    video->Release();

    // So does a back buffer or the depth-stencil surface the application holds.
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device_->Reset(&params_), D3DERR_INVALIDCALL);
    EXPECT_EQ(back->Release(), 0u);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(device_->Reset(&params_), D3DERR_INVALIDCALL);
    EXPECT_EQ(depth->Release(), 0u);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);

    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, DWORD{D3DCULL_CCW});
    ASSERT_EQ(device_->GetRenderState(D3DRS_ZENABLE, &value), D3D_OK);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(device_->GetSamplerState(0, D3DSAMP_MAGFILTER, &value), D3D_OK);
    EXPECT_EQ(value, DWORD{D3DTEXF_POINT});
    ASSERT_EQ(device_->GetFVF(&value), D3D_OK);
    EXPECT_EQ(value, 0u);
    BOOL enabled = TRUE;
    EXPECT_EQ(device_->GetLightEnable(0, &enabled), D3DERR_INVALIDCALL) << "lights are forgotten";
    D3DVIEWPORT9 after{};
    ASSERT_EQ(device_->GetViewport(&after), D3D_OK);
    EXPECT_EQ(after.X, 0u);
    EXPECT_EQ(after.Width, 64u);
    EXPECT_EQ(after.Height, 48u);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr) << "bindings are cleared";

    // The managed texture is untouched.
    EXPECT_EQ(RefCount(managed), 1u);
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 8; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
        for (int x = 0; x < 16; ++x) ASSERT_EQ(row[x], 0x40 + y) << x << "," << y;
    }
    managed->UnlockRect(0);
    managed->Release();

    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(target_.Frames, 1);
}

TEST_F(DeviceLossTest, LostDeviceDrawsAndClearsNothing) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(target_.Pixel(5, 5) & 0xFFFFFF, 0x102030u);

    LoseDevice(device_);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK)
        << "a lost device answers D3D_OK and draws nothing, even with nothing bound";
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EndDeviceLoss(device_);
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
    // A fresh swap chain: the old colour is gone and nothing of the lost frame came through.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_NE(target_.Pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(DeviceLossTest, ResetWithNewSizeRebuildsTheSwapChain) {
    D3DPRESENT_PARAMETERS bigger = WindowParams(128, 96, false, D3DFMT_D16, &target_);
    ASSERT_EQ(device_->Reset(&bigger), D3D_OK) << "an operational device may be reset at any time";
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(desc.Height, 96u);
    back->Release();
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(device_->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    DWORD zenable = 1;
    ASSERT_EQ(device_->GetRenderState(D3DRS_ZENABLE, &zenable), D3D_OK);
    EXPECT_EQ(zenable, 0u) << "ZENABLE follows EnableAutoDepthStencil";

    D3DPRESENT_PARAMETERS bad = bigger;
    bad.BackBufferFormat = D3DFMT_R5G6B5;
    EXPECT_EQ(device_->Reset(&bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET)
        << "a failed Reset waits for a good one";
    EXPECT_EQ(device_->Reset(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->Reset(&bigger), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceLossTest, AWindowThatCannotShowFramesLosesTheDeviceUntilItCanAgain) {
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    target_.Showable = false;  // minimised
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(target_.Frames, 1) << "nothing reaches a window that cannot show it";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Reset(&params_), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST) << "a Reset does not end the loss";

    target_.Showable = true;  // restored
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(target_.Frames, 2);

    // Minimised while waiting for the Reset: lost again, and back to waiting after.
    target_.Showable = false;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    target_.Showable = true;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target_.Showable = false;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    target_.Showable = true;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
}

TEST_F(DeviceLossTest, ALossOnDemandIsEndedOnlyOnDemand) {
    // Lost on demand while the window is minimised (and the device lost with
    // it): restoring the window does not end the loss, EndDeviceLoss does.
    target_.Showable = false;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(LoseDevice(device_));
    target_.Showable = true;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(EndDeviceLoss(device_));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);

    // A window's loss ended on demand waits for the Reset as any other.
    target_.Showable = false;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(EndDeviceLoss(device_));
    target_.Showable = true;
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&params_), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceLossTest, AnOverrideWindowDoesNotDecideTheLoss) {
    CaptureTarget hidden;
    hidden.Showable = false;
    EXPECT_EQ(device_->Present(nullptr, nullptr, &hidden, nullptr), D3D_OK)
        << "only the device window's state loses the device";
    EXPECT_EQ(hidden.Frames, 1);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
}

TEST(DeviceControlTest, ForeignPointersAreIgnored) {
    EXPECT_FALSE(LoseDevice(nullptr));
    EXPECT_FALSE(EndDeviceLoss(nullptr));
    EXPECT_FALSE(IsSoftwareDevice(nullptr));
    EXPECT_EQ(ObjectSerial(nullptr), 0u);
    EXPECT_EQ(PresentedFrameCount(nullptr), 0u);
}

}  // namespace
}  // namespace wbx::testing
