#include "direct3d.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "callrecords.h"
#include "d3d9/callrecorder.h"
#include "d3d9/formatinfo.h"
#include "softwaredevice.h"

namespace wbx {

namespace {

void CopyText(char* target, size_t capacity, const std::string& text) {
    const size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(target, text.data(), length);
    target[length] = '\0';
}

// Records an IDirect3D9 call into the process-wide recorder, if one is set;
// the record is only built then.
template <class MakeRecord, class... Args>
HRESULT Recorded(HRESULT result, MakeRecord makeRecord, Args... args) {
    const std::shared_ptr<CallLog> recorder = CallRecorder();
    if (recorder != nullptr) recorder->Add(makeRecord(args..., result));
    return result;
}

}  // namespace

ULONG SoftwareDirect3D::Release() {
    if (refs_ == 0) return 0;
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT SoftwareDirect3D::AnswerGetAdapterIdentifier(UINT Adapter, DWORD /*Flags*/,
                                                     D3DADAPTER_IDENTIFIER9* pIdentifier) {
    if (Adapter != D3DADAPTER_DEFAULT || pIdentifier == nullptr) return D3DERR_INVALIDCALL;
    *pIdentifier = D3DADAPTER_IDENTIFIER9{};
    CopyText(pIdentifier->Driver, sizeof pIdentifier->Driver, profile_.Driver);
    CopyText(pIdentifier->Description, sizeof pIdentifier->Description, profile_.Description);
    CopyText(pIdentifier->DeviceName, sizeof pIdentifier->DeviceName, profile_.DeviceName);
    pIdentifier->DriverVersion = profile_.DriverVersion;
    pIdentifier->VendorId = profile_.VendorId;
    pIdentifier->DeviceId = profile_.DeviceId;
    pIdentifier->SubSysId = profile_.SubSysId;
    pIdentifier->Revision = profile_.Revision;
    return D3D_OK;
}

HRESULT SoftwareDirect3D::AnswerGetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (Adapter != D3DADAPTER_DEFAULT || pMode == nullptr) return D3DERR_INVALIDCALL;
    *pMode = profile_.DisplayMode;
    return D3D_OK;
}

HRESULT SoftwareDirect3D::AnswerCheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType,
                                                  D3DFORMAT AdapterFormat, DWORD Usage, D3DRESOURCETYPE RType,
                                                  D3DFORMAT CheckFormat) {
    if (Adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    const DeviceTypeProfile* device = profile_.Find(DeviceType);
    if (device == nullptr) return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(AdapterFormat)) return D3DERR_NOTAVAILABLE;
    const bool depthUsage = (Usage & D3DUSAGE_DEPTHSTENCIL) != 0;
    const bool targetUsage = (Usage & D3DUSAGE_RENDERTARGET) != 0;
    switch (RType) {
        case D3DRTYPE_TEXTURE:
            if (depthUsage) return D3DERR_NOTAVAILABLE;  // no depth textures
            if (targetUsage) return device->AcceptsBackBuffer(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
            return device->AcceptsTexture(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
        case D3DRTYPE_SURFACE:
            if (depthUsage) return device->AcceptsDepth(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
            if (targetUsage) return device->AcceptsBackBuffer(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
            return device->AcceptsTexture(CheckFormat) || device->AcceptsBackBuffer(CheckFormat)
                       ? D3D_OK
                       : D3DERR_NOTAVAILABLE;
        case D3DRTYPE_VERTEXBUFFER:
            return CheckFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
        case D3DRTYPE_INDEXBUFFER:
            if (CheckFormat == D3DFMT_INDEX16) return D3D_OK;
            return CheckFormat == D3DFMT_INDEX32 && device->Caps.MaxVertexIndex > 0xFFFF
                       ? D3D_OK
                       : D3DERR_NOTAVAILABLE;
        default:
            return D3DERR_NOTAVAILABLE;  // volumes and cube maps are not offered
    }
}

HRESULT SoftwareDirect3D::AnswerCheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType,
                                                       D3DFORMAT AdapterFormat, D3DFORMAT RenderTargetFormat,
                                                       D3DFORMAT DepthStencilFormat) {
    if (Adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    const DeviceTypeProfile* device = profile_.Find(DeviceType);
    if (device == nullptr || !IsDisplayFormat(AdapterFormat)) return D3DERR_NOTAVAILABLE;
    if (!device->AcceptsBackBuffer(RenderTargetFormat) || !device->AcceptsDepth(DepthStencilFormat)) {
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT SoftwareDirect3D::AnswerGetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
    if (Adapter != D3DADAPTER_DEFAULT || pCaps == nullptr) return D3DERR_INVALIDCALL;
    const DeviceTypeProfile* device = profile_.Find(DeviceType);
    if (device == nullptr) return D3DERR_NOTAVAILABLE;
    *pCaps = device->Caps;
    pCaps->DeviceType = DeviceType;
    pCaps->AdapterOrdinal = Adapter;
    return D3D_OK;
}

HRESULT SoftwareDirect3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                       DWORD BehaviorFlags, D3DPRESENT_PARAMETERS* pPresentationParameters,
                                       IDirect3DDevice9** ppReturnedDeviceInterface) {
    HRESULT hr = D3DERR_INVALIDCALL;
    if (Adapter == D3DADAPTER_DEFAULT) {
        hr = SoftwareDevice::Create(this, profile_, DeviceType, hFocusWindow, BehaviorFlags,
                                    pPresentationParameters, ppReturnedDeviceInterface);
    } else if (ppReturnedDeviceInterface != nullptr) {
        *ppReturnedDeviceInterface = nullptr;
    }
    const std::shared_ptr<CallLog> recorder = CallRecorder();
    if (recorder != nullptr) {
        recorder->Add(records::CreateDevice(Adapter, DeviceType, BehaviorFlags, pPresentationParameters, hr));
        if (SUCCEEDED(hr)) static_cast<SoftwareDevice*>(*ppReturnedDeviceInterface)->SetCallLog(recorder);
    }
    return hr;
}

HRESULT SoftwareDirect3D::GetAdapterIdentifier(UINT Adapter, DWORD Flags,
                                               D3DADAPTER_IDENTIFIER9* pIdentifier) {
    return Recorded(AnswerGetAdapterIdentifier(Adapter, Flags, pIdentifier), records::GetAdapterIdentifier,
                    Adapter, Flags);
}

HRESULT SoftwareDirect3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    return Recorded(AnswerGetAdapterDisplayMode(Adapter, pMode), records::GetAdapterDisplayMode, Adapter);
}

HRESULT SoftwareDirect3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                            DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
    return Recorded(AnswerCheckDeviceFormat(Adapter, DeviceType, AdapterFormat, Usage, RType, CheckFormat),
                    records::CheckDeviceFormat, Adapter, DeviceType, AdapterFormat, Usage, RType,
                    CheckFormat);
}

HRESULT SoftwareDirect3D::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                                 D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
    return Recorded(AnswerCheckDepthStencilMatch(Adapter, DeviceType, AdapterFormat, RenderTargetFormat,
                                                 DepthStencilFormat),
                    records::CheckDepthStencilMatch, Adapter, DeviceType, AdapterFormat, RenderTargetFormat,
                    DepthStencilFormat);
}

HRESULT SoftwareDirect3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
    return Recorded(AnswerGetDeviceCaps(Adapter, DeviceType, pCaps), records::GetDeviceCaps, Adapter,
                    DeviceType);
}

IDirect3D9* Direct3DCreate9WithProfile(const AdapterProfile& profile, UINT SDKVersion) {
    if (SDKVersion != 31 && SDKVersion != D3D_SDK_VERSION) return nullptr;
    try {
        return new SoftwareDirect3D(profile);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace wbx
