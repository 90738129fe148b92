// Costs of the software device's own work per frame: state calls (with and
// without a call log attached), texture re-creation as the viewer composes,
// and Present of a 640 x 480 back buffer. Drawing itself is the rasteriser's
// and measured with it. Each benchmark repeats five times; read the medians.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "capturetarget.h"
#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/d3d9.h"

namespace {

struct Device {
    explicit Device(HWND window = nullptr, UINT width = 640, UINT height = 480) {
        d3d = wbx::Direct3DCreate9WithProfile(wbx::DefaultAdapterProfile());
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
        pp.hDeviceWindow = window;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        d3d->CreateDevice(0, D3DDEVTYPE_REF, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
    }
    ~Device() {
        device->Release();
        d3d->Release();
    }
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// The state calls one rendering-queue pass and one mesh draw send (without the draw).
void SendFrameStates(IDirect3DDevice9* device, IDirect3DTexture9* texture) {
    D3DMATRIX world{};
    world._11 = world._22 = world._33 = world._44 = 1.0f;
    D3DMATERIAL9 material{};
    device->SetTransform(D3DTS_VIEW, &world);
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_SPECULARENABLE, 1);
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_WRAP0, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetMaterial(&material);
    device->SetFVF(0x112);
}

void BM_SetRenderState(benchmark::State& state) {
    Device d;
    DWORD value = 0;
    for (auto _ : state) {
        d.device->SetRenderState(D3DRS_ZENABLE, value);
        value ^= 1;
    }
}
BENCHMARK(BM_SetRenderState)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FrameStates(benchmark::State& state) {
    Device d;
    IDirect3DTexture9* texture = nullptr;
    d.device->CreateTexture(256, 512, 0, 0, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED, &texture, nullptr);
    const bool recorded = state.range(0) != 0;
    std::shared_ptr<wbx::CallLog> log = recorded ? wbx::AttachCallLog(d.device) : nullptr;
    for (auto _ : state) {
        SendFrameStates(d.device, texture);
        if (log != nullptr) log->Clear();
    }
    texture->Release();
}
BENCHMARK(BM_FrameStates)->Arg(0)->Arg(1)->ArgName("recorded")->Repetitions(5)->ReportAggregatesOnly(true);

// What each composition of the viewer costs the device: a 256 x 512 A1R5G5B5
// managed texture with a full chain created and released.
void BM_TextureRecreate(benchmark::State& state) {
    Device d;
    for (auto _ : state) {
        IDirect3DTexture9* texture = nullptr;
        d.device->CreateTexture(256, 512, 0, 0, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED, &texture, nullptr);
        texture->Release();
    }
}
BENCHMARK(BM_TextureRecreate)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PresentImmediate640x480(benchmark::State& state) {
    // Each frame is copied, as the viewer's window copies it before drawing it.
    wbx::testing::CaptureTarget window;
    Device d(&window);
    for (auto _ : state) d.device->Present(nullptr, nullptr, nullptr, nullptr);
}
BENCHMARK(BM_PresentImmediate640x480)->Repetitions(5)->ReportAggregatesOnly(true);

// The frame around the viewer's draw: Clear of target and depth, then
// Present to a window that copies the frame; at the default size and at 1080p.
void BM_ClearAndPresent(benchmark::State& state) {
    wbx::testing::CaptureTarget window(wbx::testing::CaptureTarget::kNoPacing);
    Device d(&window, static_cast<UINT>(state.range(0)), static_cast<UINT>(state.range(1)));
    for (auto _ : state) {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f, 0);
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}
BENCHMARK(BM_ClearAndPresent)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->ArgNames({"width", "height"})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
