#include "device/vertexbuffer.h"

#include "buffercore.h"

namespace wbx {

using TCore = TKVBufferCore<TKVVertexBuffer>;

TKVVertexBuffer::TKVVertexBuffer(TKorvane* deviceComponent, int32_t count, int32_t vertexSize, uint32_t usage,
                                 uint32_t fvf, D3DPOOL pool, std::string name)
    : DeviceComponent(deviceComponent),
      VertexSize(vertexSize),
      Name(std::move(name)),
      Pool(pool),
      Usage(usage),
      FVF(fvf) {
    TCore::CreateBuffer(*this, count);
    ID = DeviceComponent->RegisterResource(
        this, "TKVVertexBuffer", Name, [this] { OnRelease(); }, [this] { OnRebuild(); },
        [this] { OnDeviceLost(); }, [this] { OnDeviceReset(); });
}

TKVVertexBuffer::~TKVVertexBuffer() { TCore::Destroy(*this); }

const TKVBufferMessages& TKVVertexBuffer::Messages() {
    static constexpr TKVBufferMessages messages{
        "VertexBufferの解放に失敗しました", "VertexBufferの生成に失敗しました",
        "VertexBufferのロックに失敗しました", "VertexBufferのアンロックに失敗しました"};
    return messages;
}

int64_t TKVVertexBuffer::ElementSize() const { return VertexSize; }

int32_t& TKVVertexBuffer::ElementCount() { return VertexCount; }

HRESULT TKVVertexBuffer::CreateDeviceBuffer(UINT length) {
    return DeviceComponent->Device->CreateVertexBuffer(length, Usage, FVF, Pool, &Buffer, nullptr);
}

void* TKVVertexBuffer::Lock(int32_t first, int32_t count, uint32_t flags) {
    return TCore::Lock(*this, first, count, flags);
}

void TKVVertexBuffer::Unlock() { TCore::Unlock(*this); }

void TKVVertexBuffer::OnRelease() { TCore::OnRelease(*this); }

void TKVVertexBuffer::OnRebuild() { TCore::OnRebuild(*this); }

void TKVVertexBuffer::OnDeviceLost() { TCore::OnDeviceLost(*this); }

void TKVVertexBuffer::OnDeviceReset() { TCore::OnDeviceReset(*this); }

}  // namespace wbx
