#include "viewer/modelupload.h"

#include <cstring>

#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "scene/mesh.h"

namespace wbx {

namespace {

// Copies count bytes into the whole of buffer (a vertex or index buffer);
// false when there is no buffer or it could not be locked.
template <class Buffer>
bool CopyIntoBuffer(Buffer* buffer, const void* bytes, size_t count) {
    void* locked = buffer != nullptr ? buffer->Lock(0, 0, 0) : nullptr;
    if (locked == nullptr) return false;
    std::memcpy(locked, bytes, count);
    buffer->Unlock();
    return true;
}

}  // namespace

bool UploadModel(const TPdtRec& pdt, TOXMesh& mesh) {
    const TMeshItem& object = pdt.Objects.at(0);
    const size_t vertexBytes = object.Vertices.size() * sizeof(TPdtVertex);
    const size_t indexBytes = object.Triangles.size() * sizeof(TPdtTriangle);
    mesh.Allocate(static_cast<uint32_t>(object.Vertices.size()),
                  static_cast<uint32_t>(3 * object.Triangles.size()), kPdtVertexFormat, sizeof(TPdtVertex),
                  D3DPOOL_MANAGED);
    // A mesh without vertices or triangles has nothing to copy.
    bool complete = true;
    if (vertexBytes > 0)
        complete &= CopyIntoBuffer(mesh.VertexBuffer.get(), object.Vertices.data(), vertexBytes);
    if (indexBytes > 0)
        complete &= CopyIntoBuffer(mesh.IndexBuffer.get(), object.Triangles.data(), indexBytes);
    mesh.ComputeBounds();
    return complete;
}

}  // namespace wbx
