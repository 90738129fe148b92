#pragma once
// TKVIndexBuffer: one Direct3D 9 index buffer of 16-bit indices
// (D3DFMT_INDEX16) of a device component, sized and locked in indices. The
// twin of TKVVertexBuffer (vertexbuffer.h): the same registry behaviour and
// backups, two bytes per element.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "device/buffermessages.h"
#include "device/resource.h"

namespace wbx {

class TKorvane;

class TKVIndexBuffer : public TKVResource {
public:
    // Creates the Direct3D buffer for count indices and registers with
    // deviceComponent (not owned; must outlive the buffer).
    TKVIndexBuffer(TKorvane* deviceComponent, int32_t count, uint32_t usage, D3DPOOL pool, std::string name);
    ~TKVIndexBuffer() override;

    // Locks count indices from first (0, 0: the whole buffer). Returns the
    // address, or nullptr when the lock failed (reported).
    void* Lock(int32_t first, int32_t count, uint32_t flags);
    void Unlock();

    // Registry notifications; called only by the device component.
    void OnRelease();
    void OnRebuild();
    void OnDeviceLost();
    void OnDeviceReset();

    TKorvane* DeviceComponent = nullptr;      // not owned
    IDirect3DIndexBuffer9* Buffer = nullptr;  // owned reference, or nullptr
    int32_t IndexCount = 0;
    void* Data = nullptr;  // address of the last successful Lock
    int32_t ID = 0;
    std::string Name;
    std::optional<std::vector<uint8_t>> Backup;  // IndexCount x 2 bytes, or none
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    uint32_t Usage = 0;

private:
    template <class>
    friend struct TKVBufferCore;
    // What the shared buffer logic (buffercore.h) needs of this twin.
    static const TKVBufferMessages& Messages();
    int64_t ElementSize() const;
    int32_t& ElementCount();
    HRESULT CreateDeviceBuffer(UINT length);
};

}  // namespace wbx
