// SoftwareDevice: the swap chain, cooperation (device loss), reset and present.
#include <cstring>
#include <new>
#include <vector>

#include "callrecords.h"
#include "d3d9/presentationtarget.h"
#include "softwaredevice.h"

namespace wbx {

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
    frontBuffer_.reset();  // a target may still show it: its share keeps it alive
    return D3D_OK;
}

std::shared_ptr<uint8_t[]> SoftwareDevice::FreeBuffer(std::shared_ptr<uint8_t[]> previous) const {
    if (previous != nullptr && previous.use_count() == 1) return previous;
    const SoftwareSurface& back = *backBuffers_[0];
    const uint64_t bytes = SoftwareSurface::ByteSize(back.Width(), back.Height(), back.Format());
    return std::shared_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]());
}

void SoftwareDevice::PresentToTarget(PresentationTarget& target) {
    SoftwareSurface& back = *backBuffers_[0];
    back.TakeLaterPixels(rasterizer_);  // a frame presented again without a draw or clear
    const auto hand = [&](const uint8_t* bits) {
        target.PresentSharedFrame(frontBuffer_, bits, static_cast<int>(back.Pitch()),
                                  static_cast<int>(back.Width()), static_cast<int>(back.Height()));
    };
    if (pp_.SwapEffect == D3DSWAPEFFECT_COPY || back.Locked()) {
        // The back buffer keeps its pixels (the swap effect promises it, or the
        // application still holds a lock on them): the front buffer gets a copy.
        std::shared_ptr<uint8_t[]> front = FreeBuffer(std::move(frontBuffer_));
        if (front == nullptr)
            return target.PresentFrame(back.Bits(), static_cast<int>(back.Pitch()),
                                       static_cast<int>(back.Width()), static_cast<int>(back.Height()));
        rasterizer_.CopyRows(front.get(), back.Pitch(), back.Bits(), back.Pitch(), back.Pitch(),
                             back.Height());
        frontBuffer_ = std::move(front);
        return hand(frontBuffer_.get());
    }
    // Swap: the back buffer's memory becomes the front buffer, handed over as
    // it is, and the back buffer takes the former front buffer, or new memory
    // while a target still holds that one. The back buffer keeps the frame it
    // held all the same (a copy within the device, no conversion): this
    // device always has, and programs read it back after Present. The copy is
    // made when the pixels are next used, and not at all when the next frame
    // starts with a clear of the whole target.
    std::shared_ptr<uint8_t[]> previous = std::move(frontBuffer_);
    frontBuffer_ = back.Memory();
    hand(frontBuffer_.get());  // the target lets go of the previous frame here
    std::shared_ptr<uint8_t[]> next = FreeBuffer(std::move(previous));
    // Without memory for it the back buffer stays the buffer on show (the
    // target may then see a frame in the making, never freed memory).
    if (next == nullptr) return;
    back.ExchangeMemory(std::move(next));
    back.TakePixelsLater(frontBuffer_);
}

bool SoftwareDevice::HoldsSwapChainReferences() const {
    for (const auto& buffer : backBuffers_) {
        if (buffer->PublicReferences() > 0) return true;
    }
    return depthStencil_ != nullptr && depthStencil_->PublicReferences() > 0;
}

// A scene that was open stays open: its EndScene still pairs, and Reset closes it.
void SoftwareDevice::MakeLost() {
    cooperation_ = Cooperation::Lost;
    lostWithWindow_ = false;  // only EndLoss ends this loss
}

bool SoftwareDevice::EndLoss() {
    if (cooperation_ != Cooperation::Lost) return false;
    cooperation_ = Cooperation::NotReset;
    lostWithWindow_ = false;
    return true;
}

HWND SoftwareDevice::DeviceWindow() const {
    return pp_.hDeviceWindow != nullptr ? pp_.hDeviceWindow : focusWindow_;
}

void SoftwareDevice::FollowDeviceWindow() {
    const HWND window = DeviceWindow();
    const bool showing = window == nullptr || window->CanShow();
    if (!showing) {
        // A loss made by LoseDevice stays that kind of loss.
        if (cooperation_ != Cooperation::Lost) {
            cooperation_ = Cooperation::Lost;
            lostWithWindow_ = true;
        }
    } else if (cooperation_ == Cooperation::Lost && lostWithWindow_) {
        cooperation_ = Cooperation::NotReset;
        lostWithWindow_ = false;
    }
}

HRESULT SoftwareDevice::TestCooperativeLevel() {
    FollowDeviceWindow();
    HRESULT hr = D3D_OK;
    if (cooperation_ == Cooperation::Lost) hr = D3DERR_DEVICELOST;
    if (cooperation_ == Cooperation::NotReset) hr = D3DERR_DEVICENOTRESET;
    if (log_) log_->Add(records::Plain("TestCooperativeLevel", hr));
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
    if (log_) log_->Add(records::Reset(params, hr));
    return hr;
}

HRESULT SoftwareDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                const void* pDirtyRegion) {
    FollowDeviceWindow();
    HRESULT hr = D3D_OK;
    if (cooperation_ != Cooperation::Operational) {
        hr = D3DERR_DEVICELOST;
    } else {
        // The whole back buffer goes to the whole target; rectangles and dirty
        // regions are accepted and not used (the system passes none).
        const HWND target = hDestWindowOverride != nullptr ? hDestWindowOverride : DeviceWindow();
        pacer_.Pace(pp_.PresentationInterval, target != nullptr ? target->RefreshRate() : 60.0);
        if (target != nullptr) PresentToTarget(*target);
        ++presentCount_;
    }
    if (log_) log_->Add(records::Present(pSourceRect, pDestRect, hDestWindowOverride, pDirtyRegion, hr));
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
    if (log_) log_->Add(records::GetBackBuffer(iSwapChain, iBackBuffer, Type, hr));
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
    if (log_) log_->Add(records::Plain("GetDepthStencilSurface", hr));
    return hr;
}

}  // namespace wbx
