#pragma once
// What our software device needs to know about a Direct3D 9 format to give it
// memory: bytes per element and its kind. The device layer has its own colour
// conversions; these are only for sizing and validation.

#include "d3d9/d3d9types.h"

namespace wbx {

// Bytes per pixel of a colour, depth or palette format; 0 for formats the
// software device keeps no plain pixel memory for (block-compressed, YUV,
// buffer and unknown formats).
UINT FormatBytesPerPixel(D3DFORMAT format);

bool IsDepthFormat(D3DFORMAT format);

// Depth formats that carry stencil bits (D3DCLEAR_STENCIL needs one).
bool HasStencilBits(D3DFORMAT format);

// Formats a display mode and so an adapter format may have.
bool IsDisplayFormat(D3DFORMAT format);

// The only depth format an application may lock.
inline bool IsLockableDepthFormat(D3DFORMAT format) { return format == D3DFMT_D16_LOCKABLE; }

}  // namespace wbx
