#include "devicechild.h"

#include <atomic>

#include "softwaredevice.h"

namespace wbx {

uint64_t NextObjectSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

DeviceChild::DeviceChild(SoftwareDevice* device, D3DPOOL pool, uint64_t bytes)
    : device_(device), pool_(pool), bytes_(bytes), serial_(NextObjectSerial()) {
    device_->AddRef();
    device_->ChargeMemory(pool_, bytes_);
}

// Also runs when a derived constructor throws (memory could not be had), so the
// device reference taken above is given back on every path.
DeviceChild::~DeviceChild() {
    device_->RefundMemory(pool_, bytes_);
    device_->Release();  // may destroy the device; nothing of this object is used afterwards
}

ULONG DeviceChild::ReleaseChild() {
    if (refs_ == 0) return 0;  // an over-release: nothing left to give back
    if (--refs_ > 0) return refs_;
    delete this;  // unbinds, refunds and then drops the device reference
    return 0;
}

HRESULT DeviceChild::GetDeviceChild(IDirect3DDevice9** ppDevice) {
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

}  // namespace wbx
