// SoftwareDevice: scenes, clears and draws, handed to the rasteriser as plain
// data. Its other concerns live beside this file (see softwaredevice.h).
#include "softwaredevice.h"

#include "callrecords.h"
#include "d3d9/formatinfo.h"
#include "d3d9/raster/primitivecount.h"
#include "indexbuffer.h"
#include "vertexbuffer.h"

namespace wbx {

HRESULT SoftwareDevice::BeginScene() {
    const HRESULT hr = inScene_ ? D3DERR_INVALIDCALL : D3D_OK;
    inScene_ = true;
    if (log_) log_->Add(records::Plain("BeginScene", hr));
    return hr;
}

HRESULT SoftwareDevice::EndScene() {
    const HRESULT hr = inScene_ ? D3D_OK : D3DERR_INVALIDCALL;
    inScene_ = false;
    if (log_) log_->Add(records::Plain("EndScene", hr));
    return hr;
}

void SoftwareDevice::BeforeDraw() {
    if (state_.LightsDirty) RefreshActiveLights();
    if (depthStencil_ == nullptr) return;
    // Kept only where the draw certainly writes no depth (or stencil, which
    // shares the word): ZWRITEENABLE off, whatever ZENABLE says.
    const DWORD* rs = state_.Pipeline.RenderStates;
    if (rs[D3DRS_ZWRITEENABLE] != FALSE ||
        (rs[D3DRS_STENCILENABLE] != FALSE && HasStencilBits(depthStencil_->Format()))) {
        depthStencil_->ForgetUniformDepth();
    }
}

raster::RenderTargets SoftwareDevice::Targets(raster::Surface& depthView) {
    raster::RenderTargets targets;
    backBuffers_[0]->TakeLaterPixels(rasterizer_);
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
        const DWORD rectCount = pRects != nullptr ? Count : 0;
        // A clear that writes every pixel of the back buffer needs none of the
        // frame it keeps from the last Present.
        SoftwareSurface& back = *backBuffers_[0];
        if ((Flags & D3DCLEAR_TARGET) && raster::IsColorTargetFormat(back.Format()) &&
            back.ClearCoversAll(state_.Pipeline.Viewport, rectCount, pRects)) {
            back.DropLaterPixels();
        }
        // Depth that holds z everywhere already (cleared to it, nothing
        // written since) is not filled again: the viewer's frames write no
        // depth, and every frame clears it to the same value.
        DWORD fill = Flags;
        if ((Flags & D3DCLEAR_ZBUFFER) && depthStencil_->DepthUniform() && depthStencil_->ClearedDepth() == Z)
            fill &= ~static_cast<DWORD>(D3DCLEAR_ZBUFFER);
        if (fill & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))
            rasterizer_.Clear(Targets(depthView), state_.Pipeline.Viewport, rectCount, pRects, fill, Color, Z,
                              Stencil);
        if (Flags & D3DCLEAR_ZBUFFER)
            depthStencil_->NoteDepthClear(state_.Pipeline.Viewport, rectCount, pRects, Z);
    }
    if (log_) log_->Add(records::Clear(Count, Flags, Color, Z, Stencil, hr));
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
    const uint64_t indexCount = raster::VerticesFor(type, primCount);
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
    BeforeDraw();
    raster::Surface depthView;
    rasterizer_.Draw(state_.Pipeline, vertices, &indices, call, Targets(depthView));
    return D3D_OK;
}

HRESULT SoftwareDevice::DrawNonIndexed(D3DPRIMITIVETYPE type, UINT startVertex, UINT primCount) {
    if (cooperation_ != Cooperation::Operational) return D3D_OK;
    const uint64_t vertexCount = raster::VerticesFor(type, primCount);
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
    BeforeDraw();
    raster::Surface depthView;
    rasterizer_.Draw(state_.Pipeline, vertices, nullptr, call, Targets(depthView));
    return D3D_OK;
}

HRESULT SoftwareDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                             UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                             UINT primCount) {
    const HRESULT hr =
        DrawIndexed(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount);
    if (log_)
        log_->Add(records::DrawIndexedPrimitive(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices,
                                                startIndex, primCount, hr));
    return hr;
}

HRESULT SoftwareDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    const HRESULT hr = DrawNonIndexed(PrimitiveType, StartVertex, PrimitiveCount);
    if (log_) log_->Add(records::DrawPrimitive(PrimitiveType, StartVertex, PrimitiveCount, hr));
    return hr;
}

}  // namespace wbx
