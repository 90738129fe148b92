#include "bufferstorage.h"

namespace wbx {

BufferStorage::BufferStorage(UINT length) : length_(length), data_(new uint8_t[length]()) {}

HRESULT BufferStorage::Lock(UINT offset, UINT size, void** ppbData) {
    if (ppbData == nullptr) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    if (offset >= length_) return D3DERR_INVALIDCALL;
    if (size == 0) size = length_ - offset;
    if (static_cast<uint64_t>(offset) + size > length_) return D3DERR_INVALIDCALL;
    ++locks_;
    *ppbData = data_.get() + offset;
    return D3D_OK;
}

HRESULT BufferStorage::Unlock() {
    if (locks_ == 0) return D3DERR_INVALIDCALL;
    --locks_;
    return D3D_OK;
}

}  // namespace wbx
