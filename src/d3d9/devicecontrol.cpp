#include "d3d9/devicecontrol.h"

#include "d3d9/callrecorder.h"
#include "devicechild.h"
#include "softwaredevice.h"
#include "surface.h"

namespace wbx {

namespace {

SoftwareDevice* Ours(IDirect3DDevice9* device) { return dynamic_cast<SoftwareDevice*>(device); }

}  // namespace

bool LoseDevice(IDirect3DDevice9* device) {
    SoftwareDevice* ours = Ours(device);
    if (ours == nullptr) return false;
    ours->MakeLost();
    return true;
}

bool EndDeviceLoss(IDirect3DDevice9* device) {
    SoftwareDevice* ours = Ours(device);
    return ours != nullptr && ours->EndLoss();
}

bool IsSoftwareDevice(IDirect3DDevice9* device) { return Ours(device) != nullptr; }

uint64_t PresentedFrameCount(IDirect3DDevice9* device) {
    SoftwareDevice* ours = Ours(device);
    return ours != nullptr ? ours->PresentCount() : 0;
}

uint64_t ObjectSerial(IUnknown* object) {
    if (const auto* child = dynamic_cast<const DeviceChild*>(object)) return child->Serial();
    if (const auto* surface = dynamic_cast<const SoftwareSurface*>(object)) return surface->Serial();
    return 0;
}

bool AttachCallLog(IDirect3DDevice9* device, std::shared_ptr<CallLog> log) {
    SoftwareDevice* ours = Ours(device);
    if (ours == nullptr) return false;
    ours->SetCallLog(std::move(log));
    return true;
}

}  // namespace wbx
