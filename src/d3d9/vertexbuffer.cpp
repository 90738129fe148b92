#include "vertexbuffer.h"

#include "softwaredevice.h"

namespace wbx {

SoftwareVertexBuffer::SoftwareVertexBuffer(SoftwareDevice* device, UINT length, DWORD usage, DWORD fvf,
                                           D3DPOOL pool)
    : DeviceChild(device, pool, length), storage_(length), usage_(usage), fvf_(fvf) {}

SoftwareVertexBuffer::~SoftwareVertexBuffer() { Device()->Forget(this); }

HRESULT SoftwareVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD /*Flags*/) {
    return storage_.Lock(OffsetToLock, SizeToLock, ppbData);
}

HRESULT SoftwareVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = D3DVERTEXBUFFER_DESC{
        D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage_, Pool(), storage_.Length(), fvf_};
    return D3D_OK;
}

}  // namespace wbx
