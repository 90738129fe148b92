#pragma once
// The upload of a model's first object into a mesh, as the viewer's LoadModel
// does it: Allocate (vertex format 0x112, 32-byte vertices, managed pool),
// whole-buffer locks, byte-for-byte copies of the vertices and triangles,
// ComputeBounds. Shared by the model fuzz target and the hardening tests so
// both drive the mesh exactly the same way.

#include <cstring>

#include "app/ucommon.h"
#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "scene/mesh.h"

namespace wbx::fuzzing {

// Copies bytes into the whole of buffer (a vertex or index buffer); false
// when it has no buffer or could not be locked (reported by the buffer).
template <class Buffer>
bool CopyIntoBuffer(Buffer* buffer, const void* bytes, size_t count) {
    void* locked = buffer ? buffer->Lock(0, 0, 0) : nullptr;
    if (locked == nullptr) return false;
    std::memcpy(locked, bytes, count);
    buffer->Unlock();
    return true;
}

// Returns false when a buffer could not be filled; a mesh without vertices or
// triangles has nothing to copy.
inline bool UploadFirstObject(const TPdtRec& pdt, TOXMesh& mesh) {
    const TMeshItem& object = pdt.Objects.at(0);
    const auto vertexCount = static_cast<uint32_t>(object.Vertices.size());
    const auto indexCount = static_cast<uint32_t>(3 * object.Triangles.size());
    mesh.Allocate(vertexCount, indexCount, kPdtVertexFormat, sizeof(TPdtVertex), D3DPOOL_MANAGED);
    bool complete = true;
    if (vertexCount > 0)
        complete &= CopyIntoBuffer(mesh.VertexBuffer.get(), object.Vertices.data(),
                                   object.Vertices.size() * sizeof(TPdtVertex));
    if (indexCount > 0)
        complete &= CopyIntoBuffer(mesh.IndexBuffer.get(), object.Triangles.data(),
                                   object.Triangles.size() * sizeof(TPdtTriangle));
    mesh.ComputeBounds();
    return complete;
}

}  // namespace wbx::fuzzing
