#pragma once
// The state a software device keeps between calls, and Direct3D 9's creation
// defaults for it. CreateDevice and every successful Reset start from these
// defaults (ZENABLE follows EnableAutoDepthStencil; the viewport covers the
// whole back buffer).

#include <map>
#include <vector>

#include "d3d9/d3d9types.h"
#include "d3d9/raster/rasterizer.h"

namespace wbx {

class SoftwareTexture;
class SoftwareVertexBuffer;
class SoftwareIndexBuffer;

// Transform slots: D3DTS_VIEW .. D3DTS_TEXTURE7 below 256, then the 256 world
// matrices D3DTS_WORLDMATRIX(0..255).
constexpr DWORD kTransformSlots = 512;
constexpr DWORD kMaxStages = raster::kMaxTextureStages;

struct LightSlot {
    D3DLIGHT9 Light{};
    bool Enabled = false;
};

struct DeviceState {
    // What the rasteriser reads, kept up to date call by call so that a draw
    // copies nothing. World, View and Projection mirror Transforms; the
    // ActiveLights list is rebuilt from Lights when LightsDirty; Textures holds
    // views of the bound textures' levels.
    raster::PipelineState Pipeline;
    std::vector<D3DMATRIX> Transforms = std::vector<D3DMATRIX>(kTransformSlots);
    std::map<DWORD, LightSlot> Lights;  // every index that was ever set, lowest first
    bool LightsDirty = true;
    DWORD FVF = 0;
    // Bindings hold no public reference (as in Direct3D 9); a resource that is
    // destroyed while bound is unbound by the device first.
    SoftwareTexture* Textures[kMaxStages] = {};
    SoftwareVertexBuffer* Stream = nullptr;
    UINT StreamOffset = 0;  // bytes
    UINT StreamStride = 0;  // bytes
    SoftwareIndexBuffer* Indices = nullptr;
};

D3DMATRIX IdentityMatrix();

// Replaces every field of state by Direct3D 9's creation default.
void ApplyCreationDefaults(DeviceState& state, bool autoDepthStencil, UINT backBufferWidth,
                           UINT backBufferHeight);

// The light LightEnable creates for an index that was never set: directional,
// white diffuse (alpha 0), shining along +z.
D3DLIGHT9 DefaultLight();

}  // namespace wbx
