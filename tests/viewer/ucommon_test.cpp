// The model file reader: layout, the arrays kept, and damaged files.
#include "viewer/ucommon.h"

#include <gtest/gtest.h>

#include "base/filestream.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::Bytes;
using testing::ModelFile;
using testing::Put;
using testing::SimpleObject;
using testing::TempFolder;
using testing::TModelObjectSpec;
using testing::WriteBytes;

TPdtRec Parse(const Bytes& bytes, const std::string& name = "model.pdt") {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    return ReadPdt(stream, name);
}

void ExpectReadErrorNaming(const Bytes& bytes, const char* why) {
    try {
        Parse(bytes, "/data/damaged.pdt");
        ADD_FAILURE() << "accepted: " << why;
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find("/data/damaged.pdt"), std::string::npos) << why << ": " << e.Message();
    }
}

TEST(ReadPdt, ReadsEveryArrayOfEveryObjectAndTheMaterials) {
    TModelObjectSpec first = SimpleObject(6);
    first.Blocks32 = 2;
    first.Items4 = 3;
    first.VectorItemCounts = {0, 2, 1};  // a count byte 0 takes exactly one byte
    TModelObjectSpec second = SimpleObject(3);
    second.VectorItemCounts = {255};
    const TPdtRec pdt = Parse(ModelFile({first, second}, 2, 0x1234));

    EXPECT_EQ(pdt.HeaderValue, 0x1234);
    ASSERT_EQ(pdt.ObjectCount, 2);
    ASSERT_EQ(pdt.Objects.size(), 2u);
    const TMeshItem& o = pdt.Objects[0];
    EXPECT_EQ(o.VertexCount, 6);
    EXPECT_EQ(o.TriangleCount, 2);
    ASSERT_EQ(o.Vertices.size(), 6u);
    EXPECT_EQ(o.Vertices[5].X, 5.0f);
    EXPECT_EQ(o.Vertices[5].Z, 15.0f);
    EXPECT_EQ(o.Vertices[5].U, 0.5f);
    EXPECT_EQ(o.VertexWords, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(o.Triangles.size(), 2u);
    EXPECT_EQ(o.Triangles[1].A, 3);
    EXPECT_EQ(o.Triangles[1].C, 5);
    ASSERT_EQ(o.Blocks32.size(), 2u);
    EXPECT_EQ(o.Blocks32[1][31], 0xB3);
    EXPECT_EQ(o.Items4, (std::vector<uint32_t>{0x44444444, 0x44444445, 0x44444446}));
    ASSERT_EQ(o.VectorItems.size(), 3u);
    EXPECT_EQ(o.VectorItems[0].Count, 0);
    EXPECT_TRUE(o.VectorItems[0].Elements.empty());
    EXPECT_EQ(o.VectorItems[1].Elements.size(), 2u);
    EXPECT_EQ(o.VectorItems[2].Elements[0][7], 1);
    EXPECT_EQ(pdt.Objects[1].VectorItems[0].Elements.size(), 255u);
    // The materials after the second object were found.
    ASSERT_EQ(pdt.Materials.size(), 2u);
    EXPECT_EQ(pdt.Materials[1].Value0, 0xA1u);
    EXPECT_EQ(pdt.Materials[1].Blocks[3][63], 1);
    EXPECT_EQ(pdt.Materials[1].Value2, 0xC0u);
}

TEST(ReadPdt, EmptyArraysAndNoMaterials) {
    TModelObjectSpec none;
    const TPdtRec pdt = Parse(ModelFile({none}, 0));
    ASSERT_EQ(pdt.Objects.size(), 1u);
    EXPECT_TRUE(pdt.Objects[0].Vertices.empty());
    EXPECT_TRUE(pdt.Objects[0].Triangles.empty());
    EXPECT_TRUE(pdt.Materials.empty());
}

TEST(ReadPdt, RefusesDamagedFilesBeforeAllocating) {
    const Bytes good = ModelFile({SimpleObject(6)}, 1);
    // Truncated anywhere: in the header, an object, the materials.
    for (size_t keep : {size_t{0}, size_t{5}, size_t{12}, size_t{20}, size_t{40}, good.size() - 1})
        ExpectReadErrorNaming(Bytes(good.begin(), good.begin() + std::ptrdiff_t(keep)), "truncated");

    // Negative and oversized counts, in the header and in the object header.
    const auto withInt = [&](size_t offset, int32_t value) {
        Bytes bytes = good;
        std::memcpy(bytes.data() + offset, &value, 4);
        return bytes;
    };
    ExpectReadErrorNaming(withInt(4, -1), "negative object count");
    ExpectReadErrorNaming(withInt(8, -1), "negative material count");
    ExpectReadErrorNaming(withInt(4, INT32_MAX), "huge object count");
    ExpectReadErrorNaming(withInt(8, INT32_MAX), "huge material count");
    for (size_t field = 0; field < 5; ++field) {
        ExpectReadErrorNaming(withInt(12 + 4 * field, -7), "negative array count");
        ExpectReadErrorNaming(withInt(12 + 4 * field, INT32_MAX), "huge array count");
        ExpectReadErrorNaming(withInt(12 + 4 * field, 0x10000000), "large array count");
    }
    // A VectorItems count byte that promises more elements than remain.
    TModelObjectSpec vectors;
    vectors.VectorItemCounts = {3};
    Bytes bytes = ModelFile({vectors}, 0);
    bytes.resize(bytes.size() - 1);
    ExpectReadErrorNaming(bytes, "short vector item");
}

TEST(ReadModelFile, MissingOrObjectlessFilesGiveNothing) {
    TempFolder dir;
    EXPECT_FALSE(ReadModelFile(dir / "none.pdt").has_value());
    WriteBytes(dir / "zero.pdt", ModelFile({}, 1));
    EXPECT_FALSE(ReadModelFile(dir / "zero.pdt").has_value());
    WriteBytes(dir / "good.pdt", ModelFile({SimpleObject(3)}, 1));
    const std::optional<TPdtRec> pdt = ReadModelFile(dir / "good.pdt");
    ASSERT_TRUE(pdt.has_value());
    EXPECT_EQ(pdt->Objects[0].Vertices.size(), 3u);
    WriteBytes(dir / "bad.pdt", Bytes{1, 2, 3});
    EXPECT_THROW(ReadModelFile(dir / "bad.pdt"), EReadError);
}

}  // namespace
}  // namespace wbx
