// Device state: Direct3D 9's creation defaults, what the setters accept, and
// the scene and clear rules.

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class DeviceStateTest : public DeviceTest {
protected:
    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device_->GetRenderState(state, &value), D3D_OK);
        return value;
    }
    DWORD Sampler(DWORD sampler, D3DSAMPLERSTATETYPE type) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device_->GetSamplerState(sampler, type, &value), D3D_OK);
        return value;
    }
    DWORD Stage(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device_->GetTextureStageState(stage, type, &value), D3D_OK);
        return value;
    }

public:
    // Every default the fixed-function pipeline reads, checked in one place so
    // the loss tests can check them again after a Reset.
    void ExpectCreationDefaults(bool autoDepth, UINT width, UINT height) {
        EXPECT_EQ(RenderState(D3DRS_ZENABLE), autoDepth ? 1u : 0u);
        EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), 1u);
        EXPECT_EQ(RenderState(D3DRS_ZFUNC), DWORD{D3DCMP_LESSEQUAL});
        EXPECT_EQ(RenderState(D3DRS_FILLMODE), DWORD{D3DFILL_SOLID});
        EXPECT_EQ(RenderState(D3DRS_SHADEMODE), DWORD{D3DSHADE_GOURAUD});
        EXPECT_EQ(RenderState(D3DRS_CULLMODE), DWORD{D3DCULL_CCW});
        EXPECT_EQ(RenderState(D3DRS_ALPHATESTENABLE), 0u);
        EXPECT_EQ(RenderState(D3DRS_ALPHAFUNC), DWORD{D3DCMP_ALWAYS});
        EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 0u);
        EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 0u);
        EXPECT_EQ(RenderState(D3DRS_SRCBLEND), DWORD{D3DBLEND_ONE});
        EXPECT_EQ(RenderState(D3DRS_DESTBLEND), DWORD{D3DBLEND_ZERO});
        EXPECT_EQ(RenderState(D3DRS_BLENDOP), DWORD{D3DBLENDOP_ADD});
        EXPECT_EQ(RenderState(D3DRS_COLORWRITEENABLE), 0xFu);
        EXPECT_EQ(RenderState(D3DRS_TEXTUREFACTOR), 0xFFFFFFFFu);
        EXPECT_EQ(RenderState(D3DRS_LIGHTING), 1u);
        EXPECT_EQ(RenderState(D3DRS_AMBIENT), 0u);
        EXPECT_EQ(RenderState(D3DRS_SPECULARENABLE), 0u);
        EXPECT_EQ(RenderState(D3DRS_COLORVERTEX), 1u);
        EXPECT_EQ(RenderState(D3DRS_LOCALVIEWER), 1u);
        EXPECT_EQ(RenderState(D3DRS_NORMALIZENORMALS), 0u);
        EXPECT_EQ(RenderState(D3DRS_DIFFUSEMATERIALSOURCE), DWORD{D3DMCS_COLOR1});
        EXPECT_EQ(RenderState(D3DRS_SPECULARMATERIALSOURCE), DWORD{D3DMCS_COLOR2});
        EXPECT_EQ(RenderState(D3DRS_AMBIENTMATERIALSOURCE), DWORD{D3DMCS_MATERIAL});
        EXPECT_EQ(RenderState(D3DRS_EMISSIVEMATERIALSOURCE), DWORD{D3DMCS_MATERIAL});
        EXPECT_EQ(RenderState(D3DRS_WRAP0), 0u);
        EXPECT_EQ(RenderState(D3DRS_FOGENABLE), 0u);
        EXPECT_EQ(RenderState(D3DRS_STENCILENABLE), 0u);
        EXPECT_EQ(RenderState(D3DRS_CLIPPING), 1u);
        EXPECT_EQ(RenderState(D3DRS_LASTPIXEL), 1u);
        EXPECT_EQ(RenderState(D3DRS_DITHERENABLE), 0u);
        for (DWORD s : {0u, 7u}) {
            EXPECT_EQ(Sampler(s, D3DSAMP_ADDRESSU), DWORD{D3DTADDRESS_WRAP});
            EXPECT_EQ(Sampler(s, D3DSAMP_ADDRESSV), DWORD{D3DTADDRESS_WRAP});
            EXPECT_EQ(Sampler(s, D3DSAMP_MAGFILTER), DWORD{D3DTEXF_POINT});
            EXPECT_EQ(Sampler(s, D3DSAMP_MINFILTER), DWORD{D3DTEXF_POINT});
            EXPECT_EQ(Sampler(s, D3DSAMP_MIPFILTER), DWORD{D3DTEXF_NONE});
            EXPECT_EQ(Sampler(s, D3DSAMP_MAXMIPLEVEL), 0u);
            EXPECT_EQ(Sampler(s, D3DSAMP_BORDERCOLOR), 0u);
        }
        EXPECT_EQ(Stage(0, D3DTSS_COLOROP), DWORD{D3DTOP_MODULATE});
        EXPECT_EQ(Stage(0, D3DTSS_COLORARG1), D3DTA_TEXTURE);
        EXPECT_EQ(Stage(0, D3DTSS_COLORARG2), D3DTA_CURRENT);
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAOP), DWORD{D3DTOP_SELECTARG1});
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAARG1), D3DTA_TEXTURE);
        EXPECT_EQ(Stage(0, D3DTSS_ALPHAARG2), D3DTA_CURRENT);
        EXPECT_EQ(Stage(1, D3DTSS_COLOROP), DWORD{D3DTOP_DISABLE});
        EXPECT_EQ(Stage(1, D3DTSS_ALPHAOP), DWORD{D3DTOP_DISABLE});
        EXPECT_EQ(Stage(3, D3DTSS_TEXCOORDINDEX), 3u);

        for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE0}) {
            D3DMATRIX m{};
            ASSERT_EQ(device_->GetTransform(t, &m), D3D_OK);
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) EXPECT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f);
            }
        }
        D3DVIEWPORT9 vp{};
        ASSERT_EQ(device_->GetViewport(&vp), D3D_OK);
        EXPECT_EQ(vp.X, 0u);
        EXPECT_EQ(vp.Y, 0u);
        EXPECT_EQ(vp.Width, width);
        EXPECT_EQ(vp.Height, height);
        EXPECT_EQ(vp.MinZ, 0.0f);
        EXPECT_EQ(vp.MaxZ, 1.0f);
        D3DMATERIAL9 material;
        std::memset(&material, 0xFF, sizeof material);
        ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
        EXPECT_EQ(material.Diffuse.r, 0.0f);
        EXPECT_EQ(material.Power, 0.0f);
        D3DLIGHT9 light{};
        EXPECT_EQ(device_->GetLight(0, &light), D3DERR_INVALIDCALL) << "no light is set";
        DWORD fvf = 1;
        ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
        EXPECT_EQ(fvf, 0u);
        IDirect3DBaseTexture9* texture = reinterpret_cast<IDirect3DBaseTexture9*>(0x1);
        ASSERT_EQ(device_->GetTexture(0, &texture), D3D_OK);
        EXPECT_EQ(texture, nullptr);
    }
};

TEST_F(DeviceStateTest, CreationDefaultsWithDepthBuffer) {
    Create(WindowParams(640, 480, true));
    ExpectCreationDefaults(true, 640, 480);
}

TEST_F(DeviceStateTest, CreationDefaultsWithoutDepthBuffer) {
    Create(WindowParams(320, 200, false));
    ExpectCreationDefaults(false, 320, 200);
}

TEST_F(DeviceStateTest, StatesReadBackAndBadIndicesFail) {
    Create(WindowParams(64, 64));
    EXPECT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), DWORD{D3DCULL_NONE});
    EXPECT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    EXPECT_EQ(Sampler(0, D3DSAMP_MINFILTER), DWORD{D3DTEXF_LINEAR});
    EXPECT_EQ(Sampler(1, D3DSAMP_MINFILTER), DWORD{D3DTEXF_POINT}) << "samplers are separate";
    EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), D3D_OK);
    EXPECT_EQ(Stage(0, D3DTSS_COLORARG2), D3DTA_DIFFUSE);

    DWORD value = 0;
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(D3DRS_MAX), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(5000), &value), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetSamplerState(8, D3DSAMP_MINFILTER, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(99), 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(99), 1),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceStateTest, TransformsAndWorldMatrices) {
    Create(WindowParams(64, 64));
    D3DMATRIX m = {};
    m._11 = 2.0f;
    m._42 = -36.0f;
    m._44 = 1.0f;
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &m), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(3), &m), D3D_OK);
    D3DMATRIX back{};
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(0), &back), D3D_OK);
    EXPECT_EQ(back._42, -36.0f);
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(3), &back), D3D_OK);
    EXPECT_EQ(back._11, 2.0f);
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(2), &back), D3D_OK);
    EXPECT_EQ(back._11, 1.0f);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(512), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceStateTest, ViewportMustLieInsideTheBackBuffer) {
    Create(WindowParams(640, 480));
    D3DVIEWPORT9 vp{10, 20, 630, 460, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&vp), D3D_OK);
    D3DVIEWPORT9 back{};
    ASSERT_EQ(device_->GetViewport(&back), D3D_OK);
    EXPECT_EQ(back.X, 10u);
    EXPECT_EQ(back.Height, 460u);
    D3DVIEWPORT9 wide{0, 0, 641, 480, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&wide), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 shifted{1, 0, 640, 480, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&shifted), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 wrapping{0xFFFFFFF0u, 0, 0x20, 10, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&wrapping), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetViewport(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->GetViewport(&back), D3D_OK);
    EXPECT_EQ(back.X, 10u) << "a refused viewport leaves the old one";
}

TEST_F(DeviceStateTest, LightsAtAnyIndex) {
    Create(WindowParams(64, 64));
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Ambient = {0.3f, 0.3f, 0.3f, 1};
    light.Direction = {0, 0, -1};
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device_->SetLight(1000, &light), D3D_OK);
    D3DLIGHT9 back{};
    ASSERT_EQ(device_->GetLight(1000, &back), D3D_OK);
    EXPECT_EQ(back.Ambient.g, 0.3f);
    BOOL enabled = TRUE;
    ASSERT_EQ(device_->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_EQ(enabled, FALSE);
    ASSERT_EQ(device_->LightEnable(0, -1), D3D_OK);  // any nonzero value enables
    ASSERT_EQ(device_->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_NE(enabled, FALSE);

    // Enabling a light that was never set creates Direct3D's default light.
    ASSERT_EQ(device_->LightEnable(7, TRUE), D3D_OK);
    ASSERT_EQ(device_->GetLight(7, &back), D3D_OK);
    EXPECT_EQ(back.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(back.Diffuse.r, 1.0f);
    EXPECT_EQ(back.Diffuse.a, 0.0f);
    EXPECT_EQ(back.Direction.z, 1.0f);
    EXPECT_EQ(back.Specular.r, 0.0f);

    EXPECT_EQ(device_->GetLightEnable(3, &enabled), D3DERR_INVALIDCALL);
    D3DLIGHT9 bad = light;
    bad.Type = static_cast<D3DLIGHTTYPE>(0);
    EXPECT_EQ(device_->SetLight(2, &bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetLight(2, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceStateTest, MaterialReadsBack) {
    Create(WindowParams(64, 64));
    D3DMATERIAL9 material{};
    material.Diffuse = {0.1f, 0.1f, 0.1f, 1};
    material.Emissive = {0.5f, 0.5f, 0.5f, 1};
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 back{};
    ASSERT_EQ(device_->GetMaterial(&back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &material, sizeof material), 0);
    EXPECT_EQ(device_->SetMaterial(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceStateTest, ScenesPair) {
    Create(WindowParams(64, 64));
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
}

TEST_F(DeviceStateTest, ClearFlagsNeedTheirSurfaces) {
    Create(WindowParams(64, 64, false));
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF888888, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t pixel = 0;
    std::memcpy(&pixel, static_cast<uint8_t*>(locked.pBits) + 63 * locked.Pitch + 63 * 4, 4);
    EXPECT_EQ(pixel & 0xFFFFFF, 0x888888u) << "the failed clear changed nothing, the first one cleared";
    back->UnlockRect();
    back->Release();
}

TEST(DeviceStencilTest, StencilClearNeedsStencilBits) {
    for (D3DFORMAT format : {D3DFMT_D16, D3DFMT_D24S8}) {
        ProfileDevice fixture(DefaultAdapterProfile(), WindowParams(16, 16, true, format));
        IDirect3DDevice9* device = fixture.device;
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0),
                  format == D3DFMT_D24S8 ? D3D_OK : D3DERR_INVALIDCALL);
    }
}

}  // namespace
}  // namespace wbx::testing
