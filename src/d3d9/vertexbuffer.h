#pragma once
// SoftwareVertexBuffer: IDirect3DVertexBuffer9 over BufferStorage.

#include "bufferstorage.h"
#include "d3d9/d3d9.h"
#include "devicechild.h"

namespace wbx {

class SoftwareVertexBuffer final : public IDirect3DVertexBuffer9, public DeviceChild {
public:
    // Throws std::bad_alloc. The device has validated the arguments.
    SoftwareVertexBuffer(SoftwareDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override { return storage_.Unlock(); }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

    const BufferStorage& Storage() const { return storage_; }

protected:
    ~SoftwareVertexBuffer() override;

private:
    BufferStorage storage_;
    DWORD usage_;
    DWORD fvf_;
};

}  // namespace wbx
