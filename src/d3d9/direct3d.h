#pragma once
// SoftwareDirect3D: our IDirect3D9. It answers every adapter question from
// its adapter profile (d3d9/adapterprofile.h), copied at creation, and creates
// SoftwareDevice objects. There is one adapter, ordinal 0; any other ordinal
// is D3DERR_INVALIDCALL, and a device type the profile lacks is
// D3DERR_NOTAVAILABLE. While a process-wide call recorder is set
// (d3d9/callrecorder.h) every IDirect3D9 query and CreateDevice is recorded
// into it.

#include "d3d9/adapterprofile.h"
#include "d3d9/d3d9.h"

namespace wbx {

class SoftwareDirect3D final : public IDirect3D9 {
public:
    explicit SoftwareDirect3D(const AdapterProfile& profile) : profile_(profile) {}

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier) override;
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                              D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                   D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                         D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface) override;

private:
    ~SoftwareDirect3D() override = default;

    // The answers; the public operations add the recording.
    HRESULT AnswerGetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier);
    HRESULT AnswerGetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode);
    HRESULT AnswerCheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                    D3DRESOURCETYPE RType, D3DFORMAT CheckFormat);
    HRESULT AnswerCheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                         D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat);
    HRESULT AnswerGetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps);

    AdapterProfile profile_;
    ULONG refs_ = 1;
};

}  // namespace wbx
