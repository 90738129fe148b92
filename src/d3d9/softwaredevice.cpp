#include "d3d9/softwaredevice.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <new>

#include "d3d9/d3d9names.h"
#include "d3d9/formatinfo.h"
#include "d3d9/indexbuffer.h"
#include "d3d9/presentationtarget.h"
#include "d3d9/raster/vertexformat.h"
#include "d3d9/texture.h"
#include "d3d9/vertexbuffer.h"

namespace wbx {

namespace {

// ---------------------------------------------------------------------------
// Readable argument texts for call records; only built while a log is attached.

std::string Num(uint64_t value) {
    char text[32];
    if (value < 0x10000) {
        std::snprintf(text, sizeof text, "%" PRIu64, value);
    } else {
        std::snprintf(text, sizeof text, "0x%08" PRIX64, value);
    }
    return text;
}

std::string Int(int64_t value) { return std::to_string(value); }

std::string Real(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Call(const char* name, std::initializer_list<std::string> args) {
    std::string text = name;
    text += '(';
    bool first = true;
    for (const std::string& arg : args) {
        if (!first) text += ", ";
        text += arg;
        first = false;
    }
    text += ')';
    return text;
}

std::string Object(uint64_t serial, const char* kind) {
    return serial == 0 ? std::string("nullptr") : std::string(kind) + "#" + std::to_string(serial);
}

std::vector<double> MatrixFloats(const D3DMATRIX* m) {
    if (m == nullptr) return {};
    std::vector<double> values;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) values.push_back(m->m[r][c]);
    }
    return values;
}

void AppendColor(std::vector<double>& values, const D3DCOLORVALUE& c) {
    values.insert(values.end(), {c.r, c.g, c.b, c.a});
}

// ---------------------------------------------------------------------------

bool IsPowerOfTwo(UINT value) { return value != 0 && (value & (value - 1)) == 0; }

bool IsValidTransform(D3DTRANSFORMSTATETYPE state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= D3DTS_WORLD && state < D3DTS_WORLDMATRIX(256));
}

// Indices (or vertices) a primitive count of a type consumes; 0 for an unknown type.
uint64_t ElementsFor(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
        case D3DPT_POINTLIST:
            return count;
        case D3DPT_LINELIST:
            return uint64_t{2} * count;
        case D3DPT_LINESTRIP:
            return uint64_t{count} + 1;
        case D3DPT_TRIANGLELIST:
            return uint64_t{3} * count;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return uint64_t{count} + 2;
        default:
            return 0;
    }
}

bool HasPresentationTarget(HWND window) { return window != nullptr; }

// Bytes one vertex of an FVF code occupies; 0 for a code no draw can use.
UINT FvfVertexSize(DWORD fvf) {
    const raster::VertexFormat format = raster::DecodeFVF(fvf);
    return format.Valid ? static_cast<UINT>(format.Size) : 0;
}

}  // namespace

// ===========================================================================
// Creation and lifetime

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

HRESULT SoftwareDevice::BuildSwapChain(const D3DPRESENT_PARAMETERS& pp) {
    std::vector<std::unique_ptr<SoftwareSurface>> buffers;
    std::unique_ptr<SoftwareSurface> depth;
    try {
        for (UINT i = 0; i < pp.BackBufferCount; ++i) {
            buffers.push_back(std::make_unique<SoftwareSurface>(this, nullptr, pp.BackBufferWidth,
                                                                pp.BackBufferHeight, pp.BackBufferFormat,
                                                                D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT));
        }
        if (pp.EnableAutoDepthStencil) {
            depth = std::make_unique<SoftwareSurface>(this, nullptr, pp.BackBufferWidth, pp.BackBufferHeight,
                                                      pp.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL,
                                                      D3DPOOL_DEFAULT);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    backBuffers_ = std::move(buffers);
    depthStencil_ = std::move(depth);
    return D3D_OK;
}

bool SoftwareDevice::HoldsSwapChainReferences() const {
    for (const auto& buffer : backBuffers_) {
        if (buffer->PublicReferences() > 0) return true;
    }
    return depthStencil_ != nullptr && depthStencil_->PublicReferences() > 0;
}

// ===========================================================================
// Cooperation, reset, presentation

// A scene that was open stays open: its EndScene still pairs, and Reset closes it.
void SoftwareDevice::MakeLost() { cooperation_ = Cooperation::Lost; }

bool SoftwareDevice::EndLoss() {
    if (cooperation_ != Cooperation::Lost) return false;
    cooperation_ = Cooperation::NotReset;
    return true;
}

HRESULT SoftwareDevice::TestCooperativeLevel() {
    HRESULT hr = D3D_OK;
    if (cooperation_ == Cooperation::Lost) hr = D3DERR_DEVICELOST;
    if (cooperation_ == Cooperation::NotReset) hr = D3DERR_DEVICENOTRESET;
    if (log_) Record("TestCooperativeLevel", {}, {}, "TestCooperativeLevel()", hr);
    return hr;
}

HRESULT SoftwareDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
    HRESULT hr = D3D_OK;
    D3DPRESENT_PARAMETERS params{};
    if (pPresentationParameters == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else if (cooperation_ == Cooperation::Lost) {
        hr = D3DERR_DEVICELOST;  // the loss is not over yet
    } else if (defaultPoolResources_ > 0 || HoldsSwapChainReferences()) {
        hr = D3DERR_INVALIDCALL;
    } else {
        params = *pPresentationParameters;
        hr = ValidatePresentParameters(device_, desktop_, params);
        if (SUCCEEDED(hr)) hr = BuildSwapChain(params);
    }
    if (SUCCEEDED(hr)) {
        pp_ = params;
        *pPresentationParameters = params;
        ApplyCreationDefaults(state_, params.EnableAutoDepthStencil != 0, params.BackBufferWidth,
                              params.BackBufferHeight);
        inScene_ = false;
        pacer_.Forget();
        cooperation_ = Cooperation::Operational;
    } else if (hr != D3DERR_DEVICELOST) {
        // As in Direct3D 9, a failed Reset leaves the device waiting for a good one.
        cooperation_ = Cooperation::NotReset;
    }
    if (log_) {
        Record(
            "Reset",
            {params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat, params.BackBufferCount,
             params.EnableAutoDepthStencil, params.AutoDepthStencilFormat, params.PresentationInterval},
            {}, Call("Reset", {Num(params.BackBufferWidth), Num(params.BackBufferHeight)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                const void* pDirtyRegion) {
    HRESULT hr = D3D_OK;
    if (cooperation_ != Cooperation::Operational) {
        hr = D3DERR_DEVICELOST;
    } else {
        // The whole back buffer goes to the whole target; rectangles and dirty
        // regions are accepted and not used (the system passes none).
        HWND target = hDestWindowOverride;
        if (!HasPresentationTarget(target)) target = pp_.hDeviceWindow;
        if (!HasPresentationTarget(target)) target = focusWindow_;
        pacer_.Pace(pp_.PresentationInterval, target != nullptr ? target->RefreshRate() : 60.0);
        if (target != nullptr) {
            SoftwareSurface& back = *backBuffers_[0];
            target->PresentFrame(back.Bits(), static_cast<int>(back.Pitch()), static_cast<int>(back.Width()),
                                 static_cast<int>(back.Height()));
        }
        ++presentCount_;
    }
    if (log_) {
        Record("Present",
               {pSourceRect != nullptr, pDestRect != nullptr, hDestWindowOverride != nullptr,
                pDirtyRegion != nullptr},
               {}, "Present()", hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                      IDirect3DSurface9** ppBackBuffer) {
    HRESULT hr = D3D_OK;
    if (ppBackBuffer == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *ppBackBuffer = nullptr;
        if (iSwapChain != 0 || iBackBuffer >= backBuffers_.size() || Type != D3DBACKBUFFER_TYPE_MONO) {
            hr = D3DERR_INVALIDCALL;
        } else {
            backBuffers_[iBackBuffer]->AddRef();
            *ppBackBuffer = backBuffers_[iBackBuffer].get();
        }
    }
    if (log_) {
        Record("GetBackBuffer", {iSwapChain, iBackBuffer, Type}, {},
               Call("GetBackBuffer", {Num(iSwapChain), Num(iBackBuffer), Num(Type)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
    HRESULT hr = D3D_OK;
    if (ppZStencilSurface == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else if (depthStencil_ == nullptr) {
        *ppZStencilSurface = nullptr;
        hr = D3DERR_NOTFOUND;
    } else {
        depthStencil_->AddRef();
        *ppZStencilSurface = depthStencil_.get();
    }
    if (log_) Record("GetDepthStencilSurface", {}, {}, "GetDepthStencilSurface()", hr);
    return hr;
}

// ===========================================================================
// Queries

UINT SoftwareDevice::GetAvailableTextureMem() {
    const uint64_t available = std::min<uint64_t>(AvailableMemory(), std::numeric_limits<UINT>::max());
    if (log_) Record("GetAvailableTextureMem", {}, {}, "GetAvailableTextureMem()", D3D_OK);
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
    if (log_) Record("GetDirect3D", {}, {}, "GetDirect3D()", hr);
    return hr;
}

HRESULT SoftwareDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
    HRESULT hr = D3D_OK;
    if (pCaps == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pCaps = device_.Caps;
    }
    if (log_) Record("GetDeviceCaps", {}, {}, "GetDeviceCaps()", hr);
    return hr;
}

// ===========================================================================
// Memory and resources

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
    if (log_) {
        Record("CreateTexture",
               {Width, Height, Levels, Usage, Format, Pool, texture ? int64_t(texture->Serial()) : 0}, {},
               Call("CreateTexture", {Num(Width), Num(Height), Num(Levels), Num(Usage),
                                      FormatConstantName(Format), PoolName(Pool)}),
               hr);
    }
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
    if (log_) {
        Record("CreateVertexBuffer", {Length, Usage, FVF, Pool, buffer ? int64_t(buffer->Serial()) : 0}, {},
               Call("CreateVertexBuffer", {Num(Length), Num(Usage), Num(FVF), PoolName(Pool)}), hr);
    }
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
    if (log_) {
        Record(
            "CreateIndexBuffer", {Length, Usage, Format, Pool, buffer ? int64_t(buffer->Serial()) : 0}, {},
            Call("CreateIndexBuffer", {Num(Length), Num(Usage), FormatConstantName(Format), PoolName(Pool)}),
            hr);
    }
    return hr;
}

// ===========================================================================
// Scenes, clears, draws

HRESULT SoftwareDevice::BeginScene() {
    const HRESULT hr = inScene_ ? D3DERR_INVALIDCALL : D3D_OK;
    inScene_ = true;
    if (log_) Record("BeginScene", {}, {}, "BeginScene()", hr);
    return hr;
}

HRESULT SoftwareDevice::EndScene() {
    const HRESULT hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    inScene_ = false;
    if (log_) Record("EndScene", {}, {}, "EndScene()", hr);
    return hr;
}

raster::RenderTargets SoftwareDevice::Targets(raster::Surface& depthView) {
    raster::RenderTargets targets;
    targets.Color = backBuffers_[0]->View();
    if (depthStencil_ != nullptr) {
        depthView = depthStencil_->View();
        targets.Depth = &depthView;
    }
    return targets;
}

HRESULT SoftwareDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                              DWORD Stencil) {
    HRESULT hr = D3D_OK;
    if (Count > 0 && pRects == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && depthStencil_ == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else if ((Flags & D3DCLEAR_STENCIL) && !HasStencilBits(depthStencil_->Format())) {
        hr = D3DERR_INVALIDCALL;
    } else if (cooperation_ == Cooperation::Operational &&
               (Flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) {
        raster::Surface depthView;
        rasterizer_.Clear(Targets(depthView), state_.Pipeline.Viewport, pRects != nullptr ? Count : 0, pRects,
                          Flags, Color, Z, Stencil);
    }
    if (log_) {
        Record("Clear", {Count, Flags, Color, Stencil}, {Z},
               Call("Clear", {Num(Count), Num(Flags), Num(Color), Real(Z), Num(Stencil)}), hr);
    }
    return hr;
}

void SoftwareDevice::RefreshActiveLights() {
    raster::PipelineState& p = state_.Pipeline;
    p.ActiveLightCount = 0;
    for (const auto& [index, slot] : state_.Lights) {
        if (!slot.Enabled) continue;
        if (p.ActiveLightCount == raster::kMaxActiveLights) break;  // lights beyond the limit do not shine
        p.ActiveLights[p.ActiveLightCount++] = slot.Light;
    }
    state_.LightsDirty = false;
}

bool SoftwareDevice::BindVertexStream(raster::VertexStream& stream, HRESULT& failure) const {
    const UINT vertexSize = FvfVertexSize(state_.FVF);
    if (state_.Stream == nullptr || vertexSize == 0 || state_.StreamStride < vertexSize) {
        failure = D3DERR_INVALIDCALL;
        return false;
    }
    const BufferStorage& storage = state_.Stream->Storage();
    stream.FVF = state_.FVF;
    stream.Stride = state_.StreamStride;
    stream.Data = storage.Data();
    stream.VertexCount = 0;
    if (state_.StreamOffset < storage.Length()) {
        // Whole vertices only: vertex i reads [i * stride, i * stride + vertexSize).
        const UINT available = storage.Length() - state_.StreamOffset;
        stream.Data = storage.Data() + state_.StreamOffset;
        if (available >= vertexSize) stream.VertexCount = (available - vertexSize) / state_.StreamStride + 1;
    }
    return true;
}

HRESULT SoftwareDevice::DrawIndexed(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                    UINT startIndex, UINT primCount) {
    if (cooperation_ != Cooperation::Operational) return D3D_OK;  // a lost device draws nothing
    const uint64_t indexCount = ElementsFor(type, primCount);
    if (indexCount == 0 && primCount != 0) return D3DERR_INVALIDCALL;  // unknown primitive type
    if (state_.Indices == nullptr) return D3DERR_INVALIDCALL;
    raster::VertexStream vertices;
    HRESULT failure = D3D_OK;
    if (!BindVertexStream(vertices, failure)) return failure;
    if (primCount == 0) return D3D_OK;
    if (primCount > device_.Caps.MaxPrimitiveCount) return D3DERR_INVALIDCALL;
    if (uint64_t{minIndex} + numVertices > uint64_t{device_.Caps.MaxVertexIndex} + 1)
        return D3DERR_INVALIDCALL;
    const SoftwareIndexBuffer& ib = *state_.Indices;
    if (uint64_t{startIndex} + indexCount > ib.IndexCount()) return D3DERR_INVALIDCALL;

    raster::IndexStream indices;
    indices.Data = ib.Storage().Data();
    indices.Is32Bit = ib.Is32Bit();
    indices.IndexCount = ib.IndexCount();
    raster::DrawCall call;
    call.Type = type;
    call.Indexed = true;
    call.BaseVertexIndex = baseVertex;
    call.StartIndex = startIndex;
    call.PrimitiveCount = primCount;
    if (state_.LightsDirty) RefreshActiveLights();
    raster::Surface depthView;
    rasterizer_.Draw(state_.Pipeline, vertices, &indices, call, Targets(depthView));
    return D3D_OK;
}

HRESULT SoftwareDevice::DrawNonIndexed(D3DPRIMITIVETYPE type, UINT startVertex, UINT primCount) {
    if (cooperation_ != Cooperation::Operational) return D3D_OK;
    const uint64_t vertexCount = ElementsFor(type, primCount);
    if (vertexCount == 0 && primCount != 0) return D3DERR_INVALIDCALL;
    raster::VertexStream vertices;
    HRESULT failure = D3D_OK;
    if (!BindVertexStream(vertices, failure)) return failure;
    if (primCount == 0) return D3D_OK;
    if (primCount > device_.Caps.MaxPrimitiveCount) return D3DERR_INVALIDCALL;
    if (uint64_t{startVertex} + vertexCount > vertices.VertexCount) return D3DERR_INVALIDCALL;

    raster::DrawCall call;
    call.Type = type;
    call.Indexed = false;
    call.StartIndex = startVertex;
    call.PrimitiveCount = primCount;
    if (state_.LightsDirty) RefreshActiveLights();
    raster::Surface depthView;
    rasterizer_.Draw(state_.Pipeline, vertices, nullptr, call, Targets(depthView));
    return D3D_OK;
}

HRESULT SoftwareDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                             UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                             UINT primCount) {
    const HRESULT hr =
        DrawIndexed(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount);
    if (log_) {
        Record("DrawIndexedPrimitive",
               {PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount}, {},
               Call("DrawIndexedPrimitive",
                    {PrimitiveTypeName(PrimitiveType), Int(BaseVertexIndex), Num(MinVertexIndex),
                     Num(NumVertices), Num(startIndex), Num(primCount)}),
               hr);
    }
    return hr;
}

HRESULT SoftwareDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    const HRESULT hr = DrawNonIndexed(PrimitiveType, StartVertex, PrimitiveCount);
    if (log_) {
        Record(
            "DrawPrimitive", {PrimitiveType, StartVertex, PrimitiveCount}, {},
            Call("DrawPrimitive", {PrimitiveTypeName(PrimitiveType), Num(StartVertex), Num(PrimitiveCount)}),
            hr);
    }
    return hr;
}

// ===========================================================================
// Transforms, viewport, material, lights

HRESULT SoftwareDevice::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    HRESULT hr = D3D_OK;
    if (pMatrix == nullptr || !IsValidTransform(State)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Transforms[State] = *pMatrix;
        if (State == D3DTS_WORLD) state_.Pipeline.World = *pMatrix;
        if (State == D3DTS_VIEW) state_.Pipeline.View = *pMatrix;
        if (State == D3DTS_PROJECTION) state_.Pipeline.Projection = *pMatrix;
    }
    if (log_) {
        std::vector<double> floats = MatrixFloats(pMatrix);
        Record("SetTransform", {State}, floats, Call("SetTransform", {TransformStateName(State)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    HRESULT hr = D3D_OK;
    if (pMatrix == nullptr || !IsValidTransform(State)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pMatrix = state_.Transforms[State];
    }
    if (log_) Record("GetTransform", {State}, {}, Call("GetTransform", {TransformStateName(State)}), hr);
    return hr;
}

HRESULT SoftwareDevice::SetViewport(const D3DVIEWPORT9* pViewport) {
    HRESULT hr = D3D_OK;
    const SoftwareSurface& target = *backBuffers_[0];
    if (pViewport == nullptr || uint64_t{pViewport->X} + pViewport->Width > target.Width() ||
        uint64_t{pViewport->Y} + pViewport->Height > target.Height()) {
        hr = D3DERR_INVALIDCALL;  // the viewport must lie inside the render target
    } else {
        state_.Pipeline.Viewport = *pViewport;
    }
    if (log_) {
        if (pViewport == nullptr) {
            Record("SetViewport", {}, {}, "SetViewport(nullptr)", hr);
        } else {
            const D3DVIEWPORT9& v = *pViewport;
            Record("SetViewport", {v.X, v.Y, v.Width, v.Height}, {v.MinZ, v.MaxZ},
                   Call("SetViewport",
                        {Num(v.X), Num(v.Y), Num(v.Width), Num(v.Height), Real(v.MinZ), Real(v.MaxZ)}),
                   hr);
        }
    }
    return hr;
}

HRESULT SoftwareDevice::GetViewport(D3DVIEWPORT9* pViewport) {
    HRESULT hr = D3D_OK;
    if (pViewport == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pViewport = state_.Pipeline.Viewport;
    }
    if (log_) Record("GetViewport", {}, {}, "GetViewport()", hr);
    return hr;
}

HRESULT SoftwareDevice::SetMaterial(const D3DMATERIAL9* pMaterial) {
    HRESULT hr = D3D_OK;
    if (pMaterial == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.Material = *pMaterial;
    }
    if (log_) {
        std::vector<double> floats;
        if (pMaterial != nullptr) {
            AppendColor(floats, pMaterial->Diffuse);
            AppendColor(floats, pMaterial->Ambient);
            AppendColor(floats, pMaterial->Specular);
            AppendColor(floats, pMaterial->Emissive);
            floats.push_back(pMaterial->Power);
        }
        Record("SetMaterial", {}, floats, "SetMaterial()", hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetMaterial(D3DMATERIAL9* pMaterial) {
    HRESULT hr = D3D_OK;
    if (pMaterial == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pMaterial = state_.Pipeline.Material;
    }
    if (log_) Record("GetMaterial", {}, {}, "GetMaterial()", hr);
    return hr;
}

HRESULT SoftwareDevice::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
    HRESULT hr = D3D_OK;
    if (pLight == nullptr || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Lights[Index].Light = *pLight;
        state_.LightsDirty = true;
    }
    if (log_) {
        std::vector<double> floats;
        std::vector<int64_t> ints{Index};
        if (pLight != nullptr) {
            ints.push_back(pLight->Type);
            AppendColor(floats, pLight->Diffuse);
            AppendColor(floats, pLight->Specular);
            AppendColor(floats, pLight->Ambient);
            floats.insert(floats.end(),
                          {pLight->Position.x, pLight->Position.y, pLight->Position.z, pLight->Direction.x,
                           pLight->Direction.y, pLight->Direction.z, pLight->Range, pLight->Falloff,
                           pLight->Attenuation0, pLight->Attenuation1, pLight->Attenuation2, pLight->Theta,
                           pLight->Phi});
        }
        Record("SetLight", ints, floats, Call("SetLight", {Num(Index)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetLight(DWORD Index, D3DLIGHT9* pLight) {
    HRESULT hr = D3D_OK;
    const auto found = state_.Lights.find(Index);
    if (pLight == nullptr || found == state_.Lights.end()) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pLight = found->second.Light;
    }
    if (log_) Record("GetLight", {Index}, {}, Call("GetLight", {Num(Index)}), hr);
    return hr;
}

HRESULT SoftwareDevice::LightEnable(DWORD Index, BOOL Enable) {
    auto found = state_.Lights.find(Index);
    if (found == state_.Lights.end()) {
        found = state_.Lights.emplace(Index, LightSlot{DefaultLight(), false}).first;
    }
    found->second.Enabled = Enable != FALSE;
    state_.LightsDirty = true;
    if (log_)
        Record("LightEnable", {Index, Enable}, {}, Call("LightEnable", {Num(Index), Int(Enable)}), D3D_OK);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetLightEnable(DWORD Index, BOOL* pEnable) {
    HRESULT hr = D3D_OK;
    const auto found = state_.Lights.find(Index);
    if (pEnable == nullptr || found == state_.Lights.end()) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pEnable = found->second.Enabled ? TRUE : FALSE;
    }
    if (log_) Record("GetLightEnable", {Index}, {}, Call("GetLightEnable", {Num(Index)}), hr);
    return hr;
}

// ===========================================================================
// Render, sampler and stage states

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (State >= D3DRS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.RenderStates[State] = Value;
    }
    if (log_) {
        Record("SetRenderState", {State, Value}, {},
               Call("SetRenderState", {RenderStateName(State), Num(Value)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || State >= D3DRS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.RenderStates[State];
    }
    if (log_) Record("GetRenderState", {State}, {}, Call("GetRenderState", {RenderStateName(State)}), hr);
    return hr;
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (Stage >= kMaxStages || Type >= D3DTSS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.StageStates[Stage][Type] = Value;
    }
    if (log_) {
        Record("SetTextureStageState", {Stage, Type, Value}, {},
               Call("SetTextureStageState", {Num(Stage), StageStateName(Type), Num(Value)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || Stage >= kMaxStages || Type >= D3DTSS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.StageStates[Stage][Type];
    }
    if (log_) {
        Record("GetTextureStageState", {Stage, Type}, {},
               Call("GetTextureStageState", {Num(Stage), StageStateName(Type)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (Sampler >= kMaxStages || Type >= D3DSAMP_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.SamplerStates[Sampler][Type] = Value;
    }
    if (log_) {
        Record("SetSamplerState", {Sampler, Type, Value}, {},
               Call("SetSamplerState", {Num(Sampler), SamplerStateName(Type), Num(Value)}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || Sampler >= kMaxStages || Type >= D3DSAMP_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.SamplerStates[Sampler][Type];
    }
    if (log_) {
        Record("GetSamplerState", {Sampler, Type}, {},
               Call("GetSamplerState", {Num(Sampler), SamplerStateName(Type)}), hr);
    }
    return hr;
}

// ===========================================================================
// Bindings

HRESULT SoftwareDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    HRESULT hr = D3D_OK;
    SoftwareTexture* texture = nullptr;
    if (pTexture != nullptr) {
        texture = dynamic_cast<SoftwareTexture*>(pTexture);
        if (texture == nullptr || texture->Device() != this) hr = D3DERR_INVALIDCALL;  // not one of ours
    }
    if (Stage >= kMaxStages) hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && state_.Textures[Stage] != texture) {
        state_.Textures[Stage] = texture;
        state_.Pipeline.Textures[Stage] =
            texture != nullptr ? texture->LevelViews() : raster::TextureLevels{};
    }
    if (log_) {
        const uint64_t serial = SUCCEEDED(hr) && texture != nullptr ? texture->Serial() : 0;
        Record("SetTexture", {Stage, static_cast<int64_t>(serial)}, {},
               Call("SetTexture", {Num(Stage), Object(serial, "texture")}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    HRESULT hr = D3D_OK;
    if (ppTexture == nullptr || Stage >= kMaxStages) {
        hr = D3DERR_INVALIDCALL;
    } else {
        SoftwareTexture* texture = state_.Textures[Stage];
        if (texture != nullptr) texture->AddRef();
        *ppTexture = texture;
    }
    if (log_) Record("GetTexture", {Stage}, {}, Call("GetTexture", {Num(Stage)}), hr);
    return hr;
}

HRESULT SoftwareDevice::SetFVF(DWORD FVF) {
    state_.FVF = FVF;
    if (log_) Record("SetFVF", {FVF}, {}, Call("SetFVF", {Num(FVF)}), D3D_OK);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetFVF(DWORD* pFVF) {
    HRESULT hr = D3D_OK;
    if (pFVF == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pFVF = state_.FVF;
    }
    if (log_) Record("GetFVF", {}, {}, "GetFVF()", hr);
    return hr;
}

HRESULT SoftwareDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                        UINT OffsetInBytes, UINT Stride) {
    HRESULT hr = D3D_OK;
    SoftwareVertexBuffer* buffer = nullptr;
    if (pStreamData != nullptr) {
        buffer = dynamic_cast<SoftwareVertexBuffer*>(pStreamData);
        if (buffer == nullptr || buffer->Device() != this) hr = D3DERR_INVALIDCALL;
    }
    if (StreamNumber >= device_.Caps.MaxStreams || Stride > device_.Caps.MaxStreamStride)
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        state_.Stream = buffer;
        state_.StreamOffset = OffsetInBytes;
        state_.StreamStride = Stride;
    }
    if (log_) {
        const uint64_t serial = SUCCEEDED(hr) && buffer != nullptr ? buffer->Serial() : 0;
        Record("SetStreamSource", {StreamNumber, static_cast<int64_t>(serial), OffsetInBytes, Stride}, {},
               Call("SetStreamSource",
                    {Num(StreamNumber), Object(serial, "vertexbuffer"), Num(OffsetInBytes), Num(Stride)}),
               hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                        UINT* pOffsetInBytes, UINT* pStride) {
    HRESULT hr = D3D_OK;
    if (ppStreamData == nullptr || pOffsetInBytes == nullptr || pStride == nullptr ||
        StreamNumber >= device_.Caps.MaxStreams) {
        hr = D3DERR_INVALIDCALL;
    } else {
        if (state_.Stream != nullptr) state_.Stream->AddRef();
        *ppStreamData = state_.Stream;
        *pOffsetInBytes = state_.StreamOffset;
        *pStride = state_.StreamStride;
    }
    if (log_) Record("GetStreamSource", {StreamNumber}, {}, Call("GetStreamSource", {Num(StreamNumber)}), hr);
    return hr;
}

HRESULT SoftwareDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    HRESULT hr = D3D_OK;
    SoftwareIndexBuffer* buffer = nullptr;
    if (pIndexData != nullptr) {
        buffer = dynamic_cast<SoftwareIndexBuffer*>(pIndexData);
        if (buffer == nullptr || buffer->Device() != this) hr = D3DERR_INVALIDCALL;
    }
    if (SUCCEEDED(hr)) state_.Indices = buffer;
    if (log_) {
        const uint64_t serial = SUCCEEDED(hr) && buffer != nullptr ? buffer->Serial() : 0;
        Record("SetIndices", {static_cast<int64_t>(serial)}, {},
               Call("SetIndices", {Object(serial, "indexbuffer")}), hr);
    }
    return hr;
}

HRESULT SoftwareDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
    HRESULT hr = D3D_OK;
    if (ppIndexData == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        if (state_.Indices != nullptr) state_.Indices->AddRef();
        *ppIndexData = state_.Indices;
    }
    if (log_) Record("GetIndices", {}, {}, "GetIndices()", hr);
    return hr;
}

// ===========================================================================

void SoftwareDevice::Record(const char* name, std::vector<int64_t> ints, std::vector<double> floats,
                            std::string text, HRESULT result) {
    log_->Add(CallRecord{name, std::move(ints), std::move(floats), std::move(text), result});
}

}  // namespace wbx
