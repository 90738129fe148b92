#pragma once
// TKorvane: the device component of a window. It owns the Direct3D object and
// the device, brings the device up in window mode at a requested client size,
// re-creates it, resets it after loss, and keeps the registry of resources
// that must follow the device (textures, buffers, the scene, lights).
//
// Lifecycle, as the viewer drives it:
//   1. KV = std::make_unique<TKorvane>(window);        construction (defaults:
//      DebugOption all three options, both Booleans false; switches untouched)
//   2. the stored properties: KV->UseREFDevice = ...;
//      KV->UseSoftwareVertexProcessing = ...; KV->SetDebugOption(...) (or assign
//      DebugOption; Loaded applies it to the switches either way)
//   3. KV->Loaded();    Direct3D and a first device at the client size, no depth
//   4. KV->SetWindowMode(w, h, DefaultDepthFormats, 0, D3DSWAPEFFECT_DISCARD,
//      D3DMULTISAMPLE_NONE, 0);                      the device with a depth buffer
//   5. KV->ResetDevice() whenever TestCooperativeLevel says D3DERR_DEVICENOTRESET
//   6. free every registered object, then KV.reset()  (the destructor = Destroy)
//
// Every step is traced in the debug log (diagnostics.h) and every failure
// goes through CheckResult. When device creation fails and the program is not
// halted, the component keeps going without a device: Device is nullptr and
// nothing touches it (no surfaces fetched, no rebuild, ResetDevice does
// nothing); the next SetWindowMode tries again. Likewise without D3D.
//
// Registry rules (RegisterResource/UnregisterResource):
//   - The registry exists from construction (empty, next ID 0); Loaded keeps
//     whatever was registered before it.
//   - IDs count up from 0 and are never reused; entries stay in registration order.
//   - A notification loop (release, rebuild, lost, reset) notifies the entries
//     registered when it starts, in order. An entry unregistered during the
//     loop (by a notification or a destructor it runs) is not called after
//     that; an entry registered during the loop is not called by that loop
//     (it was made for the device as it is and sees the next event).
//   - Destroy deletes leftovers oldest first (see resource.h for who may be a
//     leftover). An object whose destructor does not unregister, or that was
//     registered more than once, is reported and its remaining entries dropped,
//     so Destroy always ends and never deletes an object twice.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "device/diagnostics.h"
#include "device/ownerwindow.h"
#include "device/resourcedesc.h"

namespace wbx {

// Depth-stencil formats in order of preference for SetWindowMode.
inline constexpr std::array<D3DFORMAT, 3> DefaultDepthFormats = {D3DFMT_D16, D3DFMT_D16_LOCKABLE, D3DFMT_D32};

class TKorvane {
public:
    // owner: the window the component is placed on (not owned; must outlive
    // the component). designMode: the component sits in a form designer; then
    // Loaded and the destructor do nothing of their own, and a second
    // component on the same owner is refused with an exception.
    explicit TKorvane(TKVOwnerWindow* owner, bool designMode = false);
    // Destroy: deletes leftover resources, releases the device and Direct3D.
    ~TKorvane();
    TKorvane(const TKorvane&) = delete;
    TKorvane& operator=(const TKorvane&) = delete;

    // Start-up once the stored properties are applied.
    void Loaded();

    // (Re)creates the device in window mode with a width x height back buffer
    // and resizes the owner so that its client area has that size, keeping
    // its position. depthFormats may be empty (no depth buffer).
    void SetWindowMode(int32_t width, int32_t height, std::span<const D3DFORMAT> depthFormats,
                       uint32_t presentationInterval, D3DSWAPEFFECT swapEffect,
                       D3DMULTISAMPLE_TYPE multiSampleType, uint32_t adapter);
    // Resets a device that reported D3DERR_DEVICENOTRESET, around OnDeviceLost
    // and OnDeviceReset of every resource.
    void ResetDevice();
    // Gives the device width x height back buffers through a reset (as a
    // window that changed size does in Direct3D 9): the presentation
    // parameters take the new size, then ResetDevice. Width and Height follow
    // what the reset made. Nothing happens without a device or when the size
    // is what it is.
    void ResizeBackBuffers(int32_t width, int32_t height);
    // Back buffer index of the device; 0 <= index < BackBufferCount (unchecked).
    IDirect3DSurface9* BackBuffer(int32_t index) const { return BackBuffers[static_cast<size_t>(index)]; }
    // Stores options and sets the three switches of diagnostics.h from them.
    void SetDebugOption(TKVDebugOption options);

    // The registry. RegisterResource returns the entry's ID; className is the
    // object's class for the trace ("TKVTexture"). Empty notifications are skipped.
    int32_t RegisterResource(TKVResource* resource, const std::string& className, const std::string& name,
                             TKVNotify onRelease, TKVNotify onRebuild, TKVNotify onDeviceLost,
                             TKVNotify onDeviceReset);
    void UnregisterResource(int32_t id);
    void ReleaseAllResources();
    void RebuildAllResources();

    bool DesignMode() const { return designMode_; }

    // Fields. Callers read them; only the stored properties (DebugOption,
    // UseREFDevice, UseSoftwareVertexProcessing) are theirs to assign.
    IDirect3D9* D3D = nullptr;                         // owned reference; from Loaded until Destroy
    IDirect3DDevice9* Device = nullptr;                // owned reference; nullptr while no device exists
    std::vector<IDirect3DSurface9*> BackBuffers;       // one reference held on each (entries may be nullptr)
    IDirect3DSurface9* DepthStencilSurface = nullptr;  // owned reference, or nullptr
    int32_t BackBufferCount = 0;
    TKVDebugOption DebugOption = TKVDebugOption::All();
    bool UseREFDevice = false;                 // reference rasteriser at the next mode set-up
    bool UseSoftwareVertexProcessing = false;  // software vertex processing on a hardware device
    // The back buffer's format at the next mode set-up; D3DFMT_UNKNOWN (the
    // default, what a window uses) takes the display mode's. Not a stored
    // property of the window: offscreen renderers ask for D3DFMT_A8R8G8B8.
    D3DFORMAT RequestedBackBufferFormat = D3DFMT_UNKNOWN;
    bool Windowed = false;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    D3DFORMAT DisplayFormat = D3DFMT_UNKNOWN;   // the display mode's when the device was made
    int32_t Width = 0;                          // back buffer, pixels
    int32_t Height = 0;                         // back buffer, pixels
    TKVOwnerWindow* OwnerControl = nullptr;     // not owned
    D3DPRESENT_PARAMETERS PresentParameters{};  // as Direct3D left them; passed again to Reset
    uint32_t Adapter = 0;
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    int32_t NextResourceID = 0;
    std::vector<std::unique_ptr<TKVResourceDesc>> Resources;  // registration order, oldest first

private:
    void Destroy();
    void DestroyLeftovers();
    void ReleaseDevice();
    void CreateDevice(uint32_t adapter, D3DDEVTYPE deviceType, HWND focusWindow, uint32_t behaviorFlags,
                      D3DPRESENT_PARAMETERS& presentParameters);
    D3DDISPLAYMODE GetDisplayMode(uint32_t adapter);
    void InitMode(uint32_t adapter, const D3DDISPLAYMODE& displayMode, D3DMULTISAMPLE_TYPE multiSampleType,
                  std::span<const D3DFORMAT> depthFormats, D3DSWAPEFFECT swapEffect,
                  uint32_t presentationInterval);
    D3DFORMAT FindDepthStencilFormat(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT displayFormat,
                                     const D3DPRESENT_PARAMETERS& presentParameters,
                                     std::span<const D3DFORMAT> depthFormats);
    void ResizeOwner(int32_t width, int32_t height);
    // Calls one notification of every entry registered now (see the registry rules).
    void NotifyAll(TKVNotify TKVResourceDesc::*notification);
    TKVResourceDesc* FindEntry(int32_t id);

    bool designMode_ = false;
};

}  // namespace wbx
