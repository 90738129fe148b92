#pragma once
// SoftwareIndexBuffer: IDirect3DIndexBuffer9 over BufferStorage, with 16-bit
// (D3DFMT_INDEX16) or 32-bit (D3DFMT_INDEX32) indices.

#include "bufferstorage.h"
#include "d3d9/d3d9.h"
#include "devicechild.h"

namespace wbx {

class SoftwareIndexBuffer final : public IDirect3DIndexBuffer9, public DeviceChild {
public:
    // Throws std::bad_alloc. The device has validated the arguments.
    SoftwareIndexBuffer(SoftwareDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
    HRESULT Unlock() override { return storage_.Unlock(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

    const BufferStorage& Storage() const { return storage_; }
    bool Is32Bit() const { return format_ == D3DFMT_INDEX32; }
    UINT IndexCount() const { return storage_.Length() / (Is32Bit() ? 4 : 2); }  // whole indices only

protected:
    ~SoftwareIndexBuffer() override;

private:
    BufferStorage storage_;
    DWORD usage_;
    D3DFORMAT format_;
};

}  // namespace wbx
