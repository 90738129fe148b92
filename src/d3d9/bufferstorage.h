#pragma once
// The memory of a vertex or index buffer and Direct3D 9's lock rules for it:
//   - offset 0 and size 0 lock the whole buffer; size 0 with an offset locks
//     from the offset to the end;
//   - a range that does not lie inside the buffer fails (D3DERR_INVALIDCALL);
//   - locks nest, as Direct3D 9's buffer locks do: every Lock needs its Unlock,
//     and an Unlock without a Lock fails.
// Memory starts zeroed.

#include <cstdint>
#include <memory>

#include "d3d9/d3d9types.h"

namespace wbx {

class BufferStorage {
public:
    explicit BufferStorage(UINT length);  // throws std::bad_alloc

    HRESULT Lock(UINT offset, UINT size, void** ppbData);
    HRESULT Unlock();

    UINT Length() const { return length_; }
    const uint8_t* Data() const { return data_.get(); }
    uint8_t* Data() { return data_.get(); }

private:
    UINT length_;  // bytes
    std::unique_ptr<uint8_t[]> data_;
    UINT locks_ = 0;
};

}  // namespace wbx
