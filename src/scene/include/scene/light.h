#pragma once
// Fixed-function lights. A TOXLight is one device light slot: it keeps the
// D3DLIGHT9 record and sends it again whenever a colour or the direction
// changes. A TOXLightGroup owns lights for the slots 0 .. n-1 and registers
// with the device component so that its enabled lights are sent and enabled
// again after the device is rebuilt or reset (which returns lights to their
// defaults). A light outside a group has no such restoring.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d9/d3d9types.h"
#include "device/resource.h"
#include "math/vector.h"

namespace wbx {

class TKorvane;

class TOXLight {
public:
    // A directional light (direction (1, 0, 0), diffuse (1, 1, 1, 0)) for device
    // slot index, disabled. Sends nothing. deviceComponent is not owned.
    TOXLight(TKorvane* deviceComponent, uint32_t index);

    // Enabled := value, then always SetLight and LightEnable (TRUE sent as -1).
    void SetEnabled(bool value);
    // Set that colour to (r, g, b, 1); SetLight when AutoApply, enabled or not.
    void SetDiffuse(float r, float g, float b);
    void SetSpecular(float r, float g, float b);
    void SetAmbient(float r, float g, float b);
    // Makes the light directional with this direction (not normalised here);
    // SetLight when AutoApply.
    void SetDirection(const Vec3& direction);

    // Fields, in the order of the design.
    TKorvane* DeviceComponent;  // its Device receives the calls; not owned
    uint32_t Index;             // device light slot
    bool Enabled = false;       // last value given to SetEnabled
    bool AutoApply = true;      // setters send the record when true
    D3DLIGHT9 Light;            // the record sent with SetLight

private:
    void Apply();
};

class TOXLightGroup : public TKVResource {
public:
    // Registers with the device component (rebuild and reset: ReapplyLights)
    // and creates count lights for slots 0 .. count-1 (none when count <= 0).
    TOXLightGroup(TKorvane* deviceComponent, int32_t count, std::string name);
    // Unregisters; the device slots keep their last state.
    ~TOXLightGroup() override;

    // The light of slot index, or nullptr with the log line "TOXLightGroup @
    // Orlix: 範囲外のライトを参照しようとしました" when index >= LightCount.
    TOXLight* GetLight(uint32_t index);
    // SetEnabled(true) again on every enabled light, in index order.
    void ReapplyLights();

    // Fields, in the order of the design.
    TKorvane* DeviceComponent;                      // not owned
    int32_t ResourceID;                             // from RegisterResource
    std::string Name;                               // registry name
    uint32_t LightCount;                            // number of entries of Lights
    std::vector<std::unique_ptr<TOXLight>> Lights;  // owned; entry i drives slot i
};

}  // namespace wbx
