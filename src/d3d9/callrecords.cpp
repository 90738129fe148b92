#include "callrecords.h"

#include <cinttypes>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "d3d9names.h"

namespace wbx::records {

namespace {

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

std::string Dec(uint64_t value) { return std::to_string(value); }

// "Name(a, b, c)".
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

void AppendColor(std::vector<double>& values, const D3DCOLORVALUE& c) {
    values.insert(values.end(), {c.r, c.g, c.b, c.a});
}

CallRecord Make(const char* name, std::vector<int64_t> ints, std::vector<double> floats, std::string text,
                HRESULT result) {
    return CallRecord{name, std::move(ints), std::move(floats), std::move(text), result};
}

}  // namespace

CallRecord Plain(const char* name, HRESULT result) {
    return Make(name, {}, {}, std::string(name) + "()", result);
}

CallRecord Indexed(const char* name, uint64_t index, HRESULT result) {
    return Make(name, {static_cast<int64_t>(index)}, {}, Call(name, {Num(index)}), result);
}

// --- IDirect3DDevice9

CallRecord Reset(const D3DPRESENT_PARAMETERS& params, HRESULT result) {
    return Make(
        "Reset",
        {params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat, params.BackBufferCount,
         params.EnableAutoDepthStencil, params.AutoDepthStencilFormat, params.PresentationInterval},
        {}, Call("Reset", {Num(params.BackBufferWidth), Num(params.BackBufferHeight)}), result);
}

CallRecord Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                   const void* dirtyRegion, HRESULT result) {
    return Make(
        "Present",
        {sourceRect != nullptr, destRect != nullptr, destWindowOverride != nullptr, dirtyRegion != nullptr},
        {}, "Present()", result);
}

CallRecord GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type, HRESULT result) {
    return Make("GetBackBuffer", {swapChain, backBuffer, type}, {},
                Call("GetBackBuffer", {Num(swapChain), Num(backBuffer), Num(type)}), result);
}

CallRecord CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                         uint64_t serial, HRESULT result) {
    return Make(
        "CreateTexture", {width, height, levels, usage, format, pool, static_cast<int64_t>(serial)}, {},
        Call("CreateTexture",
             {Num(width), Num(height), Num(levels), Num(usage), FormatConstantName(format), PoolName(pool)}),
        result);
}

CallRecord CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, uint64_t serial,
                              HRESULT result) {
    return Make("CreateVertexBuffer", {length, usage, fvf, pool, static_cast<int64_t>(serial)}, {},
                Call("CreateVertexBuffer", {Num(length), Num(usage), Num(fvf), PoolName(pool)}), result);
}

CallRecord CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, uint64_t serial,
                             HRESULT result) {
    return Make(
        "CreateIndexBuffer", {length, usage, format, pool, static_cast<int64_t>(serial)}, {},
        Call("CreateIndexBuffer", {Num(length), Num(usage), FormatConstantName(format), PoolName(pool)}),
        result);
}

CallRecord Clear(DWORD count, DWORD flags, D3DCOLOR color, float z, DWORD stencil, HRESULT result) {
    return Make("Clear", {count, flags, color, stencil}, {z},
                Call("Clear", {Num(count), Num(flags), Num(color), Real(z), Num(stencil)}), result);
}

CallRecord DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                UINT numVertices, UINT startIndex, UINT primitiveCount, HRESULT result) {
    return Make(
        "DrawIndexedPrimitive",
        {type, baseVertexIndex, minVertexIndex, numVertices, startIndex, primitiveCount}, {},
        Call("DrawIndexedPrimitive", {PrimitiveTypeName(type), Int(baseVertexIndex), Num(minVertexIndex),
                                      Num(numVertices), Num(startIndex), Num(primitiveCount)}),
        result);
}

CallRecord DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount, HRESULT result) {
    return Make("DrawPrimitive", {type, startVertex, primitiveCount}, {},
                Call("DrawPrimitive", {PrimitiveTypeName(type), Num(startVertex), Num(primitiveCount)}),
                result);
}

CallRecord SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix, HRESULT result) {
    std::vector<double> floats;
    if (matrix != nullptr) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) floats.push_back(matrix->m[r][c]);
        }
    }
    return Make("SetTransform", {state}, std::move(floats), Call("SetTransform", {TransformStateName(state)}),
                result);
}

CallRecord GetTransform(D3DTRANSFORMSTATETYPE state, HRESULT result) {
    return Make("GetTransform", {state}, {}, Call("GetTransform", {TransformStateName(state)}), result);
}

CallRecord SetViewport(const D3DVIEWPORT9* viewport, HRESULT result) {
    if (viewport == nullptr) return Make("SetViewport", {}, {}, "SetViewport(nullptr)", result);
    const D3DVIEWPORT9& v = *viewport;
    return Make(
        "SetViewport", {v.X, v.Y, v.Width, v.Height}, {v.MinZ, v.MaxZ},
        Call("SetViewport", {Num(v.X), Num(v.Y), Num(v.Width), Num(v.Height), Real(v.MinZ), Real(v.MaxZ)}),
        result);
}

CallRecord SetMaterial(const D3DMATERIAL9* material, HRESULT result) {
    std::vector<double> floats;
    if (material != nullptr) {
        AppendColor(floats, material->Diffuse);
        AppendColor(floats, material->Ambient);
        AppendColor(floats, material->Specular);
        AppendColor(floats, material->Emissive);
        floats.push_back(material->Power);
    }
    return Make("SetMaterial", {}, std::move(floats), "SetMaterial()", result);
}

CallRecord SetLight(DWORD index, const D3DLIGHT9* light, HRESULT result) {
    std::vector<double> floats;
    std::vector<int64_t> ints{index};
    if (light != nullptr) {
        ints.push_back(light->Type);
        AppendColor(floats, light->Diffuse);
        AppendColor(floats, light->Specular);
        AppendColor(floats, light->Ambient);
        floats.insert(floats.end(), {light->Position.x, light->Position.y, light->Position.z,
                                     light->Direction.x, light->Direction.y, light->Direction.z, light->Range,
                                     light->Falloff, light->Attenuation0, light->Attenuation1,
                                     light->Attenuation2, light->Theta, light->Phi});
    }
    return Make("SetLight", std::move(ints), std::move(floats), Call("SetLight", {Num(index)}), result);
}

CallRecord LightEnable(DWORD index, BOOL enable, HRESULT result) {
    return Make("LightEnable", {index, enable}, {}, Call("LightEnable", {Num(index), Int(enable)}), result);
}

CallRecord SetRenderState(D3DRENDERSTATETYPE state, DWORD value, HRESULT result) {
    return Make("SetRenderState", {state, value}, {},
                Call("SetRenderState", {RenderStateName(state), Num(value)}), result);
}

CallRecord GetRenderState(D3DRENDERSTATETYPE state, HRESULT result) {
    return Make("GetRenderState", {state}, {}, Call("GetRenderState", {RenderStateName(state)}), result);
}

CallRecord SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value, HRESULT result) {
    return Make("SetTextureStageState", {stage, type, value}, {},
                Call("SetTextureStageState", {Num(stage), StageStateName(type), Num(value)}), result);
}

CallRecord GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, HRESULT result) {
    return Make("GetTextureStageState", {stage, type}, {},
                Call("GetTextureStageState", {Num(stage), StageStateName(type)}), result);
}

CallRecord SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value, HRESULT result) {
    return Make("SetSamplerState", {sampler, type, value}, {},
                Call("SetSamplerState", {Num(sampler), SamplerStateName(type), Num(value)}), result);
}

CallRecord GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, HRESULT result) {
    return Make("GetSamplerState", {sampler, type}, {},
                Call("GetSamplerState", {Num(sampler), SamplerStateName(type)}), result);
}

CallRecord SetTexture(DWORD stage, uint64_t textureSerial, HRESULT result) {
    return Make("SetTexture", {stage, static_cast<int64_t>(textureSerial)}, {},
                Call("SetTexture", {Num(stage), Object(textureSerial, "texture")}), result);
}

CallRecord SetFVF(DWORD fvf, HRESULT result) {
    return Make("SetFVF", {fvf}, {}, Call("SetFVF", {Num(fvf)}), result);
}

CallRecord SetStreamSource(UINT stream, uint64_t bufferSerial, UINT offset, UINT stride, HRESULT result) {
    return Make("SetStreamSource", {stream, static_cast<int64_t>(bufferSerial), offset, stride}, {},
                Call("SetStreamSource",
                     {Num(stream), Object(bufferSerial, "vertexbuffer"), Num(offset), Num(stride)}),
                result);
}

CallRecord SetIndices(uint64_t bufferSerial, HRESULT result) {
    return Make("SetIndices", {static_cast<int64_t>(bufferSerial)}, {},
                Call("SetIndices", {Object(bufferSerial, "indexbuffer")}), result);
}

// --- IDirect3D9

CallRecord GetAdapterIdentifier(UINT adapter, DWORD flags, HRESULT result) {
    return Make("GetAdapterIdentifier", {adapter, flags}, {},
                "GetAdapterIdentifier(" + Dec(adapter) + ", " + Dec(flags) + ")", result);
}

CallRecord GetAdapterDisplayMode(UINT adapter, HRESULT result) {
    return Make("GetAdapterDisplayMode", {adapter}, {}, "GetAdapterDisplayMode(" + Dec(adapter) + ")",
                result);
}

CallRecord CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, DWORD usage,
                             D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat, HRESULT result) {
    return Make("CheckDeviceFormat", {adapter, deviceType, adapterFormat, usage, resourceType, checkFormat},
                {},
                "CheckDeviceFormat(" + Dec(adapter) + ", " + DeviceTypeName(deviceType) + ", " +
                    FormatConstantName(adapterFormat) + ", " + Dec(usage) + ", " + Dec(resourceType) + ", " +
                    FormatConstantName(checkFormat) + ")",
                result);
}

CallRecord CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                  D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat,
                                  HRESULT result) {
    return Make("CheckDepthStencilMatch",
                {adapter, deviceType, adapterFormat, renderTargetFormat, depthStencilFormat}, {},
                "CheckDepthStencilMatch(" + Dec(adapter) + ", " + DeviceTypeName(deviceType) + ", " +
                    FormatConstantName(adapterFormat) + ", " + FormatConstantName(renderTargetFormat) + ", " +
                    FormatConstantName(depthStencilFormat) + ")",
                result);
}

CallRecord GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, HRESULT result) {
    return Make("GetDeviceCaps", {adapter, deviceType}, {},
                "GetDeviceCaps(" + Dec(adapter) + ", " + DeviceTypeName(deviceType) + ")", result);
}

CallRecord CreateDevice(UINT adapter, D3DDEVTYPE deviceType, DWORD behaviorFlags,
                        const D3DPRESENT_PARAMETERS* params, HRESULT result) {
    const D3DPRESENT_PARAMETERS* pp = params;
    return Make(
        "CreateDevice",
        {adapter, deviceType, behaviorFlags, pp ? pp->BackBufferWidth : 0, pp ? pp->BackBufferHeight : 0,
         pp ? pp->EnableAutoDepthStencil : 0, pp ? static_cast<DWORD>(pp->AutoDepthStencilFormat) : 0u},
        {},
        "CreateDevice(" + Dec(adapter) + ", " + DeviceTypeName(deviceType) + ", " + Dec(behaviorFlags) + ")",
        result);
}

}  // namespace wbx::records
