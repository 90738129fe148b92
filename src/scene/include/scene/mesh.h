#pragma once
// A mesh: indexed triangle geometry on the device. It owns one vertex buffer
// and one 16-bit index buffer, keeps a bounding box and sphere of its vertices
// (in its own coordinates), and draws itself as a triangle list in as many
// calls as the device's primitive limit requires.
//
// Lifecycle: created without buffers -> Allocate (may repeat; each call frees
// the old buffers) -> the caller fills the buffers and runs ComputeBounds ->
// Draw any number of times between BeginScene and EndScene -> destroyed. The
// buffers carry their contents across device loss themselves (device layer);
// the mesh takes no part in that.

#include <cstdint>
#include <memory>
#include <string>

#include "math/vector.h"

namespace wbx {

class TKorvane;
class TKVIndexBuffer;
class TKVVertexBuffer;

class TOXMesh {
public:
    // Reads the device's MaxPrimitiveCount and MaxVertexIndex once. The names
    // are what the buffers register under (may be empty). deviceComponent is
    // not owned and must outlive the mesh.
    TOXMesh(TKorvane* deviceComponent, std::string vertexBufferName, std::string indexBufferName);
    ~TOXMesh();
    TOXMesh(const TOXMesh&) = delete;
    TOXMesh& operator=(const TOXMesh&) = delete;

    // Replaces both buffers by new, empty ones: vertexCount vertices of stride
    // bytes in format fvf, indexCount 16-bit indices, both in pool. A vertex
    // count above MaxVertexIndex only logs a warning.
    void Allocate(uint32_t vertexCount, uint32_t indexCount, uint32_t fvf, uint32_t stride, uint32_t pool);
    // Recomputes BoxMin, BoxMax, Centre and Radius from the vertex buffer,
    // reading the position (three floats) at the start of every vertex. Leaves
    // them unchanged when there is nothing to read: no buffer, no vertex, a
    // stride too short for a position, or a lock that failed.
    void ComputeBounds();
    // Draws every whole triangle with the states the caller has set. Draws
    // nothing without both buffers.
    void Draw();

    // Fields, in the order of the design.
    TKorvane* DeviceComponent;                      // not owned
    std::unique_ptr<TKVVertexBuffer> VertexBuffer;  // nullptr until Allocate
    std::unique_ptr<TKVIndexBuffer> IndexBuffer;    // nullptr until Allocate
    std::string VertexBufferName;
    std::string IndexBufferName;
    uint32_t TriangleCount = 0;      // index count div 3
    Vec3 BoxMin{};                   // per-axis minimum of the positions
    Vec3 BoxMax{};                   // per-axis maximum
    Vec3 Centre{};                   // (BoxMin + BoxMax) / 2
    float Radius = 0.0f;             // half the box diagonal: the sphere encloses the box
    uint32_t MaxPrimitiveCount = 0;  // device limit per draw call; 0 when the device did not say
    uint32_t MaxVertexIndex = 0;     // device limit on vertex indices
};

}  // namespace wbx
