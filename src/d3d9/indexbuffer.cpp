#include "indexbuffer.h"

#include "softwaredevice.h"

namespace wbx {

SoftwareIndexBuffer::SoftwareIndexBuffer(SoftwareDevice* device, UINT length, DWORD usage, D3DFORMAT format,
                                         D3DPOOL pool)
    : DeviceChild(device, pool, length), storage_(length), usage_(usage), format_(format) {}

SoftwareIndexBuffer::~SoftwareIndexBuffer() { Device()->Forget(this); }

HRESULT SoftwareIndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD /*Flags*/) {
    return storage_.Lock(OffsetToLock, SizeToLock, ppbData);
}

HRESULT SoftwareIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = D3DINDEXBUFFER_DESC{format_, D3DRTYPE_INDEXBUFFER, usage_, Pool(), storage_.Length()};
    return D3D_OK;
}

}  // namespace wbx
