// The call log: what a device records, in which order, and how tests of other
// layers read it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d9/callrecorder.h"
#include "d3d9/d3d9.h"
#include "d3d9/devicecontrol.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

using Names = std::vector<std::string>;

class DeviceRecorderTest : public DeviceTest {
protected:
    void SetUp() override {
        Create(WindowParams(64, 64));
        texture_ = NewTexture(8, 8);
        ASSERT_EQ(device_->CreateVertexBuffer(96, 0, 0x112, D3DPOOL_MANAGED, &vb_, nullptr), D3D_OK);
        ASSERT_EQ(device_->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib_, nullptr), D3D_OK);
    }
    void TearDown() override {
        texture_->Release();
        vb_->Release();
        ib_->Release();
        DeviceTest::TearDown();
    }

    // What a rendering queue and a mesh send for one frame with a state cache:
    // the first frame sets blend state and texture, the second only what changed.
    void DrawFrame(bool first) {
        device_->BeginScene();
        if (first) {
            device_->SetTexture(0, texture_);
            device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        }
        D3DMATRIX world = {};
        world._11 = world._22 = world._33 = world._44 = 1.0f;
        world._42 = -36.0f;
        device_->SetTransform(D3DTS_WORLD, &world);
        D3DMATERIAL9 material{};
        material.Diffuse = {0.1f, 0.1f, 0.1f, 1.0f};
        device_->SetMaterial(&material);
        device_->SetFVF(0x112);
        device_->SetIndices(ib_);
        device_->SetStreamSource(0, vb_, 0, 32);
        device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
        device_->EndScene();
    }

    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
};

TEST_F(DeviceRecorderTest, RecordsEveryCallInOrderWithArguments) {
    std::shared_ptr<CallLog> log = AttachCallLog(device_);
    ASSERT_NE(log, nullptr);
    DrawFrame(true);
    const Names first{"BeginScene",      "SetTexture",           "SetRenderState", "SetRenderState",
                      "SetTransform",    "SetMaterial",          "SetFVF",         "SetIndices",
                      "SetStreamSource", "DrawIndexedPrimitive", "EndScene"};
    EXPECT_EQ(log->Names(), first);

    log->Clear();
    DrawFrame(false);
    EXPECT_EQ(log->NamesExcept({"BeginScene", "EndScene", "SetFVF", "SetIndices", "SetStreamSource"}),
              (Names{"SetTransform", "SetMaterial", "DrawIndexedPrimitive"}));

    const std::vector<CallRecord> transforms = log->Filter("SetTransform");
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].Text, "SetTransform(D3DTS_WORLD)");
    ASSERT_EQ(transforms[0].Ints.size(), 1u);
    EXPECT_EQ(transforms[0].Ints[0], D3DTS_WORLD);
    ASSERT_EQ(transforms[0].Floats.size(), 16u);
    EXPECT_EQ(transforms[0].Floats[13], -36.0);  // _42, row by row

    const CallRecord material = log->Filter("SetMaterial").at(0);
    ASSERT_EQ(material.Floats.size(), 17u);
    EXPECT_FLOAT_EQ(static_cast<float>(material.Floats[0]), 0.1f);

    const CallRecord draw = log->Filter("DrawIndexedPrimitive").at(0);
    EXPECT_EQ(draw.Ints, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1}));
    EXPECT_EQ(draw.Text, "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1)");
    EXPECT_EQ(draw.Result, D3D_OK);

    const CallRecord stream = log->Filter("SetStreamSource").at(0);
    EXPECT_EQ(stream.Ints[1], static_cast<int64_t>(ObjectSerial(vb_)));
    EXPECT_NE(stream.Ints[1], 0);
}

TEST_F(DeviceRecorderTest, TextsNameTheConstants) {
    std::shared_ptr<CallLog> log = AttachCallLog(device_);
    device_->SetRenderState(D3DRS_ZENABLE, 1);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTexture(0, nullptr);
    device_->SetTexture(0, texture_);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f, 0);
    device_->LightEnable(0, -1);
    device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(300), 1);
    const Names texts = log->Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0], "SetRenderState(D3DRS_ZENABLE, 1)");
    EXPECT_EQ(texts[1], "SetSamplerState(0, D3DSAMP_MINFILTER, 2)");
    EXPECT_EQ(texts[2], "SetTextureStageState(0, D3DTSS_COLOROP, 4)");
    EXPECT_EQ(texts[3], "SetTexture(0, nullptr)");
    EXPECT_EQ(texts[4], "SetTexture(0, texture#" + std::to_string(ObjectSerial(texture_)) + ")");
    EXPECT_EQ(texts[5], "Clear(0, 3, 0xFF888888, 1, 0)");
    EXPECT_EQ(texts[6], "LightEnable(0, -1)");
    EXPECT_EQ(texts[7], "SetRenderState(300, 1)");
    EXPECT_EQ((*log)[7].Result, D3DERR_INVALIDCALL) << "failed calls are recorded with their answer";
    EXPECT_EQ(log->Count("SetTexture"), 2u);
    EXPECT_EQ((*log)[5].Floats, (std::vector<double>{1.0}));
}

TEST_F(DeviceRecorderTest, DetachingStopsRecordingAndTheLogOutlivesTheDevice) {
    std::shared_ptr<CallLog> log = AttachCallLog(device_);
    device_->SetFVF(0x112);
    ASSERT_TRUE(AttachCallLog(device_, nullptr));
    device_->SetFVF(0x102);
    EXPECT_EQ(log->Size(), 1u);
    EXPECT_FALSE(AttachCallLog(nullptr, log));
}

TEST(CallRecorderHookTest, DevicesCreatedAfterTheHookRecordIntoIt) {
    IDirect3D9* d3d = Direct3DCreate9WithProfile(DefaultAdapterProfile());
    D3DPRESENT_PARAMETERS pp = WindowParams(16, 16, false);
    IDirect3DDevice9* before = nullptr;
    ASSERT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &before),
        D3D_OK);

    auto log = std::make_shared<CallLog>();
    SetCallRecorder(log);
    EXPECT_EQ(CallRecorder(), log);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16),
              D3D_OK);
    IDirect3DDevice9* after = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &after),
              D3D_OK);
    IDirect3DDevice9* refused = nullptr;
    EXPECT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &refused),
        D3DERR_NOTAVAILABLE);
    SetCallRecorder(nullptr);

    before->SetRenderState(D3DRS_LIGHTING, FALSE);
    after->SetRenderState(D3DRS_LIGHTING, FALSE);
    EXPECT_EQ(log->Names(),
              (Names{"CheckDepthStencilMatch", "CreateDevice", "CreateDevice", "SetRenderState"}));
    EXPECT_EQ((*log)[0].Text,
              "CheckDepthStencilMatch(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16)");
    EXPECT_EQ((*log)[1].Text, "CreateDevice(0, D3DDEVTYPE_REF, 32)");
    EXPECT_EQ((*log)[2].Result, D3DERR_NOTAVAILABLE);

    // The hook was cleared: a device created now records nothing.
    IDirect3DDevice9* later = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &later),
              D3D_OK);
    later->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DCAPS9 caps{};
    d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps);
    EXPECT_EQ(log->Size(), 4u);

    EXPECT_EQ(later->Release(), 0u);
    EXPECT_EQ(after->Release(), 0u);
    EXPECT_EQ(before->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
}  // namespace wbx::testing
