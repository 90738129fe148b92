// The file readers on many damaged variants of valid files: every one either
// reads or raises a stream error, never anything else; the sanitizer build
// checks that none reads or writes outside its buffers.
#include <gtest/gtest.h>

#include <random>

#include "viewer/compressedfile.h"
#include "viewer/layer.h"
#include "viewer/ucommon.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::Bytes;

// A copy with a few bytes changed, cut or appended.
Bytes Mutate(const Bytes& bytes, std::mt19937& random) {
    Bytes out = bytes;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !out.empty(); ++e) {
        const size_t at = random() % out.size();
        switch (random() % 4) {
            case 0:
                out[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                out[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
            case 2:
                out.resize(at);
                break;
            case 3: {
                const uint32_t value = random() % 3 == 0 ? 0x7FFFFFFFu : static_cast<uint32_t>(random());
                for (size_t i = 0; i < 4 && at + i < out.size(); ++i)
                    out[at + i] = static_cast<uint8_t>(value >> (8 * i));
                break;
            }
        }
    }
    return out;
}

TEST(DamagedFiles, ModelReaderReadsOrRaisesAStreamError) {
    testing::TModelObjectSpec object = testing::SimpleObject(9);
    object.Blocks32 = 1;
    object.Items4 = 2;
    object.VectorItemCounts = {2, 0, 1};
    const Bytes good = testing::ModelFile({object, testing::SimpleObject(3)}, 2);
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        const Bytes bytes = Mutate(good, random);
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        stream.SetPosition(0);
        try {
            const TPdtRec pdt = ReadPdt(stream, "m.pdt");
            ASSERT_EQ(pdt.Objects.size(), static_cast<size_t>(pdt.ObjectCount));
            for (const TMeshItem& o : pdt.Objects) {
                ASSERT_EQ(o.Vertices.size(), static_cast<size_t>(o.VertexCount));
                ASSERT_EQ(o.Triangles.size(), static_cast<size_t>(o.TriangleCount));
            }
        } catch (const EStreamError&) {
        }
    }
}

TEST(DamagedFiles, LayerReaderReadsOrRaisesAStreamErrorAndStaysInTheSurface) {
    testing::TempFolder dir;
    std::vector<uint16_t> pixels(40 * 30);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 2654435761u);
    const Bytes content = testing::LayerContent(230, 500, 40, 30, pixels);  // overhangs both edges
    const Bytes good = testing::CompressedFile(content);
    std::mt19937 random(99);
    constexpr int32_t kPitch = kLayerTextureWidth * 2;
    std::vector<uint8_t> surface(size_t{kPitch} * kLayerTextureHeight);
    for (int round = 0; round < 500; ++round) {
        // Damage the wrapper, or (half the time) the content inside a valid wrapper.
        const Bytes bytes =
            round % 2 ? Mutate(good, random) : testing::CompressedFile(Mutate(content, random));
        testing::WriteBytes(dir / "x.pav", bytes);
        try {
            DrawLayerFile(dir / "x.pav", surface.data(), kPitch);
        } catch (const EStreamError&) {
        }
    }
}

}  // namespace
}  // namespace wbx
