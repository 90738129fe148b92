#pragma once
// TKVResourceDesc: one entry of a device component's resource registry.

#include <cstdint>
#include <string>

#include "device/resource.h"

namespace wbx {

struct TKVResourceDesc {
    int32_t ID = 0;                   // handed out by RegisterResource; never reused
    std::string Name;                 // the name the object gave (trace lines)
    TKVResource* Resource = nullptr;  // the registered object; not owned
    std::string ClassName;            // the object's class, for trace lines ("TKVTexture")
    TKVNotify OnRelease;              // release every Direct3D object made on the device
    TKVNotify OnRebuild;              // make them again on the (new) device
    TKVNotify OnDeviceLost;           // prepare for a device reset
    TKVNotify OnDeviceReset;          // recover after a device reset
};

}  // namespace wbx
