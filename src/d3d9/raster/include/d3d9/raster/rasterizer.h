#pragma once
// The seam between our Direct3D 9 objects and the pixel pipeline. The device
// (d3d9/softwaredevice.*) validates calls, keeps state and resources, and hands
// the rasteriser plain data: a snapshot of the pipeline state, views of vertex
// and index memory, and views of the target surfaces. The rasteriser knows
// nothing of interfaces or reference counts.
//
// Contract:
//   - Every pointer handed in is valid for the duration of the call only.
//   - Draw never reads outside VertexStream/IndexStream: a primitive that
//     names a vertex at or beyond VertexCount is skipped.
//   - The same inputs give the same pixels, bit for bit, on every run and on
//     every thread count, whether or not a draw's set-ups are reused.

#include <cstdint>
#include <memory>

#include "d3d9/d3d9types.h"
#include "d3d9/raster/pixelisa.h"

namespace wbx::raster {

constexpr int kMaxTextureStages = 8;
constexpr int kMaxActiveLights = 8;
constexpr int kMaxMipLevels = 16;

// A view of one surface's pixels (not owned). Pitch is in bytes and may be
// larger than Width x bytes per pixel.
struct Surface {
    uint8_t* Bits = nullptr;
    int Pitch = 0;
    int Width = 0;
    int Height = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    // A depth surface: true when every depth field of it holds what a clear
    // to ClearedDepth wrote there, nothing having written depth since. Draws
    // that write no depth then compare with that value instead of reading
    // it, so whoever sets the flag must drop it before anything may write
    // the surface's depth (a draw with depth writes, a lock, a copy).
    bool DepthUniform = false;
    float ClearedDepth = 0.0f;  // z as given to Clear, quantised as Clear quantises it
};

// The mip chain of a bound texture, level 0 first. LevelCount 0: no texture.
struct TextureLevels {
    int LevelCount = 0;
    Surface Levels[kMaxMipLevels];
};

// Everything the fixed-function pipeline reads, as the device holds it at the
// time of the draw. Arrays are indexed by Direct3D 9's enumeration values.
struct PipelineState {
    DWORD RenderStates[D3DRS_MAX] = {};
    DWORD SamplerStates[kMaxTextureStages][D3DSAMP_MAX] = {};
    DWORD StageStates[kMaxTextureStages][D3DTSS_MAX] = {};
    D3DMATRIX World{};
    D3DMATRIX View{};
    D3DMATRIX Projection{};
    D3DVIEWPORT9 Viewport{};
    D3DMATERIAL9 Material{};
    int ActiveLightCount = 0;  // enabled lights, lowest index first
    D3DLIGHT9 ActiveLights[kMaxActiveLights] = {};
    TextureLevels Textures[kMaxTextureStages];  // per stage
};

struct VertexStream {
    const uint8_t* Data = nullptr;  // first vertex of the stream (offset already applied)
    UINT Stride = 0;                // bytes from one vertex to the next
    UINT VertexCount = 0;           // vertices readable from Data
    DWORD FVF = 0;                  // layout of each vertex
};

struct IndexStream {
    const uint8_t* Data = nullptr;
    bool Is32Bit = false;  // D3DFMT_INDEX32, else 16-bit
    UINT IndexCount = 0;   // indices readable from Data
};

struct DrawCall {
    D3DPRIMITIVETYPE Type = D3DPT_TRIANGLELIST;
    bool Indexed = true;
    INT BaseVertexIndex = 0;  // added to every index (indexed draws)
    UINT StartIndex = 0;      // first index (indexed) or first vertex (non-indexed)
    UINT PrimitiveCount = 0;
};

struct RenderTargets {
    Surface Color;                   // X8R8G8B8 back buffer
    const Surface* Depth = nullptr;  // depth-stencil surface, or none
};

// Whether draws and clears write colour targets of this format: the 32-bit
// X8R8G8B8 and A8R8G8B8. A target of any other format is left untouched.
bool IsColorTargetFormat(D3DFORMAT format);

// One per device. Holds scratch memory (and worker threads, if any) so that
// drawing a steady scene allocates nothing once warm.
class Rasterizer {
public:
    Rasterizer();
    ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    void Draw(const PipelineState& state, const VertexStream& vertices, const IndexStream* indices,
              const DrawCall& call, const RenderTargets& targets);

    // Clear with Direct3D 9's rules: no rectangles clears the viewport; given
    // rectangles are clipped to the viewport. Flags are D3DCLEAR_*.
    void Clear(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
               const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);

    // Copies `rows` rows of `rowBytes` bytes each from `source` (rows
    // `sourcePitch` bytes apart) to `target` (rows `targetPitch` apart), as
    // Present copies a frame: a frame of the size Clear and Draw give two
    // threads is copied by two threads as well. The two areas must not overlap.
    void CopyRows(uint8_t* target, size_t targetPitch, const uint8_t* source, size_t sourcePitch,
                  size_t rowBytes, size_t rows);

    // Draw reuse (on by default): the triangle set-ups of the last few solid
    // draws are kept, and a draw whose every input before the pixel stage is
    // byte for byte that of a kept one (vertices, indices, call, transforms,
    // lighting, viewport, culling, target sizes, thread count) draws the kept
    // set-ups instead of transforming, lighting, clipping and setting up
    // again. What only the pixel stage reads (textures and their contents,
    // blending, depth and alpha tests) may differ. The pixels are the same
    // either way; memory: see drawreuse.h (a few MB for a figure). Off
    // forgets what is kept.
    void SetDrawReuse(bool on);
    // Whether the last Draw drew kept set-ups.
    bool LastDrawReused() const;

    // Diagnostics for tests and benchmarks. With the reference path on, every
    // pixel goes through the plain per-pixel routine instead of the routines
    // specialised per state; the pixels must come out the same either way.
    void SetReferencePixelPath(bool on);
    // Whether the last Draw's triangles used a specialised routine.
    bool LastDrawUsedFastPath() const;
    // Threads that draw: 1, 2 (a worker thread shares vertex work, triangle
    // setup, clears and the pixels of screen tiles), or 0 (the default):
    // two for targets large enough that the second thread pays for its
    // hand-overs, one below. The pixels are the same either way.
    void SetThreadCount(int count);
    // The instruction set of the span kernels: by default the widest this
    // processor has. Returns false, changing nothing, for one it lacks. The
    // pixels are the same with every one.
    bool SetPixelIsa(PixelIsa isa);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace wbx::raster
