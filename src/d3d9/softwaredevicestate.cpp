// SoftwareDevice: transforms, viewport, material, lights, render, sampler and
// stage states, and the bindings of textures, streams and indices.
#include "callrecords.h"
#include "indexbuffer.h"
#include "softwaredevice.h"
#include "texture.h"
#include "vertexbuffer.h"

namespace wbx {

namespace {

bool IsValidTransform(D3DTRANSFORMSTATETYPE state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= D3DTS_WORLD && state < D3DTS_WORLDMATRIX(256));
}

}  // namespace

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
    if (log_) log_->Add(records::SetTransform(State, pMatrix, hr));
    return hr;
}

HRESULT SoftwareDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    HRESULT hr = D3D_OK;
    if (pMatrix == nullptr || !IsValidTransform(State)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pMatrix = state_.Transforms[State];
    }
    if (log_) log_->Add(records::GetTransform(State, hr));
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
    if (log_) log_->Add(records::SetViewport(pViewport, hr));
    return hr;
}

HRESULT SoftwareDevice::GetViewport(D3DVIEWPORT9* pViewport) {
    HRESULT hr = D3D_OK;
    if (pViewport == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pViewport = state_.Pipeline.Viewport;
    }
    if (log_) log_->Add(records::Plain("GetViewport", hr));
    return hr;
}

HRESULT SoftwareDevice::SetMaterial(const D3DMATERIAL9* pMaterial) {
    HRESULT hr = D3D_OK;
    if (pMaterial == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.Material = *pMaterial;
    }
    if (log_) log_->Add(records::SetMaterial(pMaterial, hr));
    return hr;
}

HRESULT SoftwareDevice::GetMaterial(D3DMATERIAL9* pMaterial) {
    HRESULT hr = D3D_OK;
    if (pMaterial == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pMaterial = state_.Pipeline.Material;
    }
    if (log_) log_->Add(records::Plain("GetMaterial", hr));
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
    if (log_) log_->Add(records::SetLight(Index, pLight, hr));
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
    if (log_) log_->Add(records::Indexed("GetLight", Index, hr));
    return hr;
}

HRESULT SoftwareDevice::LightEnable(DWORD Index, BOOL Enable) {
    auto found = state_.Lights.find(Index);
    if (found == state_.Lights.end()) {
        found = state_.Lights.emplace(Index, LightSlot{DefaultLight(), false}).first;
    }
    found->second.Enabled = Enable != FALSE;
    state_.LightsDirty = true;
    if (log_) log_->Add(records::LightEnable(Index, Enable, D3D_OK));
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
    if (log_) log_->Add(records::Indexed("GetLightEnable", Index, hr));
    return hr;
}

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (State >= D3DRS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.RenderStates[State] = Value;
    }
    if (log_) log_->Add(records::SetRenderState(State, Value, hr));
    return hr;
}

HRESULT SoftwareDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || State >= D3DRS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.RenderStates[State];
    }
    if (log_) log_->Add(records::GetRenderState(State, hr));
    return hr;
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (Stage >= kMaxStages || Type >= D3DTSS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.StageStates[Stage][Type] = Value;
    }
    if (log_) log_->Add(records::SetTextureStageState(Stage, Type, Value, hr));
    return hr;
}

HRESULT SoftwareDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || Stage >= kMaxStages || Type >= D3DTSS_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.StageStates[Stage][Type];
    }
    if (log_) log_->Add(records::GetTextureStageState(Stage, Type, hr));
    return hr;
}

HRESULT SoftwareDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    HRESULT hr = D3D_OK;
    if (Sampler >= kMaxStages || Type >= D3DSAMP_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        state_.Pipeline.SamplerStates[Sampler][Type] = Value;
    }
    if (log_) log_->Add(records::SetSamplerState(Sampler, Type, Value, hr));
    return hr;
}

HRESULT SoftwareDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    HRESULT hr = D3D_OK;
    if (pValue == nullptr || Sampler >= kMaxStages || Type >= D3DSAMP_MAX) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pValue = state_.Pipeline.SamplerStates[Sampler][Type];
    }
    if (log_) log_->Add(records::GetSamplerState(Sampler, Type, hr));
    return hr;
}

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
    if (log_)
        log_->Add(
            records::SetTexture(Stage, SUCCEEDED(hr) && texture != nullptr ? texture->Serial() : 0, hr));
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
    if (log_) log_->Add(records::Indexed("GetTexture", Stage, hr));
    return hr;
}

HRESULT SoftwareDevice::SetFVF(DWORD FVF) {
    state_.FVF = FVF;
    if (log_) log_->Add(records::SetFVF(FVF, D3D_OK));
    return D3D_OK;
}

HRESULT SoftwareDevice::GetFVF(DWORD* pFVF) {
    HRESULT hr = D3D_OK;
    if (pFVF == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else {
        *pFVF = state_.FVF;
    }
    if (log_) log_->Add(records::Plain("GetFVF", hr));
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
    if (log_)
        log_->Add(records::SetStreamSource(StreamNumber,
                                           SUCCEEDED(hr) && buffer != nullptr ? buffer->Serial() : 0,
                                           OffsetInBytes, Stride, hr));
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
    if (log_) log_->Add(records::Indexed("GetStreamSource", StreamNumber, hr));
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
    if (log_) log_->Add(records::SetIndices(SUCCEEDED(hr) && buffer != nullptr ? buffer->Serial() : 0, hr));
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
    if (log_) log_->Add(records::Plain("GetIndices", hr));
    return hr;
}

}  // namespace wbx
