#include "scene/light.h"

#include "d3d9/d3d9.h"
#include "device/diagnostics.h"
#include "device/korvane.h"

namespace wbx {

// ---------------------------------------------------------------------------
// TOXLight

TOXLight::TOXLight(TKorvane* deviceComponent, uint32_t index)
    : DeviceComponent(deviceComponent), Index(index), Light{} {
    Light.Type = D3DLIGHT_DIRECTIONAL;
    Light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    Light.Direction = {1.0f, 0.0f, 0.0f};
}

void TOXLight::Apply() {
    if (IDirect3DDevice9* device = DeviceComponent->Device) device->SetLight(Index, &Light);
}

void TOXLight::SetEnabled(bool value) {
    Enabled = value;
    IDirect3DDevice9* device = DeviceComponent->Device;
    if (device == nullptr) return;
    device->SetLight(Index, &Light);
    device->LightEnable(Index, Enabled ? -1 : FALSE);
}

void TOXLight::SetDiffuse(float r, float g, float b) {
    Light.Diffuse = {r, g, b, 1.0f};
    if (AutoApply) Apply();
}

void TOXLight::SetSpecular(float r, float g, float b) {
    Light.Specular = {r, g, b, 1.0f};
    if (AutoApply) Apply();
}

void TOXLight::SetAmbient(float r, float g, float b) {
    Light.Ambient = {r, g, b, 1.0f};
    if (AutoApply) Apply();
}

void TOXLight::SetDirection(const Vec3& direction) {
    Light.Type = D3DLIGHT_DIRECTIONAL;
    Light.Direction = {direction.x, direction.y, direction.z};
    if (AutoApply) Apply();
}

// ---------------------------------------------------------------------------
// TOXLightGroup

TOXLightGroup::TOXLightGroup(TKorvane* deviceComponent, int32_t count, std::string name)
    : DeviceComponent(deviceComponent),
      ResourceID(deviceComponent->RegisterResource(
          this, "TOXLightGroup", name, nullptr, [this] { ReapplyLights(); }, nullptr,
          [this] { ReapplyLights(); })),
      Name(std::move(name)),
      // A negative count makes no lights; LightCount always says how many exist,
      // so GetLight's range check never lets an index past the array.
      LightCount(count > 0 ? static_cast<uint32_t>(count) : 0u) {
    Lights.reserve(LightCount);
    for (uint32_t i = 0; i < LightCount; ++i)
        Lights.push_back(std::make_unique<TOXLight>(DeviceComponent, i));
}

TOXLightGroup::~TOXLightGroup() {
    TKVLogFailureGuard logGuard;
    DeviceComponent->UnregisterResource(ResourceID);
}

TOXLight* TOXLightGroup::GetLight(uint32_t index) {
    if (index < LightCount) return Lights[index].get();
    WriteLog("TOXLightGroup @ Orlix: 範囲外のライトを参照しようとしました");
    return nullptr;
}

void TOXLightGroup::ReapplyLights() {
    for (const auto& light : Lights) {
        if (light->Enabled) light->SetEnabled(true);
    }
}

}  // namespace wbx
