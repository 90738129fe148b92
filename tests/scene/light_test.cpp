#include "scene/light.h"

#include <gtest/gtest.h>

#include "d3d9/devicecontrol.h"
#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

class LightTest : public testing::DeviceTest {
protected:
    D3DLIGHT9 DeviceLight(DWORD index) const {
        D3DLIGHT9 light{};
        KV->Device->GetLight(index, &light);
        return light;
    }
    bool DeviceLightEnabled(DWORD index) const {
        BOOL enabled = FALSE;
        return SUCCEEDED(KV->Device->GetLightEnable(index, &enabled)) && enabled != FALSE;
    }
};

TEST_F(LightTest, ANewLightIsADisabledWhiteDirectionalLightAndSendsNothing) {
    Calls->Clear();
    TOXLight light(KV.get(), 3);
    EXPECT_TRUE(Calls->Empty());
    EXPECT_EQ(light.Index, 3u);
    EXPECT_FALSE(light.Enabled);
    EXPECT_TRUE(light.AutoApply);
    EXPECT_EQ(light.Light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Light.Diffuse.a, 0.0f);  // alpha 0 until the first SetDiffuse
    EXPECT_EQ(light.Light.Direction.x, 1.0f);
    EXPECT_EQ(light.Light.Specular.r, 0.0f);
    EXPECT_EQ(light.Light.Range, 0.0f);
    static_assert(sizeof(D3DLIGHT9) == 104);
}

TEST_F(LightTest, SettersStoreTheColourAndSendTheRecordOnce) {
    TOXLight light(KV.get(), 0);
    Calls->Clear();
    light.SetDiffuse(0.5f, 0.25f, 1.0f);
    EXPECT_EQ(CompactCalls().size(), 1u);
    EXPECT_EQ(Calls->Count("SetLight"), 1u);
    const D3DCOLORVALUE diffuse = light.Light.Diffuse;
    EXPECT_EQ(diffuse.r, 0.5f);
    EXPECT_EQ(diffuse.g, 0.25f);
    EXPECT_EQ(diffuse.b, 1.0f);
    EXPECT_EQ(diffuse.a, 1.0f);
    EXPECT_EQ(DeviceLight(0).Diffuse.g, 0.25f);  // sent although the light is disabled

    light.SetSpecular(0.1f, 0.2f, 0.3f);
    light.SetAmbient(0.3f, 0.3f, 0.3f);
    EXPECT_EQ(light.Light.Specular.b, 0.3f);
    EXPECT_EQ(light.Light.Ambient.a, 1.0f);
    EXPECT_EQ(DeviceLight(0).Ambient.r, 0.3f);
    EXPECT_EQ(Calls->Count("SetLight"), 3u);

    // Without AutoApply the setters only store.
    light.AutoApply = false;
    Calls->Clear();
    light.SetDiffuse(0, 0, 0);
    light.SetDirection({0, 1, 0});
    EXPECT_TRUE(Calls->Empty());
    EXPECT_EQ(light.Light.Direction.y, 1.0f);
}

TEST_F(LightTest, SetDirectionMakesTheLightDirectionalAgain) {
    TOXLight light(KV.get(), 1);
    light.Light.Type = D3DLIGHT_POINT;
    light.SetDirection({0, 0, -2});  // not normalised
    EXPECT_EQ(light.Light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Light.Direction.z, -2.0f);
    EXPECT_EQ(DeviceLight(1).Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(DeviceLight(1).Direction.z, -2.0f);
}

TEST_F(LightTest, SetEnabledAlwaysSendsTheRecordThenTheSwitch) {
    TOXLight light(KV.get(), 2);
    light.AutoApply = false;  // SetEnabled sends whatever AutoApply says
    Calls->Clear();
    light.SetEnabled(false);
    EXPECT_EQ(CompactCalls()[1], "LightEnable(2,0)");
    EXPECT_EQ(CompactCalls()[0].substr(0, 9), "SetLight(");
    light.SetEnabled(true);
    EXPECT_EQ(CompactCalls()[3], "LightEnable(2,-1)");  // TRUE is sent as -1
    EXPECT_TRUE(light.Enabled);
    EXPECT_TRUE(DeviceLightEnabled(2));
}

TEST_F(LightTest, GroupHandsOutItsLightsAndLogsAnIndexOutOfRange) {
    StartLog();
    TOXLightGroup group(KV.get(), 3, "lights");
    EXPECT_EQ(group.LightCount, 3u);
    EXPECT_EQ(group.Name, "lights");
    ASSERT_NE(group.GetLight(2), nullptr);
    EXPECT_EQ(group.GetLight(2)->Index, 2u);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(group.GetLight(3), nullptr);
    EXPECT_EQ(group.GetLight(static_cast<uint32_t>(-1)), nullptr);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "#00001 | TOXLightGroup @ Orlix: 範囲外のライトを参照しようとしました");

    // A negative count makes an empty group whose range check still holds.
    TOXLightGroup none(KV.get(), -5, "");
    EXPECT_EQ(none.LightCount, 0u);
    EXPECT_EQ(none.GetLight(0), nullptr);
}

TEST_F(LightTest, GroupRegistersAndUnregistersWithTheDeviceComponent) {
    const size_t before = KV->Resources.size();
    {
        TOXLightGroup group(KV.get(), 1, "");
        ASSERT_EQ(KV->Resources.size(), before + 1);
        EXPECT_EQ(KV->Resources.back()->ID, group.ResourceID);
    }
    EXPECT_EQ(KV->Resources.size(), before);
}

// The viewer's light through a real reset (which returns the device's lights
// to their defaults): only the enabled lights come back, in index order.
TEST_F(LightTest, ResetDeviceBringsBackTheEnabledLightsOnly) {
    TOXLightGroup group(KV.get(), 3, "");
    TOXLight* light = group.GetLight(0);
    testing::SetUpViewerLight(*light);
    group.GetLight(1)->SetDiffuse(0.5f, 0.5f, 0.5f);  // sent, never enabled
    group.GetLight(2)->SetEnabled(true);
    group.GetLight(2)->SetEnabled(false);

    ASSERT_TRUE(LoseDevice(KV->Device));
    ASSERT_TRUE(EndDeviceLoss(KV->Device));
    Calls->Clear();
    KV->ResetDevice();
    ASSERT_EQ(KV->Device->TestCooperativeLevel(), D3D_OK);

    std::vector<std::string> lightCalls;
    for (const std::string& call : CompactCalls()) {
        if (call.rfind("SetLight", 0) == 0 || call.rfind("LightEnable", 0) == 0) lightCalls.push_back(call);
    }
    ASSERT_EQ(lightCalls.size(), 2u);
    EXPECT_EQ(lightCalls[0].substr(0, 10), "SetLight(0");
    EXPECT_EQ(lightCalls[1], "LightEnable(0,-1)");
    EXPECT_TRUE(DeviceLightEnabled(0));
    EXPECT_FALSE(DeviceLightEnabled(2));
    const D3DLIGHT9 restored = DeviceLight(0);
    EXPECT_EQ(restored.Direction.z, -1.0f);
    EXPECT_EQ(restored.Ambient.g, 0.3f);
    EXPECT_EQ(restored.Specular.b, 1.0f);

    // The group's own notification does the same when called directly.
    Calls->Clear();
    group.ReapplyLights();
    EXPECT_EQ(Calls->Count("LightEnable"), 1u);
}

}  // namespace
}  // namespace wbx
