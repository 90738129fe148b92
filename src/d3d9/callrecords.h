#pragma once
// The records our device and Direct3D object write into an attached call log
// (d3d9/callrecorder.h): one function per kind of call, building the record's
// integers, floats and readable text from the call's arguments and answer.
// The device pays one line per call for them, and they run only while a log
// is attached.
//
// Integers are the arguments in order (an object argument is its serial, 0
// for none); the text shows small numbers in decimal, larger ones as 0x%08X,
// and constants by name.

#include <cstdint>

#include "d3d9/callrecorder.h"
#include "d3d9/d3d9types.h"

namespace wbx::records {

// A call recorded by its name alone: "Name()".
CallRecord Plain(const char* name, HRESULT result);
// A call whose one recorded argument is an index (light, stage, stream): "Name(n)".
CallRecord Indexed(const char* name, uint64_t index, HRESULT result);

// --- IDirect3DDevice9
CallRecord Reset(const D3DPRESENT_PARAMETERS& params, HRESULT result);
CallRecord Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                   const void* dirtyRegion, HRESULT result);
CallRecord GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type, HRESULT result);
CallRecord CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                         uint64_t serial, HRESULT result);
CallRecord CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, uint64_t serial,
                              HRESULT result);
CallRecord CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, uint64_t serial,
                             HRESULT result);
CallRecord Clear(DWORD count, DWORD flags, D3DCOLOR color, float z, DWORD stencil, HRESULT result);
CallRecord DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                UINT numVertices, UINT startIndex, UINT primitiveCount, HRESULT result);
CallRecord DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount, HRESULT result);
CallRecord SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix, HRESULT result);
CallRecord GetTransform(D3DTRANSFORMSTATETYPE state, HRESULT result);
CallRecord SetViewport(const D3DVIEWPORT9* viewport, HRESULT result);
CallRecord SetMaterial(const D3DMATERIAL9* material, HRESULT result);
CallRecord SetLight(DWORD index, const D3DLIGHT9* light, HRESULT result);
CallRecord LightEnable(DWORD index, BOOL enable, HRESULT result);
CallRecord SetRenderState(D3DRENDERSTATETYPE state, DWORD value, HRESULT result);
CallRecord GetRenderState(D3DRENDERSTATETYPE state, HRESULT result);
CallRecord SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value, HRESULT result);
CallRecord GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, HRESULT result);
CallRecord SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value, HRESULT result);
CallRecord GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, HRESULT result);
CallRecord SetTexture(DWORD stage, uint64_t textureSerial, HRESULT result);
CallRecord SetFVF(DWORD fvf, HRESULT result);
CallRecord SetStreamSource(UINT stream, uint64_t bufferSerial, UINT offset, UINT stride, HRESULT result);
CallRecord SetIndices(uint64_t bufferSerial, HRESULT result);

// --- IDirect3D9 (their texts show every number in decimal)
CallRecord GetAdapterIdentifier(UINT adapter, DWORD flags, HRESULT result);
CallRecord GetAdapterDisplayMode(UINT adapter, HRESULT result);
CallRecord CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                             D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat, HRESULT result);
CallRecord CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                  D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat, HRESULT result);
CallRecord GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, HRESULT result);
CallRecord CreateDevice(UINT adapter, D3DDEVTYPE deviceType, DWORD behaviorFlags,
                        const D3DPRESENT_PARAMETERS* params, HRESULT result);

}  // namespace wbx::records
