#pragma once
// Where a device's Present puts its frames. D3DPRESENT_PARAMETERS::hDeviceWindow
// (and the focus window of CreateDevice) point at one of these: the viewer's
// window implements it and draws each frame; tests capture into memory.

#include <cstdint>
#include <memory>

namespace wbx {

class PresentationTarget {
public:
    virtual ~PresentationTarget() = default;

    // Receives one presented frame: width x height pixels in X8R8G8B8 (bytes
    // blue, green, red, unused), rows pitch bytes apart, valid only during the call.
    virtual void PresentFrame(const uint8_t* bits, int pitch, int width, int height) = 0;

    // The same frame together with a share of the memory that holds it
    // (bits lies inside memory). A target that keeps the share may go on
    // showing the frame after the call, without copying it: the device never
    // draws into memory a target still holds, and the memory lives as long as
    // any share of it. The default hands the frame to PresentFrame.
    virtual void PresentSharedFrame(const std::shared_ptr<const uint8_t[]>& memory, const uint8_t* bits,
                                    int pitch, int width, int height) {
        (void)memory;
        PresentFrame(bits, pitch, width, height);
    }

    // The display refresh in Hz that D3DPRESENT_INTERVAL_DEFAULT and _ONE pace
    // Present to. 0 or less means "use 60".
    virtual double RefreshRate() const { return 60.0; }

    // Whether frames can be shown now. A device window that cannot show them
    // (a minimised window) loses its device, as a driver does: from the next
    // Present or TestCooperativeLevel the device is lost, and once frames can
    // be shown again it waits for a Reset (D3DERR_DEVICENOTRESET).
    virtual bool CanShow() const { return true; }
};

}  // namespace wbx
