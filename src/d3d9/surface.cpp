#include "surface.h"

#include <cstring>

#include "d3d9/formatinfo.h"
#include "devicechild.h"
#include "softwaredevice.h"

namespace wbx {

namespace {

// Extra bytes at the end of every row: enough to catch code that assumes
// pitch == width x bytes per pixel, and a 16-byte multiple so rows stay aligned.
constexpr UINT kRowPadding = 16;

}  // namespace

UINT SoftwareSurface::PitchFor(UINT width, D3DFORMAT format) {
    const uint64_t row = static_cast<uint64_t>(width) * FormatBytesPerPixel(format) + kRowPadding;
    return static_cast<UINT>((row + 15) & ~uint64_t{15});
}

uint64_t SoftwareSurface::ByteSize(UINT width, UINT height, D3DFORMAT format) {
    return static_cast<uint64_t>(PitchFor(width, format)) * height;
}

SoftwareSurface::SoftwareSurface(SoftwareDevice* device, IDirect3DBaseTexture9* container, UINT width,
                                 UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool)
    : device_(device),
      container_(container),
      width_(width),
      height_(height),
      pitch_(PitchFor(width, format)),
      format_(format),
      usage_(usage),
      pool_(pool),
      bits_(new uint8_t[ByteSize(width, height, format)]()),
      serial_(NextObjectSerial()) {}

SoftwareSurface::~SoftwareSurface() = default;

std::shared_ptr<uint8_t[]> SoftwareSurface::ExchangeMemory(std::shared_ptr<uint8_t[]> memory) {
    TakeLaterPixels();  // the memory handed back holds the surface's pixels
    depthUniform_ = false;
    bits_.swap(memory);
    return memory;
}

ULONG SoftwareSurface::AddRef() {
    if (container_ != nullptr) return container_->AddRef();
    if (refs_++ == 0) device_->AddRef();
    return refs_;
}

ULONG SoftwareSurface::Release() {
    if (container_ != nullptr) return container_->Release();
    if (refs_ == 0) return 0;  // an over-release changes nothing
    const ULONG left = --refs_;
    if (left == 0) device_->Release();  // may destroy the device and with it this surface
    return left;
}

HRESULT SoftwareSurface::GetDevice(IDirect3DDevice9** ppDevice) {
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT SoftwareSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc =
        D3DSURFACE_DESC{format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE, 0, width_, height_};
    return D3D_OK;
}

HRESULT SoftwareSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    if (pLockedRect == nullptr) return D3DERR_INVALIDCALL;
    pLockedRect->pBits = nullptr;
    pLockedRect->Pitch = 0;
    if (locked_) return D3DERR_INVALIDCALL;
    // Depth surfaces other than the lockable format keep their bits to themselves.
    if (IsDepthFormat(format_) && !IsLockableDepthFormat(format_)) return D3DERR_INVALIDCALL;
    UINT left = 0;
    UINT top = 0;
    if (pRect != nullptr) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->left >= pRect->right || pRect->top >= pRect->bottom ||
            static_cast<UINT>(pRect->right) > width_ || static_cast<UINT>(pRect->bottom) > height_) {
            return D3DERR_INVALIDCALL;
        }
        left = static_cast<UINT>(pRect->left);
        top = static_cast<UINT>(pRect->top);
    }
    TakeLaterPixels();
    locked_ = true;
    // Writes through a read-only lock are the caller's error, as in Direct3D 9.
    if ((Flags & D3DLOCK_READONLY) == 0) depthUniform_ = false;
    pLockedRect->Pitch = static_cast<INT>(pitch_);
    pLockedRect->pBits = bits_.get() + static_cast<size_t>(top) * pitch_ +
                         static_cast<size_t>(left) * FormatBytesPerPixel(format_);
    return D3D_OK;
}

HRESULT SoftwareSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

raster::Surface SoftwareSurface::View() {
    TakeLaterPixels();
    return raster::Surface{bits_.get(),
                           static_cast<int>(pitch_),
                           static_cast<int>(width_),
                           static_cast<int>(height_),
                           format_,
                           depthUniform_,
                           clearedDepth_};
}

void SoftwareSurface::TakeLaterPixels() const {
    if (later_ == nullptr) return;
    std::memcpy(bits_.get(), later_.get(), ByteSize(width_, height_, format_));
    later_.reset();
}

void SoftwareSurface::TakeLaterPixels(raster::Rasterizer& copier) {
    if (later_ == nullptr) return;
    copier.CopyRows(bits_.get(), pitch_, later_.get(), pitch_, pitch_, height_);
    later_.reset();
}

bool SoftwareSurface::ClearCoversAll(const D3DVIEWPORT9& viewport, DWORD rectCount,
                                     const D3DRECT* rects) const {
    // The rasteriser clears the viewport, or each rectangle within it, and
    // never beyond the surface: the whole surface is cleared when the
    // viewport covers it and so does one rectangle (where there are any).
    const int64_t width = width_, height = height_;
    const bool whole = viewport.X == 0 && viewport.Y == 0 && int64_t{viewport.Width} >= width &&
                       int64_t{viewport.Height} >= height;
    if (!whole || rectCount == 0 || rects == nullptr) return whole;
    for (DWORD i = 0; i < rectCount; ++i) {
        const D3DRECT& r = rects[i];
        if (r.x1 <= 0 && r.y1 <= 0 && int64_t{r.x2} >= width && int64_t{r.y2} >= height) return true;
    }
    return false;
}

void SoftwareSurface::NoteDepthClear(const D3DVIEWPORT9& viewport, DWORD rectCount, const D3DRECT* rects,
                                     float z) {
    if (ClearCoversAll(viewport, rectCount, rects)) {
        depthUniform_ = true;
        clearedDepth_ = z;
    } else if (depthUniform_ && !(z == clearedDepth_)) {
        depthUniform_ = false;  // part of the surface now holds another value
    }
}

}  // namespace wbx
