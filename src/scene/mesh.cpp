#include "scene/mesh.h"

#include <algorithm>
#include <cstring>

#include "base/format.h"
#include "d3d9/d3d9.h"
#include "device/diagnostics.h"
#include "device/indexbuffer.h"
#include "device/korvane.h"
#include "device/vertexbuffer.h"

namespace wbx {

namespace {

constexpr uint32_t kPositionBytes = 3 * sizeof(float);

}  // namespace

TOXMesh::TOXMesh(TKorvane* deviceComponent, std::string vertexBufferName, std::string indexBufferName)
    : DeviceComponent(deviceComponent),
      VertexBufferName(std::move(vertexBufferName)),
      IndexBufferName(std::move(indexBufferName)) {
    D3DCAPS9 caps{};
    if (DeviceComponent->D3D != nullptr &&
        SUCCEEDED(DeviceComponent->D3D->GetDeviceCaps(DeviceComponent->Adapter, DeviceComponent->DeviceType,
                                                      &caps))) {
        MaxPrimitiveCount = caps.MaxPrimitiveCount;
        MaxVertexIndex = caps.MaxVertexIndex;
    }
}

TOXMesh::~TOXMesh() {
    // Vertex buffer first, then the index buffer; each unregisters itself.
    VertexBuffer.reset();
    IndexBuffer.reset();
}

void TOXMesh::Allocate(uint32_t vertexCount, uint32_t indexCount, uint32_t fvf, uint32_t stride,
                       uint32_t pool) {
    TriangleCount = indexCount / 3;
    // The old buffers go first, so the device never holds both generations.
    VertexBuffer.reset();
    IndexBuffer.reset();
    if (vertexCount > MaxVertexIndex) {
        WriteLog(Format("Orlix : このハードウェアでは、最大 %d までしか頂点インデクスを振る事ができません",
                        MaxVertexIndex));
    }
    VertexBuffer = std::make_unique<TKVVertexBuffer>(DeviceComponent, static_cast<int32_t>(vertexCount),
                                                     static_cast<int32_t>(stride), 0u, fvf,
                                                     static_cast<D3DPOOL>(pool), VertexBufferName);
    IndexBuffer = std::make_unique<TKVIndexBuffer>(DeviceComponent, static_cast<int32_t>(indexCount), 0u,
                                                   static_cast<D3DPOOL>(pool), IndexBufferName);
}

void TOXMesh::ComputeBounds() {
    if (VertexBuffer == nullptr || VertexBuffer->Buffer == nullptr || VertexBuffer->VertexCount <= 0 ||
        static_cast<uint32_t>(VertexBuffer->VertexSize) < kPositionBytes) {
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(VertexBuffer->Lock(0, 0, D3DLOCK_READONLY));
    if (bytes == nullptr) return;  // the lock failed (and was reported)
    const auto stride = static_cast<size_t>(VertexBuffer->VertexSize);
    const auto position = [bytes, stride](int32_t i) {
        Vec3 p;
        std::memcpy(&p, bytes + static_cast<size_t>(i) * stride, sizeof p);
        return p;
    };
    Vec3 lo = position(0);
    Vec3 hi = lo;
    for (int32_t i = 1; i < VertexBuffer->VertexCount; ++i) {
        const Vec3 p = position(i);
        const float v[3] = {p.x, p.y, p.z};
        float* mins[3] = {&lo.x, &lo.y, &lo.z};
        float* maxs[3] = {&hi.x, &hi.y, &hi.z};
        for (int axis = 0; axis < 3; ++axis) {
            if (v[axis] < *mins[axis]) {
                *mins[axis] = v[axis];
            } else if (v[axis] > *maxs[axis]) {
                *maxs[axis] = v[axis];
            }
        }
    }
    VertexBuffer->Unlock();

    BoxMin = lo;
    BoxMax = hi;
    Vec3Add(lo, hi, Centre);
    Vec3Scale(Centre, Centre, 0.5f);
    Vec3 diagonal;
    Vec3Subtract(hi, lo, diagonal);
    Radius = Vec3Length(diagonal) * 0.5f;
}

void TOXMesh::Draw() {
    IDirect3DDevice9* device = DeviceComponent->Device;
    if (device == nullptr || VertexBuffer == nullptr || IndexBuffer == nullptr) return;
    device->SetFVF(VertexBuffer->FVF);
    device->SetIndices(IndexBuffer->Buffer);
    device->SetStreamSource(0, VertexBuffer->Buffer, 0, static_cast<UINT>(VertexBuffer->VertexSize));
    const auto indexCount = static_cast<uint32_t>(std::max(IndexBuffer->IndexCount, 0));
    // A limit of 0 means the device gave none; slicing by 0 would never advance.
    const uint32_t limit = MaxPrimitiveCount != 0 ? MaxPrimitiveCount : indexCount / 3;
    uint32_t start = 0;
    while (indexCount - start >= 3) {
        const uint32_t count = std::min((indexCount - start) / 3, limit);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, static_cast<UINT>(VertexBuffer->VertexCount),
                                     start, count);
        start += 3 * count;
    }
}

}  // namespace wbx
