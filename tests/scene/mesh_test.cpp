#include "scene/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

using testing::FillMesh;
using testing::kModelFVF;
using testing::ModelVertex;

ModelVertex At(float x, float y, float z) { return {x, y, z, 0, 0, 1, 0, 0}; }

class MeshTest : public testing::DeviceTest {};

TEST_F(MeshTest, CreateReadsTheDeviceLimitsAndAllocateMakesBothBuffers) {
    AdapterProfile profile = HardwareProfile(true);
    profile.Find(D3DDEVTYPE_HAL)->Caps.MaxPrimitiveCount = 1000;
    profile.Find(D3DDEVTYPE_HAL)->Caps.MaxVertexIndex = 4321;
    StartDevice(profile);
    TOXMesh mesh(KV.get(), "vb", "ib");
    EXPECT_EQ(mesh.MaxPrimitiveCount, 1000u);
    EXPECT_EQ(mesh.MaxVertexIndex, 4321u);
    EXPECT_EQ(mesh.VertexBuffer, nullptr);
    EXPECT_EQ(mesh.IndexBuffer, nullptr);
    const size_t registered = KV->Resources.size();

    mesh.Allocate(10, 8, kModelFVF, 32, D3DPOOL_MANAGED);
    EXPECT_EQ(mesh.TriangleCount, 2u);  // the two trailing indices do not make a triangle
    ASSERT_NE(mesh.VertexBuffer, nullptr);
    ASSERT_NE(mesh.IndexBuffer, nullptr);
    EXPECT_EQ(mesh.VertexBuffer->VertexCount, 10);
    EXPECT_EQ(mesh.VertexBuffer->VertexSize, 32);
    EXPECT_EQ(mesh.VertexBuffer->FVF, kModelFVF);
    EXPECT_EQ(mesh.VertexBuffer->Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(mesh.VertexBuffer->Name, "vb");
    EXPECT_EQ(mesh.IndexBuffer->IndexCount, 8);
    EXPECT_EQ(mesh.IndexBuffer->Name, "ib");
    EXPECT_EQ(KV->Resources.size(), registered + 2);

    // A second Allocate replaces the buffers: the old ones are gone from the registry.
    const int32_t oldVertexID = mesh.VertexBuffer->ID;
    mesh.Allocate(3, 3, kModelFVF, 32, D3DPOOL_MANAGED);
    EXPECT_EQ(KV->Resources.size(), registered + 2);
    for (const auto& entry : KV->Resources) EXPECT_NE(entry->ID, oldVertexID);
    EXPECT_EQ(mesh.TriangleCount, 1u);
}

TEST_F(MeshTest, TooManyVerticesOnlyWarn) {
    StartLog();
    TOXMesh mesh(KV.get(), "", "");
    mesh.MaxVertexIndex = 4;
    mesh.Allocate(4, 3, kModelFVF, 32, D3DPOOL_MANAGED);
    EXPECT_TRUE(LogLines().empty());
    mesh.Allocate(5, 3, kModelFVF, 32, D3DPOOL_MANAGED);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              "#00001 | Orlix : このハードウェアでは、最大 4 までしか頂点インデクスを振る事ができません");
    ASSERT_NE(mesh.VertexBuffer, nullptr);  // allocated all the same
    EXPECT_EQ(mesh.VertexBuffer->VertexCount, 5);
}

TEST_F(MeshTest, BoundsOfTheThreeVertexExampleAndOfOneVertex) {
    TOXMesh mesh(KV.get(), "", "");
    FillMesh(mesh, {At(-1, 0, 0), At(1, 2, 0), At(0, 0, 4)}, {0, 1, 2});
    EXPECT_EQ(mesh.BoxMin, (Vec3{-1, 0, 0}));
    EXPECT_EQ(mesh.BoxMax, (Vec3{1, 2, 4}));
    EXPECT_EQ(mesh.Centre, (Vec3{0, 1, 2}));
    EXPECT_FLOAT_EQ(mesh.Radius, std::sqrt(24.0f) / 2);

    FillMesh(mesh, {At(3, -2, 7)}, {});
    EXPECT_EQ(mesh.BoxMin, (Vec3{3, -2, 7}));
    EXPECT_EQ(mesh.BoxMax, (Vec3{3, -2, 7}));
    EXPECT_EQ(mesh.Centre, (Vec3{3, -2, 7}));
    EXPECT_EQ(mesh.Radius, 0.0f);
}

TEST_F(MeshTest, BoundsStayWhenThereIsNothingToRead) {
    TOXMesh mesh(KV.get(), "", "");
    mesh.ComputeBounds();  // no buffers yet
    EXPECT_EQ(mesh.Radius, 0.0f);
    FillMesh(mesh, {At(-1, 0, 0), At(1, 2, 0), At(0, 0, 4)}, {0, 1, 2});
    const Vec3 centre = mesh.Centre;

    mesh.Allocate(0, 0, kModelFVF, 32, D3DPOOL_MANAGED);  // no vertex
    mesh.ComputeBounds();
    EXPECT_EQ(mesh.Centre, centre);
    mesh.Allocate(4, 0, D3DFVF_XYZ, 8, D3DPOOL_MANAGED);  // a stride too short for a position
    mesh.ComputeBounds();
    EXPECT_EQ(mesh.Centre, centre);
}

TEST_F(MeshTest, DrawSlicesByTheDevicePrimitiveLimit) {
    TOXMesh mesh(KV.get(), "", "");
    mesh.MaxPrimitiveCount = 1000;
    std::vector<ModelVertex> vertices(4, At(0, 0, 0));
    FillMesh(mesh, vertices, std::vector<uint16_t>(7500, 0));
    Calls->Clear();
    mesh.Draw();
    const std::vector<std::string> expected = {
        "SetFVF(" + std::to_string(kModelFVF) + ")",
        "SetIndices(" + std::to_string(ObjectSerial(mesh.IndexBuffer->Buffer)) + ")",
        "SetStreamSource(0," + std::to_string(ObjectSerial(mesh.VertexBuffer->Buffer)) + ",0,32)",
        "DrawIndexedPrimitive(4,0,0,4,0,1000)",
        "DrawIndexedPrimitive(4,0,0,4,3000,1000)",
        "DrawIndexedPrimitive(4,0,0,4,6000,500)"};
    EXPECT_EQ(CompactCalls(), expected);

    // A last slice of one triangle, and a mesh of one triangle, are drawn too.
    mesh.MaxPrimitiveCount = 3;
    FillMesh(mesh, vertices, std::vector<uint16_t>(21, 0));
    Calls->Clear();
    mesh.Draw();
    EXPECT_EQ(Calls->Filter("DrawIndexedPrimitive").size(), 3u);
    EXPECT_EQ(CompactCalls().back(), "DrawIndexedPrimitive(4,0,0,4,18,1)");
    FillMesh(mesh, vertices, {0, 1, 2});
    Calls->Clear();
    mesh.Draw();
    EXPECT_EQ(CompactCalls().back(), "DrawIndexedPrimitive(4,0,0,4,0,1)");
}

TEST_F(MeshTest, DrawIgnoresTrailingIndicesAndDrawsNothingWithoutATriangle) {
    TOXMesh mesh(KV.get(), "", "");
    FillMesh(mesh, {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0)}, {0, 1, 2, 0, 1, 2, 0});
    Calls->Clear();
    mesh.Draw();
    EXPECT_EQ(Calls->Filter("DrawIndexedPrimitive").size(), 1u);
    EXPECT_EQ(CompactCalls().back(), "DrawIndexedPrimitive(4,0,0,3,0,2)");

    FillMesh(mesh, {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0)}, {0, 1});
    Calls->Clear();
    mesh.Draw();
    EXPECT_EQ(Calls->Count("DrawIndexedPrimitive"), 0u);
    EXPECT_EQ(Calls->Count("SetStreamSource"), 1u);

    // A device that gave no primitive limit: one call, never an endless loop.
    FillMesh(mesh, {At(0, 0, 0), At(1, 0, 0), At(0, 1, 0)}, std::vector<uint16_t>(30, 0));
    mesh.MaxPrimitiveCount = 0;
    Calls->Clear();
    mesh.Draw();
    EXPECT_EQ(CompactCalls().back(), "DrawIndexedPrimitive(4,0,0,3,0,10)");

    // Before Allocate there is nothing to draw with.
    TOXMesh empty(KV.get(), "", "");
    Calls->Clear();
    empty.Draw();
    EXPECT_TRUE(Calls->Empty());
}

}  // namespace
}  // namespace wbx
