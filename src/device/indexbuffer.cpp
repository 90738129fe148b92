#include "device/indexbuffer.h"

#include "buffercore.h"

namespace wbx {

using TCore = TKVBufferCore<TKVIndexBuffer>;

TKVIndexBuffer::TKVIndexBuffer(TKorvane* deviceComponent, int32_t count, uint32_t usage, D3DPOOL pool,
                               std::string name)
    : DeviceComponent(deviceComponent), Name(std::move(name)), Pool(pool), Usage(usage) {
    TCore::CreateBuffer(*this, count);
    ID = DeviceComponent->RegisterResource(
        this, "TKVIndexBuffer", Name, [this] { OnRelease(); }, [this] { OnRebuild(); },
        [this] { OnDeviceLost(); }, [this] { OnDeviceReset(); });
}

TKVIndexBuffer::~TKVIndexBuffer() { TCore::Destroy(*this); }

const TKVBufferMessages& TKVIndexBuffer::Messages() {
    static constexpr TKVBufferMessages messages{
        "IndexBufferの解放に失敗しました", "IndexBufferの生成に失敗しました",
        "IndexBufferのロックに失敗しました", "IndexBufferのアンロックに失敗しました"};
    return messages;
}

// Always 16-bit indices.
int64_t TKVIndexBuffer::ElementSize() const { return 2; }

int32_t& TKVIndexBuffer::ElementCount() { return IndexCount; }

HRESULT TKVIndexBuffer::CreateDeviceBuffer(UINT length) {
    return DeviceComponent->Device->CreateIndexBuffer(length, Usage, D3DFMT_INDEX16, Pool, &Buffer, nullptr);
}

void* TKVIndexBuffer::Lock(int32_t first, int32_t count, uint32_t flags) {
    return TCore::Lock(*this, first, count, flags);
}

void TKVIndexBuffer::Unlock() { TCore::Unlock(*this); }

void TKVIndexBuffer::OnRelease() { TCore::OnRelease(*this); }

void TKVIndexBuffer::OnRebuild() { TCore::OnRebuild(*this); }

void TKVIndexBuffer::OnDeviceLost() { TCore::OnDeviceLost(*this); }

void TKVIndexBuffer::OnDeviceReset() { TCore::OnDeviceReset(*this); }

}  // namespace wbx
