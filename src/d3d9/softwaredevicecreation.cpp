// SoftwareDevice: creation and lifetime, queries, memory and the creation of
// resources.
#include <algorithm>
#include <limits>
#include <new>

#include "callrecords.h"
#include "d3d9/formatinfo.h"
#include "d3d9/raster/vertexformat.h"
#include "indexbuffer.h"
#include "softwaredevice.h"
#include "texture.h"
#include "vertexbuffer.h"

namespace wbx {

namespace {

bool IsPowerOfTwo(UINT value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

HRESULT SoftwareDevice::ValidatePresentParameters(const DeviceTypeProfile& device,
                                                  const D3DDISPLAYMODE& desktop, D3DPRESENT_PARAMETERS& pp) {
    D3DPRESENT_PARAMETERS p = pp;
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    if (p.BackBufferCount > kMaxBackBuffers) return D3DERR_INVALIDCALL;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    if (p.SwapEffect == D3DSWAPEFFECT_COPY && p.BackBufferCount != 1) return D3DERR_INVALIDCALL;
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE || p.MultiSampleQuality != 0) return D3DERR_INVALIDCALL;
    if (p.Windowed) {
        if (p.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
        if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = desktop.Format;
        // Direct3D 9 would take a zero side from the window's client area; a
        // presentation target has no size of its own, so a zero side (an
        // empty or minimised window) becomes 1 and the device stays usable.
        if (p.BackBufferWidth == 0) p.BackBufferWidth = 1;
        if (p.BackBufferHeight == 0) p.BackBufferHeight = 1;
    } else if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        return D3DERR_INVALIDCALL;  // full screen needs a size; it is then presented like a window
    }
    if (p.BackBufferWidth > kMaxBackBufferSide || p.BackBufferHeight > kMaxBackBufferSide) {
        return D3DERR_INVALIDCALL;
    }
    if (!device.AcceptsBackBuffer(p.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !device.AcceptsDepth(p.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    const UINT interval = p.PresentationInterval;
    const bool intervalKnown = interval == D3DPRESENT_INTERVAL_DEFAULT ||
                               interval == D3DPRESENT_INTERVAL_IMMEDIATE ||
                               interval == D3DPRESENT_INTERVAL_ONE;
    if (!intervalKnown) return D3DERR_INVALIDCALL;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && (device.Caps.PresentationIntervals & interval) == 0) {
        return D3DERR_INVALIDCALL;
    }
    pp = p;
    return D3D_OK;
}

HRESULT SoftwareDevice::Create(IDirect3D9* d3d, const AdapterProfile& adapter, D3DDEVTYPE type,
                               HWND focusWindow, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                               IDirect3DDevice9** ppDevice) {
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    *ppDevice = nullptr;
    if (pp == nullptr) return D3DERR_INVALIDCALL;
    const DeviceTypeProfile* device = adapter.Find(type);
    if (device == nullptr) return D3DERR_NOTAVAILABLE;

    const DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING && processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
        return D3DERR_INVALIDCALL;  // exactly one kind of vertex processing
    }
    const bool hwTnL = (device->Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !hwTnL) return D3DERR_INVALIDCALL;
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        return D3DERR_INVALIDCALL;
    }

    D3DPRESENT_PARAMETERS params = *pp;
    const HRESULT valid = ValidatePresentParameters(*device, adapter.DisplayMode, params);
    if (FAILED(valid)) return valid;

    SoftwareDevice* created = nullptr;
    try {
        created = new SoftwareDevice(d3d, adapter, *device, focusWindow, behaviorFlags);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT built = created->BuildSwapChain(params);
    if (FAILED(built)) {
        created->Release();
        return built;
    }
    created->pp_ = params;
    ApplyCreationDefaults(created->state_, params.EnableAutoDepthStencil != 0, params.BackBufferWidth,
                          params.BackBufferHeight);
    *pp = params;
    *ppDevice = created;
    return D3D_OK;
}

SoftwareDevice::SoftwareDevice(IDirect3D9* d3d, const AdapterProfile& adapter,
                               const DeviceTypeProfile& device, HWND focusWindow, DWORD behaviorFlags)
    : d3d_(d3d),
      desktop_(adapter.DisplayMode),
      device_(device),
      type_(device.Type),
      focusWindow_(focusWindow),
      behaviorFlags_(behaviorFlags),
      textureMemory_(adapter.TextureMemory) {
    device_.Caps.DeviceType = type_;
    d3d_->AddRef();
}

SoftwareDevice::~SoftwareDevice() { d3d_->Release(); }

ULONG SoftwareDevice::AddRef() { return ++refs_; }

ULONG SoftwareDevice::Release() {
    if (refs_ == 0) return 0;
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

UINT SoftwareDevice::FvfVertexSize(DWORD fvf) {
    const raster::VertexFormat format = raster::DecodeFVF(fvf);
    return format.Valid ? static_cast<UINT>(format.Size) : 0;
}

UINT SoftwareDevice::GetAvailableTextureMem() {
    const uint64_t available = std::min<uint64_t>(AvailableMemory(), std::numeric_limits<UINT>::max());
    if (log_) log_->Add(records::Plain("GetAvailableTextureMem", D3D_OK));
    return static_cast<UINT>(available);
}

HRESULT SoftwareDevice::GetDirect3D(IDirect3D9** ppD3D9) {
    HRESULT hr = D3D_OK;
    if (ppD3D9 == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        d3d_->AddRef();
        *ppD3D9 = d3d_;
    }
    if (log_) log_->Add(records::Plain("GetDirect3D", hr));
    return hr;
}

HRESULT SoftwareDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
    HRESULT hr = D3D_OK;
    if (pCaps == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pCaps = device_.Caps;
    }
    if (log_) log_->Add(records::Plain("GetDeviceCaps", hr));
    return hr;
}

uint64_t SoftwareDevice::AvailableMemory() const {
    return usedMemory_ >= textureMemory_ ? 0 : textureMemory_ - usedMemory_;
}

HRESULT SoftwareDevice::CheckMemory(D3DPOOL pool, uint64_t bytes) const {
    if (bytes > kMaxResourceBytes) return E_OUTOFMEMORY;
    if (pool == D3DPOOL_DEFAULT && bytes > AvailableMemory()) return D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

void SoftwareDevice::ChargeMemory(D3DPOOL pool, uint64_t bytes) {
    if (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED) usedMemory_ += bytes;
    if (pool == D3DPOOL_DEFAULT) ++defaultPoolResources_;
}

void SoftwareDevice::RefundMemory(D3DPOOL pool, uint64_t bytes) {
    if (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED) usedMemory_ -= std::min(bytes, usedMemory_);
    if (pool == D3DPOOL_DEFAULT && defaultPoolResources_ > 0) --defaultPoolResources_;
}

void SoftwareDevice::Forget(SoftwareTexture* texture) {
    for (DWORD stage = 0; stage < kMaxStages; ++stage) {
        if (state_.Textures[stage] == texture) {
            state_.Textures[stage] = nullptr;
            state_.Pipeline.Textures[stage] = raster::TextureLevels{};
        }
    }
}

void SoftwareDevice::Forget(SoftwareVertexBuffer* buffer) {
    if (state_.Stream == buffer) state_.Stream = nullptr;
}

void SoftwareDevice::Forget(SoftwareIndexBuffer* buffer) {
    if (state_.Indices == buffer) state_.Indices = nullptr;
}

HRESULT SoftwareDevice::ValidateTextureCreation(UINT width, UINT height, UINT& levels, DWORD usage,
                                                D3DFORMAT format, D3DPOOL pool) const {
    const D3DCAPS9& caps = device_.Caps;
    if (width == 0 || height == 0) return D3DERR_INVALIDCALL;
    if (width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) return D3DERR_INVALIDCALL;
    if (caps.MaxTextureAspectRatio != 0 &&
        std::max(width, height) / std::min(width, height) > caps.MaxTextureAspectRatio) {
        return D3DERR_INVALIDCALL;
    }
    if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return D3DERR_INVALIDCALL;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_POW2) && (!IsPowerOfTwo(width) || !IsPowerOfTwo(height))) {
        // Conditional support allows other sizes only without a mip chain.
        const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 && levels == 1;
        if (!conditional) return D3DERR_INVALIDCALL;
    }
    if (!device_.AcceptsTexture(format) || FormatBytesPerPixel(format) == 0 || IsDepthFormat(format)) {
        return D3DERR_INVALIDCALL;
    }
    if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    const UINT fullChain = SoftwareTexture::FullChainLength(width, height);
    if (levels == 0) levels = (caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? fullChain : 1;
    if (levels > fullChain) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT SoftwareDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                      D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    HRESULT hr = D3D_OK;
    SoftwareTexture* texture = nullptr;
    UINT levels = Levels;
    if (ppTexture == nullptr || pSharedHandle != nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *ppTexture = nullptr;
        hr = ValidateTextureCreation(Width, Height, levels, Usage, Format, Pool);
        if (SUCCEEDED(hr)) hr = CheckMemory(Pool, SoftwareTexture::ChainBytes(Width, Height, levels, Format));
        if (SUCCEEDED(hr)) {
            try {
                texture = new SoftwareTexture(this, Width, Height, levels, Usage, Format, Pool);
                *ppTexture = texture;
            } catch (const std::bad_alloc&) {
                hr = E_OUTOFMEMORY;
            }
        }
    }
    if (log_)
        log_->Add(records::CreateTexture(Width, Height, Levels, Usage, Format, Pool,
                                         texture ? texture->Serial() : 0, hr));
    return hr;
}

HRESULT SoftwareDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                           IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    HRESULT hr = D3D_OK;
    SoftwareVertexBuffer* buffer = nullptr;
    if (ppVertexBuffer == nullptr || pSharedHandle != nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *ppVertexBuffer = nullptr;
        if (Length == 0 || Pool > D3DPOOL_SYSTEMMEM || (FVF != 0 && Length < FvfVertexSize(FVF)) ||
            ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED)) {
            hr = D3DERR_INVALIDCALL;
        }
        if (SUCCEEDED(hr)) hr = CheckMemory(Pool, Length);
        if (SUCCEEDED(hr)) {
            try {
                buffer = new SoftwareVertexBuffer(this, Length, Usage, FVF, Pool);
                *ppVertexBuffer = buffer;
            } catch (const std::bad_alloc&) {
                hr = E_OUTOFMEMORY;
            }
        }
    }
    if (log_)
        log_->Add(records::CreateVertexBuffer(Length, Usage, FVF, Pool, buffer ? buffer->Serial() : 0, hr));
    return hr;
}

HRESULT SoftwareDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                          IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    HRESULT hr = D3D_OK;
    SoftwareIndexBuffer* buffer = nullptr;
    if (ppIndexBuffer == nullptr || pSharedHandle != nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *ppIndexBuffer = nullptr;
        const bool formatOk =
            Format == D3DFMT_INDEX16 || (Format == D3DFMT_INDEX32 && device_.Caps.MaxVertexIndex > 0xFFFF);
        if (Length == 0 || !formatOk || Pool > D3DPOOL_SYSTEMMEM ||
            ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED)) {
            hr = D3DERR_INVALIDCALL;
        }
        if (SUCCEEDED(hr)) hr = CheckMemory(Pool, Length);
        if (SUCCEEDED(hr)) {
            try {
                buffer = new SoftwareIndexBuffer(this, Length, Usage, Format, Pool);
                *ppIndexBuffer = buffer;
            } catch (const std::bad_alloc&) {
                hr = E_OUTOFMEMORY;
            }
        }
    }
    if (log_)
        log_->Add(records::CreateIndexBuffer(Length, Usage, Format, Pool, buffer ? buffer->Serial() : 0, hr));
    return hr;
}

}  // namespace wbx
