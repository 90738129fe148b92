#pragma once
// Control of our software devices from outside Direct3D 9's interface, for
// tests: device loss on demand (a device whose window is minimised loses
// itself, see d3d9/presentationtarget.h), and the object serials that call
// records use. Every function accepts any pointer and does nothing
// (answering false or 0) for one that is not ours.
//
// Loss, as in Direct3D 9:
//   LoseDevice        -> TestCooperativeLevel answers D3DERR_DEVICELOST;
//                        Present fails with it; draws and clears do nothing;
//                        Reset fails with D3DERR_DEVICELOST.
//   EndDeviceLoss     -> TestCooperativeLevel answers D3DERR_DEVICENOTRESET
//                        until a Reset succeeds (the loss does not end by itself).
//   Reset succeeds    -> D3D_OK again.

#include <cstdint>

#include "d3d9/d3d9.h"

namespace wbx {

bool LoseDevice(IDirect3DDevice9* device);
bool EndDeviceLoss(IDirect3DDevice9* device);  // false when the device was not lost
bool IsSoftwareDevice(IDirect3DDevice9* device);

// How many frames a device has presented (successful Present calls).
uint64_t PresentedFrameCount(IDirect3DDevice9* device);

// The serial that call records use for a texture, vertex or index buffer of
// our devices (e.g. the second integer of a SetTexture record); 0 for none.
uint64_t ObjectSerial(IUnknown* object);

}  // namespace wbx
