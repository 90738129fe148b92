// The model's upload into the figure's mesh, driven without the window: a
// device component on an in-memory window, as any program without a window
// (tools, batch rendering) has it.
#include "viewer/modelupload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "scene/mesh.h"
#include "viewercomponent.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::ModelFile;
using testing::SharedDeviceComponent;
using testing::TModelObjectSpec;

TPdtRec Read(const std::vector<TModelObjectSpec>& objects) {
    TMemoryStream stream;
    stream.Bytes() = ModelFile(objects);
    return ReadPdt(stream, "m.pdt");
}

// The bytes a buffer holds.
template <class Buffer>
std::vector<uint8_t> Contents(Buffer& buffer, size_t bytes) {
    std::vector<uint8_t> contents(bytes);
    const void* data = buffer.Lock(0, 0, D3DLOCK_READONLY);
    if (data == nullptr) {
        ADD_FAILURE() << "the buffer cannot be read";
        return contents;
    }
    std::memcpy(contents.data(), data, bytes);
    buffer.Unlock();
    return contents;
}

TEST(UploadModel, CopiesObjectZeroAsStoredAndComputesItsBounds) {
    TModelObjectSpec first;
    first.Vertices = {{-2, 0, 1, 0, 0, 1, 0, 0},
                      {2, 0, 1, 0, 0, 1, 1, 0},
                      {2, 6, 1, 0, 0, 1, 1, 1},
                      {-2, 6, -1, 0, 0, 1, 0, 1}};
    first.Triangles = {{0, 1, 2}, {0, 2, 3}};
    const TPdtRec pdt = Read({first, testing::SimpleObject(9)});
    TOXMesh mesh(&SharedDeviceComponent(), "", "");

    ASSERT_TRUE(UploadModel(pdt, mesh));
    const TMeshItem& object = pdt.Objects[0];
    ASSERT_NE(mesh.VertexBuffer, nullptr);
    ASSERT_NE(mesh.IndexBuffer, nullptr);
    EXPECT_EQ(mesh.VertexBuffer->VertexCount, 4);
    EXPECT_EQ(mesh.VertexBuffer->VertexSize, 32);
    EXPECT_EQ(mesh.TriangleCount, 2u);
    const std::vector<uint8_t> vertices = Contents(*mesh.VertexBuffer, 4 * sizeof(TPdtVertex));
    EXPECT_EQ(std::memcmp(vertices.data(), object.Vertices.data(), vertices.size()), 0);
    const std::vector<uint8_t> indices = Contents(*mesh.IndexBuffer, 2 * sizeof(TPdtTriangle));
    EXPECT_EQ(std::memcmp(indices.data(), object.Triangles.data(), indices.size()), 0);
    // The box (-2, 0, -1)..(2, 6, 1): centre (0, 3, 0), half diagonal sqrt(14).
    EXPECT_FLOAT_EQ(mesh.Centre.y, 3.0f);
    EXPECT_NEAR(mesh.Radius, 3.7416575f, 1e-5f);

    // The next model replaces the buffers.
    ASSERT_TRUE(UploadModel(Read({testing::SimpleObject(6)}), mesh));
    EXPECT_EQ(mesh.VertexBuffer->VertexCount, 6);
    EXPECT_EQ(mesh.TriangleCount, 2u);
}

TEST(UploadModel, AnObjectWithoutTrianglesGivesAMeshThatDrawsNothing) {
    TModelObjectSpec points;
    points.Vertices = {{1, 2, 3, 0, 0, 1, 0, 0}};
    TOXMesh mesh(&SharedDeviceComponent(), "", "");
    EXPECT_TRUE(UploadModel(Read({points}), mesh));
    EXPECT_EQ(mesh.TriangleCount, 0u);
    EXPECT_EQ(mesh.VertexBuffer->VertexCount, 1);
}

TEST(UploadModel, ARecordWithoutObjectsIsRefused) {
    TOXMesh mesh(&SharedDeviceComponent(), "", "");
    EXPECT_THROW(UploadModel(TPdtRec{}, mesh), std::out_of_range);
    EXPECT_EQ(mesh.VertexBuffer, nullptr) << "nothing was allocated";
}

}  // namespace
}  // namespace wbx
