#pragma once
// SoftwareSurface: a rectangle of pixels in memory, as IDirect3DSurface9.
// Two kinds, with Direct3D 9's counting rules:
//   - a surface of the device itself (a back buffer or the automatic
//     depth-stencil surface) is owned by the device. Its public count starts at
//     0; GetBackBuffer / GetDepthStencilSurface add one, and while the count is
//     above 0 the surface holds a reference on the device. Releasing it to 0
//     does not destroy it.
//   - a level of a texture is owned by the texture; AddRef and Release go to
//     the texture and answer the texture's count.
//
// Rows are Pitch bytes apart, and the pitch is deliberately larger than
// width x bytes per pixel: callers must step rows by the pitch they are given.
// Memory starts zeroed. A back buffer's memory is shared with whoever shows a
// presented frame: Present gives the surface other memory of the same size
// (ExchangeMemory) instead of copying its pixels out.

#include <cstdint>
#include <memory>

#include "d3d9/d3d9.h"
#include "d3d9/raster/rasterizer.h"

namespace wbx {

class SoftwareDevice;

class SoftwareSurface final : public IDirect3DSurface9 {
public:
    // container: the texture this surface is a level of (not owned), or
    // nullptr for a surface of the device. Throws std::bad_alloc when the
    // memory cannot be had; the format must have a pixel size.
    SoftwareSurface(SoftwareDevice* device, IDirect3DBaseTexture9* container, UINT width, UINT height,
                    D3DFORMAT format, DWORD usage, D3DPOOL pool);
    ~SoftwareSurface() override;

    // Bytes a surface of this size and format takes (pitch x height).
    static uint64_t ByteSize(UINT width, UINT height, D3DFORMAT format);
    static UINT PitchFor(UINT width, D3DFORMAT format);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    UINT Pitch() const { return pitch_; }
    D3DFORMAT Format() const { return format_; }
    // Writable pixels: whoever takes them may change depth values.
    uint8_t* Bits() {
        TakeLaterPixels();
        depthUniform_ = false;
        return bits_.get();
    }
    const uint8_t* Bits() const {
        TakeLaterPixels();
        return bits_.get();
    }
    ULONG PublicReferences() const { return refs_; }  // surfaces of the device only
    bool Locked() const { return locked_; }
    // The pixels' memory (ByteSize bytes), shared with the surface (and writable).
    const std::shared_ptr<uint8_t[]>& Memory() {
        TakeLaterPixels();
        depthUniform_ = false;
        return bits_;
    }
    // Makes memory (ByteSize bytes) the surface's pixels and returns the
    // memory it had. Not while the surface is locked.
    std::shared_ptr<uint8_t[]> ExchangeMemory(std::shared_ptr<uint8_t[]> memory);
    uint64_t Serial() const { return serial_; }
    // The view the rasteriser draws through, with what is known of its depth.
    raster::Surface View();

    // A depth surface's depth values are uniform from a clear that covers
    // all of them (raster::Surface::DepthUniform) until anything may write
    // them. Its own write paths (a lock that is not read-only, Bits, Memory,
    // ExchangeMemory) forget it themselves; the device forgets it before a
    // draw that may write depth. A surface starts without it.
    //
    // Notes a clear of the depth to z over the viewport (no rectangles) or
    // over `rects` clipped to it, as the rasteriser clears.
    void NoteDepthClear(const D3DVIEWPORT9& viewport, DWORD rectCount, const D3DRECT* rects, float z);
    void ForgetUniformDepth() { depthUniform_ = false; }
    bool DepthUniform() const { return depthUniform_; }
    float ClearedDepth() const { return clearedDepth_; }  // the z of that clear, while DepthUniform

    // Whether a clear over the viewport (no rectangles) or over `rects`
    // clipped to it, as the rasteriser clears, reaches every pixel. Rectangles
    // that cover the surface only together are not worth telling apart.
    bool ClearCoversAll(const D3DVIEWPORT9& viewport, DWORD rectCount, const D3DRECT* rects) const;

    // A back buffer keeps the frame Present showed without copying it there
    // and then: its pixels are those of `source` (memory of ByteSize bytes
    // that nobody writes while it is shown) until the first use of them
    // copies them in, and a clear that writes every pixel makes the copy
    // unneeded. Every way to the pixels (Bits, Memory, View, LockRect,
    // ExchangeMemory) copies them in first.
    void TakePixelsLater(std::shared_ptr<const uint8_t[]> source) { later_ = std::move(source); }
    // Copies the pixels in now, through `copier` (which may share the work
    // with its second thread).
    void TakeLaterPixels(raster::Rasterizer& copier);
    // Forgets the pixels to come: the caller writes every one of them next.
    void DropLaterPixels() { later_.reset(); }
    bool PixelsLater() const { return later_ != nullptr; }

private:
    // Copies pixels still to come in (a plain copy); the pixels are the
    // surface's content either way, so this may run on a const surface.
    void TakeLaterPixels() const;

    SoftwareDevice* device_;            // not owned
    IDirect3DBaseTexture9* container_;  // not owned; nullptr for a surface of the device
    UINT width_;
    UINT height_;
    UINT pitch_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    std::shared_ptr<uint8_t[]> bits_;  // never null
    uint64_t serial_;
    ULONG refs_ = 0;
    bool locked_ = false;
    bool depthUniform_ = false;                       // see NoteDepthClear
    float clearedDepth_ = 0.0f;                       // the z of that clear
    mutable std::shared_ptr<const uint8_t[]> later_;  // see TakePixelsLater
};

}  // namespace wbx
