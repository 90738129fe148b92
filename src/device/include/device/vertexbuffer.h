#pragma once
// TKVVertexBuffer: one Direct3D 9 vertex buffer of a device component, sized
// and locked in vertices. Registered with the component: a buffer of a
// non-default pool copies its contents into system memory on OnRelease and
// back on OnRebuild; a default-pool buffer is released on OnDeviceLost and
// re-created (contents undefined) on OnDeviceReset. The count is fixed at
// creation. Failures go through CheckResult; nothing is raised.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "device/buffermessages.h"
#include "device/resource.h"

namespace wbx {

class TKorvane;

class TKVVertexBuffer : public TKVResource {
public:
    // Creates the Direct3D buffer for count vertices of vertexSize bytes and
    // registers with deviceComponent (not owned; must outlive the buffer).
    TKVVertexBuffer(TKorvane* deviceComponent, int32_t count, int32_t vertexSize, uint32_t usage,
                    uint32_t fvf, D3DPOOL pool, std::string name);
    ~TKVVertexBuffer() override;

    // Locks count vertices from first (0, 0: the whole buffer). Returns the
    // address, or nullptr when the lock failed (reported).
    void* Lock(int32_t first, int32_t count, uint32_t flags);
    void Unlock();

    // Registry notifications; called only by the device component.
    void OnRelease();
    void OnRebuild();
    void OnDeviceLost();
    void OnDeviceReset();

    TKorvane* DeviceComponent = nullptr;       // not owned
    IDirect3DVertexBuffer9* Buffer = nullptr;  // owned reference, or nullptr
    void* Data = nullptr;                      // address of the last successful Lock
    int32_t VertexSize = 0;                    // bytes per vertex (stride)
    int32_t VertexCount = 0;
    int32_t ID = 0;
    std::string Name;
    std::optional<std::vector<uint8_t>> Backup;  // VertexSize x VertexCount bytes, or none
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    uint32_t Usage = 0;
    uint32_t FVF = 0;

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
