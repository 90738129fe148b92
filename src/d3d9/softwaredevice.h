#pragma once
// SoftwareDevice: our IDirect3DDevice9. It validates every call as Direct3D 9
// does, keeps the state and the resources in memory, and hands the pixel work
// to the rasteriser (d3d9/raster) as plain data. Its operations are kept in
// four files by concern: softwaredevicecreation.cpp (creation, lifetime,
// queries, memory and resources), softwaredevicepresent.cpp (swap chain,
// device loss, reset, present), softwaredevicestate.cpp (transforms, lights,
// states, bindings) and softwaredevice.cpp (scenes, clears and draws: the
// calls into the rasteriser). With a call log attached every operation but
// AddRef and Release writes one record (callrecords.h).
//
// Lifecycle:
//   - created by IDirect3D9::CreateDevice with one reference (the caller's);
//     it holds one reference on its Direct3D object;
//   - every resource holds a reference on it, and so does a back buffer or
//     depth-stencil surface while the application holds one; the device is
//     destroyed when the last of these references goes;
//   - lost: when its device window cannot show frames (minimised,
//     PresentationTarget::CanShow), noticed by the next Present or
//     TestCooperativeLevel, or on demand by LoseDevice (d3d9/devicecontrol.h).
//     TestCooperativeLevel then answers D3DERR_DEVICELOST, Present fails with
//     D3DERR_DEVICELOST and draws and clears do nothing. The loss ends when
//     the window can show frames again (a loss on demand: by EndDeviceLoss):
//     TestCooperativeLevel answers D3DERR_DEVICENOTRESET until a Reset
//     succeeds. Reset is refused (D3DERR_INVALIDCALL, device stays not-reset)
//     while default-pool resources exist or the application holds a back
//     buffer or the depth-stencil surface; a successful Reset rebuilds the
//     swap chain and returns every state to its creation default. Managed
//     resources are not touched.
//
// Memory: the profile's texture memory minus the bytes of every default- and
// managed-pool resource (textures, vertex and index buffers) is what
// GetAvailableTextureMem answers. A default-pool resource that does not fit
// fails with D3DERR_OUTOFVIDEOMEMORY; managed resources live in system memory
// as in Direct3D 9, so they are counted but never refused for it.
//
// Single-threaded, like the GUI thread that uses it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/d3d9.h"
#include "d3d9/raster/rasterizer.h"
#include "devicestate.h"
#include "presentpacer.h"
#include "surface.h"

namespace wbx {

class SoftwareTexture;
class SoftwareVertexBuffer;
class SoftwareIndexBuffer;

// The largest single resource we allocate (bytes); larger requests fail with
// E_OUTOFMEMORY instead of asking the system for absurd amounts.
constexpr uint64_t kMaxResourceBytes = uint64_t{1} << 30;
// The largest back-buffer side we accept (pixels).
constexpr UINT kMaxBackBufferSide = 16384;
// Direct3D 9's D3DPRESENT_BACK_BUFFERS_MAX.
constexpr UINT kMaxBackBuffers = 3;

class SoftwareDevice final : public IDirect3DDevice9 {
public:
    enum class Cooperation { Operational, Lost, NotReset };

    // Validates the arguments as IDirect3D9::CreateDevice does and creates the
    // device; on success writes the effective parameters back into *pp (back
    // buffer count, size and format as used). d3d gets a reference.
    static HRESULT Create(IDirect3D9* d3d, const AdapterProfile& adapter, D3DDEVTYPE type, HWND focusWindow,
                          DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** ppDevice);

    // Checks present parameters against a device type and the desktop and
    // fills in what Direct3D 9 fills in (count 0 -> 1, size 0 -> 1, format
    // UNKNOWN -> the desktop format in a window). Leaves pp as it was on failure.
    static HRESULT ValidatePresentParameters(const DeviceTypeProfile& device, const D3DDISPLAYMODE& desktop,
                                             D3DPRESENT_PARAMETERS& pp);

    // --- IUnknown
    ULONG AddRef() override;
    ULONG Release() override;

    // --- IDirect3DDevice9
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion) override;
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer) override;
    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                          IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                  DWORD Stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                 UINT NumVertices, UINT startIndex, UINT primCount) override;
    HRESULT SetFVF(DWORD FVF) override;
    HRESULT GetFVF(DWORD* pFVF) override;
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                            UINT Stride) override;
    HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                            UINT* pStride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

    // --- our own
    void MakeLost();  // see d3d9/devicecontrol.h; ended only by EndLoss
    bool EndLoss();   // Lost -> NotReset; false when the device was not lost
    void SetCallLog(std::shared_ptr<CallLog> log) { log_ = std::move(log); }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return pp_; }
    D3DDEVTYPE DeviceType() const { return type_; }
    DWORD BehaviorFlags() const { return behaviorFlags_; }
    uint64_t PresentCount() const { return presentCount_; }

    // Called by resources (d3d9/devicechild.h).
    void ChargeMemory(D3DPOOL pool, uint64_t bytes);
    void RefundMemory(D3DPOOL pool, uint64_t bytes);
    void Forget(SoftwareTexture* texture);
    void Forget(SoftwareVertexBuffer* buffer);
    void Forget(SoftwareIndexBuffer* buffer);

private:
    SoftwareDevice(IDirect3D9* d3d, const AdapterProfile& adapter, const DeviceTypeProfile& device,
                   HWND focusWindow, DWORD behaviorFlags);
    ~SoftwareDevice() override;

    HRESULT BuildSwapChain(const D3DPRESENT_PARAMETERS& pp);  // replaces back buffers and depth surface
    // Hands the frame in back buffer 0 to target and swaps the chain's buffers
    // (see frontBuffer_).
    void PresentToTarget(PresentationTarget& target);
    // previous when nothing else holds it, else new zeroed memory of a back
    // buffer's size (nullptr when none can be had).
    std::shared_ptr<uint8_t[]> FreeBuffer(std::shared_ptr<uint8_t[]> previous) const;
    bool HoldsSwapChainReferences() const;
    // The window the device presents into: the device window, else the focus window (may be nullptr).
    HWND DeviceWindow() const;
    // Enters or leaves the loss that the device window's CanShow decides.
    void FollowDeviceWindow();
    // Bytes one vertex of an FVF code occupies; 0 for a code no draw can use.
    static UINT FvfVertexSize(DWORD fvf);
    uint64_t AvailableMemory() const;
    HRESULT CheckMemory(D3DPOOL pool, uint64_t bytes) const;
    raster::RenderTargets Targets(raster::Surface& depthView);
    // What every draw that reaches the rasteriser does first: the active
    // lights brought up to date, and the depth surface told when the draw may
    // write its depth.
    void BeforeDraw();
    void RefreshActiveLights();
    HRESULT DrawIndexed(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                        UINT startIndex, UINT primCount);
    HRESULT DrawNonIndexed(D3DPRIMITIVETYPE type, UINT startVertex, UINT primCount);
    bool BindVertexStream(raster::VertexStream& stream, HRESULT& failure) const;
    HRESULT ValidateTextureCreation(UINT width, UINT height, UINT& levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool) const;

    IDirect3D9* d3d_;  // one reference held
    D3DDISPLAYMODE desktop_;
    DeviceTypeProfile device_;
    D3DDEVTYPE type_;
    HWND focusWindow_;  // not owned
    DWORD behaviorFlags_;
    D3DPRESENT_PARAMETERS pp_{};
    std::vector<std::unique_ptr<SoftwareSurface>> backBuffers_;
    std::unique_ptr<SoftwareSurface> depthStencil_;
    // The last presented frame's memory, shared with the target that shows
    // it. Present makes back buffer 0's memory the front buffer and gives the
    // back buffer the former front buffer's memory once no target holds that
    // any longer (two buffers in turn while the target keeps only the frame
    // on show), with the frame copied into it; with D3DSWAPEFFECT_COPY (or a
    // locked back buffer) the front buffer is a copy instead.
    std::shared_ptr<uint8_t[]> frontBuffer_;
    DeviceState state_;
    raster::Rasterizer rasterizer_;
    PresentPacer pacer_;
    std::shared_ptr<CallLog> log_;   // null unless recording
    uint64_t textureMemory_;         // bytes the profile offers
    uint64_t usedMemory_ = 0;        // bytes of default- and managed-pool resources
    UINT defaultPoolResources_ = 0;  // live default-pool resources (they block Reset)
    uint64_t presentCount_ = 0;
    ULONG refs_ = 1;
    Cooperation cooperation_ = Cooperation::Operational;
    bool lostWithWindow_ = false;  // Lost because the device window could not show frames
    bool inScene_ = false;
};

}  // namespace wbx
