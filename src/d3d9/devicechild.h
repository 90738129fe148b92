#pragma once
// The life of a resource the application creates on a software device
// (texture, vertex buffer, index buffer), as Direct3D 9 defines it:
//   - it starts with one reference, the creator's, and holds one reference on
//     its device for as long as it lives, so the device outlives it;
//   - at its last Release it is destroyed at once: the device unbinds it from
//     every slot it was bound to, its bytes are given back to the device's
//     memory count, and only then is the device reference dropped (by the
//     destructor of this base, which runs after the derived parts are gone);
//   - binding it (SetTexture, SetStreamSource, SetIndices) adds no reference.

#include <cstdint>

#include "d3d9/d3d9.h"

namespace wbx {

class SoftwareDevice;

class DeviceChild {
public:
    SoftwareDevice* Device() const { return device_; }
    D3DPOOL Pool() const { return pool_; }
    uint64_t Bytes() const { return bytes_; }    // memory charged to the device
    uint64_t Serial() const { return serial_; }  // process-wide, from 1; names the object in call records
    ULONG References() const { return refs_; }

protected:
    DeviceChild(SoftwareDevice* device, D3DPOOL pool, uint64_t bytes);
    virtual ~DeviceChild();
    DeviceChild(const DeviceChild&) = delete;
    DeviceChild& operator=(const DeviceChild&) = delete;

    ULONG AddRefChild() { return ++refs_; }
    ULONG ReleaseChild();  // destroys this object when the count reaches 0
    HRESULT GetDeviceChild(IDirect3DDevice9** ppDevice);

private:
    SoftwareDevice* device_;  // not owned; one reference held until this object is gone
    D3DPOOL pool_;
    uint64_t bytes_;
    uint64_t serial_;
    ULONG refs_ = 1;
};

// A process-wide serial for every object our devices create (resources and
// surfaces), so call records can name them.
uint64_t NextObjectSerial();

}  // namespace wbx
