// Model files: every array and option, read back by the test reader.
#include <gtest/gtest.h>

#include <cstring>

#include "base/stream.h"
#include "formatreaders.h"
#include "sampledata/damage.h"
#include "sampledata/modelfile.h"

namespace wbx::testing {
namespace {

using namespace sampledata;

ModelObject SmallObject(int seed) {
    ModelObject object;
    for (int i = 0; i < 4; ++i) {
        const float f = static_cast<float>(seed * 10 + i);
        object.Vertices.push_back({f, f + 0.5f, -f, 0, 1, 0, 0.25f * i, 0.5f});
        object.VertexWords.push_back(static_cast<uint16_t>(seed + i));
    }
    object.Triangles = {{0, 1, 2}, {0, 2, 3}};
    Block32 block{};
    block[0] = static_cast<uint8_t>(seed);
    block[31] = 0xAB;
    object.Blocks32 = {block, Block32{}};
    object.Items4 = {0xCAFEBABE, static_cast<uint32_t>(seed)};
    Element8 element{};
    element.fill(static_cast<uint8_t>(0x10 + seed));
    object.VectorItems = {{{element, element, element}}, {}, {{element}}};
    return object;
}

void ExpectSameObject(const ModelObject& a, const ModelObject& b) {
    ASSERT_EQ(a.Vertices.size(), b.Vertices.size());
    EXPECT_EQ(0, std::memcmp(a.Vertices.data(), b.Vertices.data(), a.Vertices.size() * sizeof(ModelVertex)));
    EXPECT_EQ(a.VertexWords, b.VertexWords);
    ASSERT_EQ(a.Triangles.size(), b.Triangles.size());
    for (size_t i = 0; i < a.Triangles.size(); ++i) {
        EXPECT_EQ(a.Triangles[i].A, b.Triangles[i].A);
        EXPECT_EQ(a.Triangles[i].B, b.Triangles[i].B);
        EXPECT_EQ(a.Triangles[i].C, b.Triangles[i].C);
    }
    EXPECT_EQ(a.Blocks32, b.Blocks32);
    EXPECT_EQ(a.Items4, b.Items4);
    ASSERT_EQ(a.VectorItems.size(), b.VectorItems.size());
    for (size_t i = 0; i < a.VectorItems.size(); ++i)
        EXPECT_EQ(a.VectorItems[i].Elements, b.VectorItems[i].Elements);
}

TEST(ModelFile, SeveralObjectsAndMaterialsRoundTripWithExactLayout) {
    ModelFile model;
    model.HeaderValue = -7;
    model.Objects = {SmallObject(1), SmallObject(2)};
    ModelMaterial material;
    material.Value0 = 11;
    material.Value1 = 22;
    material.Blocks[3][63] = 0x5A;
    material.Value2 = 33;
    model.Materials = {material, ModelMaterial{}};

    const std::vector<uint8_t> bytes = EncodeModelFile(model);
    // 12 header; per object 20 + 2*32 + 4*32 + 4*2 + 2*6 + 2*4 + (1+24) + 1 + (1+8); 268 per material.
    const size_t object = 20 + 64 + 128 + 8 + 12 + 8 + 25 + 1 + 9;
    EXPECT_EQ(bytes.size(), 12 + 2 * object + 2 * kModelMaterialSize);

    const ModelFile back = ReadModel(bytes);
    EXPECT_EQ(back.HeaderValue, -7);
    ASSERT_EQ(back.Objects.size(), 2u);
    ExpectSameObject(back.Objects[0], model.Objects[0]);
    ExpectSameObject(back.Objects[1], model.Objects[1]);
    ASSERT_EQ(back.Materials.size(), 2u);
    EXPECT_EQ(back.Materials[0].Value0, 11u);
    EXPECT_EQ(back.Materials[0].Value1, 22u);
    EXPECT_EQ(back.Materials[0].Blocks[3][63], 0x5A);
    EXPECT_EQ(back.Materials[0].Value2, 33u);
}

TEST(ModelFile, NoMaterialsMeansNothingAfterTheLastObject) {
    ModelFile model;
    model.Objects = {SmallObject(3)};
    const std::vector<uint8_t> bytes = EncodeModelFile(model);
    const ModelFile back = ReadModel(bytes);
    EXPECT_TRUE(back.Materials.empty());
    // Dropping the last byte cuts into the last vector entry.
    EXPECT_THROW(ReadModel(TruncatedCopy(bytes, bytes.size() - 1)), EReadError);
}

TEST(ModelFile, EmptyVectorEntryTakesOneByteAndEmptyWordsAreZero) {
    ModelObject object;
    object.Vertices.resize(3);
    object.VectorItems = {{}};
    ModelFile model;
    model.Objects = {object};
    const std::vector<uint8_t> bytes = EncodeModelFile(model);
    EXPECT_EQ(bytes.size(), 12u + 20 + 3 * 32 + 3 * 2 + 1);
    EXPECT_EQ(bytes.back(), 0);
    const ModelFile back = ReadModel(bytes);
    EXPECT_EQ(back.Objects[0].VertexWords, std::vector<uint16_t>(3, 0));
    ASSERT_EQ(back.Objects[0].VectorItems.size(), 1u);
    EXPECT_TRUE(back.Objects[0].VectorItems[0].Elements.empty());
}

TEST(ModelFile, DeclaredCountsLargerThanTheDataMakeTheReaderFail) {
    ModelFile model;
    model.Objects = {SmallObject(1)};
    model.Objects[0].DeclaredCounts = ModelObjectCounts{2, 3, 2, 2, 5000};  // 5000 vertices, 4 present
    EXPECT_THROW(ReadModel(EncodeModelFile(model)), EReadError);

    ModelFile objects;
    objects.Objects = {SmallObject(1)};
    objects.DeclaredObjectCount = 2;
    EXPECT_THROW(ReadModel(EncodeModelFile(objects)), EReadError);

    ModelFile materials;
    materials.Objects = {SmallObject(1)};
    materials.DeclaredMaterialCount = 1;
    EXPECT_THROW(ReadModel(EncodeModelFile(materials)), EReadError);

    ModelFile negative;
    negative.Objects = {SmallObject(1)};
    negative.DeclaredMaterialCount = -1;
    const std::vector<uint8_t> bytes = EncodeModelFile(negative);
    int32_t stored;
    std::memcpy(&stored, bytes.data() + 8, 4);
    EXPECT_EQ(stored, -1);
    EXPECT_THROW(ReadModel(bytes), EReadError);
}

TEST(ModelFile, RefusesWhatTheFormatCannotHold) {
    ModelFile model;
    model.Objects = {SmallObject(1)};
    model.Objects[0].VertexWords.pop_back();
    EXPECT_THROW(EncodeModelFile(model), std::invalid_argument);
    model.Objects = {SmallObject(1)};
    model.Objects[0].VectorItems[0].Elements.resize(256);
    EXPECT_THROW(EncodeModelFile(model), std::invalid_argument);
    model.Objects[0].VectorItems[0].Elements.resize(255);
    EXPECT_EQ(ReadModel(EncodeModelFile(model)).Objects[0].VectorItems[0].Elements.size(), 255u);
}

}  // namespace
}  // namespace wbx::testing
