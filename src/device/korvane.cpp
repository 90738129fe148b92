#include "device/korvane.h"

#include <cstring>
#include <string>

#include "base/format.h"
#include "floatingpoint.h"

namespace wbx {

namespace {

// A fixed-size text field of a Direct3D record, up to its first NUL.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

TKorvane::TKorvane(TKVOwnerWindow* owner, bool designMode) : OwnerControl(owner), designMode_(designMode) {
    if (owner == nullptr) throw Exception("Korvaneコンポーネントにはオーナーとなるウィンドウが必要です");
    // At design time a window carries at most one device component.
    if (designMode && !owner->Components().empty())
        throw Exception("Korvaneコンポーネントを、同一フォームに2つ以上貼る事はできません");
    owner->AddComponent(this);
}

TKorvane::~TKorvane() {
    if (!designMode_) {
        // Nothing may leave a destructor: a log line that cannot be written is lost.
        TKVLogFailureGuard guard;
        Destroy();
    }
    OwnerControl->RemoveComponent(this);
}

void TKorvane::SetDebugOption(TKVDebugOption options) {
    DebugOption = options;
    HaltOnErrorSwitch = options.Contains(kvoHaltOnError);
    DebugMessageSwitch = options.Contains(kvoDebugMessage);
    DetailedLogSwitch = options.Contains(kvoDetailedLog);
}

void TKorvane::Loaded() {
    if (designMode_) return;
    Device = nullptr;
    BackBuffers.clear();
    DepthStencilSurface = nullptr;
    BackBufferCount = 0;
    SetDebugOption(DebugOption);
    MaskFloatingPointExceptions();

    WriteDetailLog("");
    WriteDetailLog("■■■起動時の初期化をします■■■");
    TKVLogIndent indent;
    WriteDetailLog("Direct3Dを生成します");
    D3D = Direct3DCreate9(31);
    if (D3D == nullptr) {
        ReportError("Direct3Dオプジェクトすら生成できません、論外");
        return;
    }
    WriteDetailLog("ウィンドウのクライアント領域のサイズに合わせて初期化を開始します");
    SetWindowMode(OwnerControl->ClientWidth(), OwnerControl->ClientHeight(), {}, D3DPRESENT_INTERVAL_DEFAULT,
                  D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, D3DADAPTER_DEFAULT);
    indent.Leave();
    WriteDetailLog("■■■Korvane 起動しました■■■");
    WriteDetailLog("");
}

void TKorvane::SetWindowMode(int32_t width, int32_t height, std::span<const D3DFORMAT> depthFormats,
                             uint32_t presentationInterval, D3DSWAPEFFECT swapEffect,
                             D3DMULTISAMPLE_TYPE multiSampleType, uint32_t adapter) {
    WriteDetailLog("");
    WriteDetailLog("■■■Windowモードへ移行します■■■");
    TKVLogIndent indent;
    ReleaseDevice();
    // Without a Direct3D object (its creation failed) there is no device to make;
    // the window still gets the size it was asked for.
    if (D3D != nullptr) {
        D3DDISPLAYMODE mode = GetDisplayMode(adapter);
        mode.Width = static_cast<UINT>(width);
        mode.Height = static_cast<UINT>(height);
        InitMode(adapter, mode, multiSampleType, depthFormats, swapEffect, presentationInterval);
    }
    ResizeOwner(width, height);
    indent.Leave();
    WriteDetailLog("■■■Windowモードへ移行しました■■■");
    WriteDetailLog("");
}

void TKorvane::ResizeOwner(int32_t width, int32_t height) {
    TKVOwnerWindow& owner = *OwnerControl;
    const int outerWidth = width + (owner.Width() - owner.ClientWidth());
    const int outerHeight = height + (owner.Height() - owner.ClientHeight());
    owner.SetWindowPos(owner.Left(), owner.Top(), outerWidth, outerHeight);
}

D3DDISPLAYMODE TKorvane::GetDisplayMode(uint32_t adapter) {
    D3DDISPLAYMODE mode{};
    D3D->GetAdapterDisplayMode(adapter, &mode);  // a failure leaves the zeroed mode
    return mode;
}

void TKorvane::InitMode(uint32_t adapter, const D3DDISPLAYMODE& displayMode,
                        D3DMULTISAMPLE_TYPE multiSampleType, std::span<const D3DFORMAT> depthFormats,
                        D3DSWAPEFFECT swapEffect, uint32_t presentationInterval) {
    WriteDetailLog("");
    WriteDetailLog("■■■画面モードを初期化します■■■");
    TKVLogIndent indent;

    D3DPRESENT_PARAMETERS presentParameters{};
    presentParameters.Windowed = TRUE;
    presentParameters.SwapEffect = swapEffect;
    presentParameters.BackBufferWidth = displayMode.Width;
    presentParameters.BackBufferHeight = displayMode.Height;
    // The display's format unless another was asked for (a window presents
    // what the display shows; an offscreen frame may keep an alpha channel).
    presentParameters.BackBufferFormat =
        RequestedBackBufferFormat != D3DFMT_UNKNOWN ? RequestedBackBufferFormat : displayMode.Format;
    presentParameters.MultiSampleType = multiSampleType;
    presentParameters.PresentationInterval = presentationInterval;

    D3DADAPTER_IDENTIFIER9 identifier{};
    D3D->GetAdapterIdentifier(adapter, 0, &identifier);
    WriteDetailLog(Format("Driver : %s", FieldText(identifier.Driver)));
    WriteDetailLog(Format("Description : %s", FieldText(identifier.Description)));
    WriteDetailLog(Format("VendorID : %.8x, DeviceID : %.8x, SubSysID : %.8x, Revision : %.8x",
                          identifier.VendorId, identifier.DeviceId, identifier.SubSysId,
                          identifier.Revision));
    WriteDetailLog(Format("ウィンドウモード %dx%dで初期化します", displayMode.Width, displayMode.Height));

    HWND window = OwnerControl->PresentationTarget();
    presentParameters.hDeviceWindow = window;
    DisplayFormat = displayMode.Format;
    presentParameters.EnableAutoDepthStencil = depthFormats.empty() ? FALSE : TRUE;

    D3DCAPS9 caps{};
    const HRESULT capsResult = D3D->GetDeviceCaps(adapter, D3DDEVTYPE_HAL, &caps);
    if (capsResult != D3D_OK || UseREFDevice) {
        WriteDetailLog("ソフトウェアエミュレーションを利用します");
        presentParameters.AutoDepthStencilFormat = FindDepthStencilFormat(
            adapter, D3DDEVTYPE_REF, displayMode.Format, presentParameters, depthFormats);
        WriteDetailLog("デプスステンシルサーフェスのフォーマット..." +
                       FormatName(presentParameters.AutoDepthStencilFormat));
        CreateDevice(adapter, D3DDEVTYPE_REF, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, presentParameters);
    } else {
        WriteDetailLog("ハードウェアアクセラレーションを利用します");
        presentParameters.AutoDepthStencilFormat = FindDepthStencilFormat(
            adapter, D3DDEVTYPE_HAL, displayMode.Format, presentParameters, depthFormats);
        WriteDetailLog("デプスステンシルサーフェスのフォーマット..." +
                       FormatName(presentParameters.AutoDepthStencilFormat));
        if ((caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0 && !UseSoftwareVertexProcessing) {
            WriteDetailLog("ハードウェアT&Lを利用します");
            CreateDevice(adapter, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                         presentParameters);
        } else {
            WriteDetailLog("ソフトウェアT&Lを利用します");
            CreateDevice(adapter, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                         presentParameters);
        }
    }

    indent.Leave();
    WriteDetailLog("■■■画面モードを初期化しました■■■");
    WriteDetailLog("");
}

D3DFORMAT TKorvane::FindDepthStencilFormat(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT displayFormat,
                                           const D3DPRESENT_PARAMETERS& presentParameters,
                                           std::span<const D3DFORMAT> depthFormats) {
    if (presentParameters.EnableAutoDepthStencil) {
        // The adapter's format is the display's; the target's is the back
        // buffer's (the same for a window's device).
        const D3DFORMAT target = presentParameters.BackBufferFormat;
        for (D3DFORMAT candidate : depthFormats)
            if (D3D->CheckDepthStencilMatch(adapter, deviceType, displayFormat, target, candidate) == D3D_OK)
                return candidate;
    }
    WriteDetailLog("希望のデプスステンシルサーフェスのフォーマットが見つかりませんでした");
    return D3DFMT_UNKNOWN;
}

void TKorvane::CreateDevice(uint32_t adapter, D3DDEVTYPE deviceType, HWND focusWindow, uint32_t behaviorFlags,
                            D3DPRESENT_PARAMETERS& presentParameters) {
    if (Device != nullptr) {
        WriteDetailLog("新しいデバイスの生成の前に、全ての関連オブジェクトを解放します");
        ReleaseDevice();
    }
    WriteDetailLog("Direct3DDeviceオブジェクトの生成を行います");
    IDirect3DDevice9* device = nullptr;
    const HRESULT result =
        D3D->CreateDevice(adapter, deviceType, focusWindow, behaviorFlags, &presentParameters, &device);
    if (CheckResult(result, "Direct3DDeviceオブジェクトの生成に失敗しました") != D3D_OK) {
        // Not halted: go on without a device; nothing below may touch it.
        if (device != nullptr) device->Release();
        return;
    }
    if (device == nullptr) {
        ReportError("Direct3DDeviceオブジェクトの生成に失敗しました");
        return;
    }
    Device = device;

    // Direct3D writes the real count back (1 for a requested 0).
    BackBufferCount = static_cast<int32_t>(presentParameters.BackBufferCount);
    BackBuffers.assign(presentParameters.BackBufferCount, nullptr);
    for (UINT i = 0; i < presentParameters.BackBufferCount; ++i)
        if (Device->GetBackBuffer(0, i, D3DBACKBUFFER_TYPE_MONO, &BackBuffers[i]) != D3D_OK)
            BackBuffers[i] = nullptr;
    if (Device->GetDepthStencilSurface(&DepthStencilSurface) != D3D_OK) DepthStencilSurface = nullptr;

    PresentParameters = presentParameters;
    DeviceType = deviceType;
    Adapter = adapter;
    Windowed = presentParameters.Windowed != FALSE;
    Width = static_cast<int32_t>(presentParameters.BackBufferWidth);
    Height = static_cast<int32_t>(presentParameters.BackBufferHeight);
    BackBufferFormat = presentParameters.BackBufferFormat;

    RebuildAllResources();
}

void TKorvane::ReleaseDevice() {
    WriteDetailLog("");
    WriteDetailLog("■■■Direct3Dデバイスを解放します■■■");
    TKVLogIndent indent;
    ReleaseAllResources();

    // Each reference is dropped from the component before its count is
    // checked, so a raised log failure can never lead to a second release.
    if (DepthStencilSurface != nullptr) {
        WriteDetailLog("デプスステンシルサーフェスを解放します");
        IDirect3DSurface9* surface = DepthStencilSurface;
        DepthStencilSurface = nullptr;
        CheckResult(static_cast<int32_t>(surface->Release()),
                    "デプスステンシルサーフェスの解放に失敗しました");
    }
    if (!BackBuffers.empty()) {
        WriteDetailLog("バックバッファを解放します");
        std::vector<IDirect3DSurface9*> buffers;
        buffers.swap(BackBuffers);
        BackBufferCount = 0;
        for (size_t i = 0; i < buffers.size(); ++i) {
            if (buffers[i] == nullptr) continue;
            const ULONG left = buffers[i]->Release();
            CheckResult(static_cast<int32_t>(left),
                        "バックバッファ #" + std::to_string(i) + "　の解放に失敗しました");
        }
    }
    if (Device != nullptr) {
        WriteDetailLog("Direct3DDeviceオブジェクトの解放を行います");
        IDirect3DDevice9* device = Device;
        Device = nullptr;
        CheckResult(static_cast<int32_t>(device->Release()),
                    "Direct3DDeviceオブジェクトの解放に失敗しました");
    }

    indent.Leave();
    WriteDetailLog("■■■Direct3Dデバイスを解放しました■■■");
    WriteDetailLog("");
}

void TKorvane::ResetDevice() {
    // Without a device (its creation failed) there is nothing to reset.
    if (Device == nullptr) return;
    WriteDetailLog("");
    WriteDetailLog("■■■Direct3DDeviceをリセットします■■■");
    TKVLogIndent indent;
    NotifyAll(&TKVResourceDesc::OnDeviceLost);

    for (IDirect3DSurface9*& surface : BackBuffers) {
        if (surface != nullptr) surface->Release();
        surface = nullptr;
    }
    if (DepthStencilSurface != nullptr) {
        DepthStencilSurface->Release();
        DepthStencilSurface = nullptr;
    }
    CheckResult(Device->Reset(&PresentParameters), "リセットに失敗しました");
    // Fetched again whether or not the reset succeeded; the count stays.
    for (size_t i = 0; i < BackBuffers.size(); ++i)
        if (Device->GetBackBuffer(0, static_cast<UINT>(i), D3DBACKBUFFER_TYPE_MONO, &BackBuffers[i]) !=
            D3D_OK)
            BackBuffers[i] = nullptr;
    if (Device->GetDepthStencilSurface(&DepthStencilSurface) != D3D_OK) DepthStencilSurface = nullptr;
    NotifyAll(&TKVResourceDesc::OnDeviceReset);

    indent.Leave();
    WriteDetailLog("■■■Direct3DDeviceをリセットしました■■■");
    WriteDetailLog("");
}

void TKorvane::ResizeBackBuffers(int32_t width, int32_t height) {
    if (Device == nullptr || width <= 0 || height <= 0) return;
    if (static_cast<int32_t>(PresentParameters.BackBufferWidth) == width &&
        static_cast<int32_t>(PresentParameters.BackBufferHeight) == height)
        return;
    PresentParameters.BackBufferWidth = static_cast<UINT>(width);
    PresentParameters.BackBufferHeight = static_cast<UINT>(height);
    ResetDevice();
    Width = static_cast<int32_t>(PresentParameters.BackBufferWidth);
    Height = static_cast<int32_t>(PresentParameters.BackBufferHeight);
}

void TKorvane::Destroy() {
    WriteDetailLog("");
    WriteDetailLog("■■■お別れの時がやってまいりました■■■");
    TKVLogIndent indent;
    DestroyLeftovers();
    WriteDetailLog("Korvaneオブジェクトの解放に伴い、全ての関連オブジェクトを解放します");
    ReleaseDevice();
    WriteDetailLog("Direct3Dオブジェクトの解放を行います");
    if (D3D != nullptr) {
        IDirect3D9* d3d = D3D;
        D3D = nullptr;
        CheckResult(static_cast<int32_t>(d3d->Release()), "Direct3Dオブジェクトの解放に失敗しました");
    }
    Resources.clear();
    indent.Leave();
    WriteDetailLog("■■■それではごきげんよう■■■");
    WriteDetailLog("");
}

}  // namespace wbx
