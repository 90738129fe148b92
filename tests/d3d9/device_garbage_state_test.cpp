// Direct3D 9 stores any value for a state; drawing with values outside their
// enumerations must stay inside every buffer (run under the sanitizers).

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class DeviceGarbageStateTest : public DeviceTest {};

TEST_F(DeviceGarbageStateTest, DrawingWithOutOfRangeStateValuesIsSafe) {
    Create(WindowParams(32, 32, true, D3DFMT_D24S8));
    struct Vertex {
        float x, y, z, nx, ny, nz, u, v;
    };
    const Vertex vertices[3] = {
        {-1, -1, 0.5f, 0, 0, -1, -3, -3}, {1, -1, 0.5f, 0, 0, -1, 7, 0}, {0, 1, 0.5f, 0, 0, -1, 0, 9}};
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof vertices, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, vertices, sizeof vertices);
    vb->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t indices[3] = {0, 1, 2};
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    IDirect3DTexture9* texture = NewTexture(8, 8, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED, 0);
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_SPOT;
    light.Diffuse = {1, 1, 1, 1};
    light.Range = -1.0f;
    light.Theta = 7.0f;
    light.Phi = -3.0f;
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);

    for (DWORD garbage : {0u, 1u, 2u, 3u, 5u, 8u, 26u, 1000u, 0x3F800000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        for (DWORD rs = 0; rs < D3DRS_MAX; ++rs) {
            device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(rs), garbage);
        }
        for (DWORD stage = 0; stage < 8; ++stage) {
            for (DWORD t = 1; t < D3DSAMP_MAX; ++t) {
                device_->SetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(t), garbage);
            }
            for (DWORD t = 1; t < D3DTSS_MAX; ++t) {
                device_->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(t), garbage);
            }
            device_->SetTexture(stage, texture);
        }
        device_->SetFVF(0x112);
        device_->SetStreamSource(0, vb, 0, sizeof(Vertex));
        device_->SetIndices(ib);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, garbage,
                                 0.5f, garbage),
                  D3D_OK);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK) << garbage;
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 1), D3D_OK) << garbage;
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_LINESTRIP, 0, 2), D3D_OK) << garbage;
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 3), D3D_OK) << garbage;
    }
    texture->Release();
    vb->Release();
    ib->Release();
}

}  // namespace
}  // namespace wbx::testing
