#pragma once
// Internal: the logic shared by the twins TKVVertexBuffer and TKVIndexBuffer.
// TBuffer supplies Buffer, Data, Backup, Pool, DeviceComponent, ID and the
// private hooks Messages(), ElementSize(), ElementCount() and
// CreateDeviceBuffer(length). Sizes are computed in 64 bits: a count or offset
// that does not fit Direct3D's 32-bit byte sizes is refused, never wrapped.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "device/diagnostics.h"
#include "device/korvane.h"

namespace wbx {

template <class TBuffer>
struct TKVBufferCore {
    static bool FitsByteSize(int64_t bytes) {
        return bytes >= 0 && bytes <= std::numeric_limits<UINT>::max();
    }

    static void ReleaseBuffer(TBuffer& b) {
        if (b.Buffer == nullptr) return;
        auto* buffer = b.Buffer;
        b.Buffer = nullptr;
        CheckResult(static_cast<int32_t>(buffer->Release()), TBuffer::Messages().Release);
    }

    static void CreateBuffer(TBuffer& b, int32_t count) {
        ReleaseBuffer(b);
        // A backup of another size is never copied back.
        if (b.Backup && count != b.ElementCount()) b.Backup.reset();
        b.ElementCount() = count;
        const int64_t length = int64_t{count} * b.ElementSize();
        if (b.DeviceComponent->Device == nullptr || count < 0 || !FitsByteSize(length)) {
            ReportError(TBuffer::Messages().Create);
            return;
        }
        CheckResult(b.CreateDeviceBuffer(static_cast<UINT>(length)), TBuffer::Messages().Create);
    }

    static void* Lock(TBuffer& b, int32_t first, int32_t count, uint32_t flags) {
        b.Data = nullptr;
        const int64_t offset = int64_t{first} * b.ElementSize();
        const int64_t size = int64_t{count} * b.ElementSize();
        if (b.Buffer == nullptr || !FitsByteSize(offset) || !FitsByteSize(size)) {
            ReportError(TBuffer::Messages().Lock);
            return nullptr;
        }
        void* data = nullptr;
        const HRESULT result =
            b.Buffer->Lock(static_cast<UINT>(offset), static_cast<UINT>(size), &data, flags);
        if (result == D3D_OK) b.Data = data;
        CheckResult(result, TBuffer::Messages().Lock);
        return b.Data;
    }

    static void Unlock(TBuffer& b) {
        if (b.Buffer == nullptr) {
            ReportError(TBuffer::Messages().Unlock);
            return;
        }
        CheckResult(b.Buffer->Unlock(), TBuffer::Messages().Unlock);
    }

    static size_t ByteSize(TBuffer& b) {
        return static_cast<size_t>(std::max<int64_t>(0, int64_t{b.ElementCount()} * b.ElementSize()));
    }

    // Copies the buffer into system memory (non-default pools only). Without
    // a buffer (already released) the backup taken then is kept.
    static void SaveBackup(TBuffer& b) {
        if (b.Pool == D3DPOOL_DEFAULT || b.Buffer == nullptr) return;
        b.Backup.reset();
        const void* data = Lock(b, 0, 0, D3DLOCK_READONLY);
        if (data == nullptr) return;
        b.Backup.emplace(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + ByteSize(b));
        Unlock(b);
    }

    static void OnRelease(TBuffer& b) {
        SaveBackup(b);
        ReleaseBuffer(b);
    }

    static void OnRebuild(TBuffer& b) {
        CreateBuffer(b, b.ElementCount());
        if (!b.Backup || b.Pool == D3DPOOL_DEFAULT || b.Buffer == nullptr) return;
        void* data = Lock(b, 0, 0, 0);
        if (data == nullptr) return;
        std::memcpy(data, b.Backup->data(), std::min(b.Backup->size(), ByteSize(b)));
        Unlock(b);
    }

    static void OnDeviceLost(TBuffer& b) {
        if (b.Pool == D3DPOOL_DEFAULT) OnRelease(b);
    }

    static void OnDeviceReset(TBuffer& b) {
        if (b.Pool == D3DPOOL_DEFAULT) OnRebuild(b);
    }

    static void Destroy(TBuffer& b) {
        TKVLogFailureGuard guard;  // nothing may leave a destructor
        b.Backup.reset();
        ReleaseBuffer(b);
        b.DeviceComponent->UnregisterResource(b.ID);
    }
};

}  // namespace wbx
