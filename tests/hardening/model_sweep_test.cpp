// Model files damaged by one edit: every prefix (read from disk, as the viewer
// reads them), every value of every byte of the file header and both object
// headers, and a sample of body bytes. Each must be refused with a read error
// naming the file, or read into a record whose arrays match its counts and
// uploaded into a mesh of exactly those sizes; memory requested stays within
// a fixed multiple of the file's size (counts are checked against the bytes
// that remain before anything is allocated).

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "hardeningfixture.h"
#include "heapmeter.h"
#include "samples.h"
#include "scene/mesh.h"
#include "viewer/modelupload.h"
#include "viewer/ucommon.h"

namespace wbx::testing {
namespace {

// In memory a record takes more than in the file: a vector entry of one file
// byte is a 32-byte record, an object's 20-byte header a record of ~170 bytes.
size_t AllocationBound(size_t fileSize) { return 40 * fileSize + 4096; }

void ExpectConsistent(const TPdtRec& pdt, const std::string& what) {
    ASSERT_EQ(pdt.Objects.size(), size_t(pdt.ObjectCount)) << what;
    ASSERT_EQ(pdt.Materials.size(), size_t(pdt.MaterialCount)) << what;
    for (const TMeshItem& object : pdt.Objects) {
        EXPECT_EQ(object.Vertices.size(), size_t(object.VertexCount)) << what;
        EXPECT_EQ(object.VertexWords.size(), size_t(object.VertexCount)) << what;
        EXPECT_EQ(object.Triangles.size(), size_t(object.TriangleCount)) << what;
        EXPECT_EQ(object.Blocks32.size(), size_t(object.Blocks32Count)) << what;
        EXPECT_EQ(object.Items4.size(), size_t(object.Items4Count)) << what;
        ASSERT_EQ(object.VectorItems.size(), size_t(object.VectorItemCount)) << what;
        for (const TVectorItem5& item : object.VectorItems)
            EXPECT_EQ(item.Elements.size(), item.Count) << what;
    }
}

class ModelSweep : public DeviceTest {
protected:
    // Reads bytes from memory; on success uploads object 0 and checks the mesh.
    std::optional<TPdtRec> ReadAndUpload(const Bytes& bytes, const std::string& what) {
        TMemoryStream stream;
        stream.Bytes() = bytes;
        std::optional<TPdtRec> pdt;
        const AllocationReport allocations = MeterAllocations([&] {
            try {
                pdt = ReadPdt(stream, "m.pdt");
            } catch (const EReadError& error) {
                EXPECT_NE(error.Message().find("m.pdt"), std::string::npos) << what;
            }
        });
        EXPECT_LE(allocations.Largest, AllocationBound(bytes.size())) << what;
        if (!pdt) return pdt;
        ExpectConsistent(*pdt, what);
        if (pdt->ObjectCount > 0) {
            const TMeshItem& first = pdt->Objects[0];
            EXPECT_TRUE(UploadModel(*pdt, *mesh_) || first.Vertices.empty() || first.Triangles.empty())
                << what;
            EXPECT_EQ(mesh_->TriangleCount, first.Triangles.size()) << what;
            if (!first.Vertices.empty()) {
                EXPECT_EQ(mesh_->VertexBuffer->VertexCount, first.VertexCount) << what;
            }
        }
        return pdt;
    }

    void SetUp() override {
        DeviceTest::SetUp();
        mesh_ = std::make_unique<TOXMesh>(KV.get(), "vertices", "indices");
    }
    void TearDown() override {
        mesh_.reset();  // before the device component
        DeviceTest::TearDown();
    }

    std::unique_ptr<TOXMesh> mesh_;
};

TEST_F(ModelSweep, EveryPrefixOnDiskIsARefusalNamingTheFileExceptTheWholeFile) {
    TempFolder folder;
    const std::string name = folder.File("base.pdt");
    const Bytes file = SampleModelFile();
    for (size_t keep = 0; keep <= file.size(); ++keep) {
        WriteBytes(name, Bytes(file.begin(), file.begin() + keep));
        std::optional<TPdtRec> pdt;
        std::string error;
        const AllocationReport allocations = MeterAllocations([&] {
            try {
                pdt = ReadModelFile(name);
            } catch (const EReadError& e) {
                error = e.Message();
            }
        });
        EXPECT_LE(allocations.Largest, AllocationBound(keep) + 8192)
            << keep;  // plus the file stream's buffer
        if (keep < file.size()) {
            EXPECT_FALSE(pdt.has_value()) << keep;
            EXPECT_NE(error.find(name), std::string::npos) << keep << ": " << error;
        } else {
            ASSERT_TRUE(pdt.has_value());
            EXPECT_EQ(pdt->Objects[0].Vertices.size(), 12u);
            EXPECT_EQ(pdt->Objects[1].Triangles.size(), 1u);
            EXPECT_EQ(pdt->Materials[1].Value0, 7u);
        }
    }
}

TEST_F(ModelSweep, EveryValueOfEveryHeaderByteReadsConsistentlyOrFails) {
    const Bytes file = SampleModelFile();
    TMemoryStream stream;
    stream.Bytes() = file;
    const TPdtRec good = ReadPdt(stream, "m.pdt");
    // The file header, object 0's header, and object 1's header (behind object 0's arrays).
    const TMeshItem& o = good.Objects[0];
    size_t secondObject = 12 + 20 + 32 * o.Blocks32.size() + 34 * o.Vertices.size() + 6 * o.Triangles.size() +
                          4 * o.Items4.size();
    for (const TVectorItem5& item : o.VectorItems) secondObject += 1 + 8 * item.Elements.size();
    std::vector<size_t> offsets;
    for (size_t at = 0; at < 32; ++at) offsets.push_back(at);
    for (size_t at = secondObject; at < secondObject + 20; ++at) offsets.push_back(at);
    int read = 0;
    for (size_t at : offsets) {
        for (int value = 0; value < 256; ++value) {
            Bytes damaged = file;
            damaged[at] = static_cast<uint8_t>(value);
            const std::string what = "byte " + std::to_string(at) + " = " + std::to_string(value);
            const std::optional<TPdtRec> pdt = ReadAndUpload(damaged, what);
            read += pdt.has_value();
            // The header value is read and kept, never interpreted.
            if (at < 4) {
                ASSERT_TRUE(pdt.has_value()) << what;
            }
        }
    }
    EXPECT_GT(read, 4 * 256);
}

TEST_F(ModelSweep, DamagedBodyBytesReadConsistentlyOrFail) {
    const Bytes file = SampleModelFile();
    for (size_t at = 32; at < file.size(); at += 5) {
        for (uint8_t value :
             {uint8_t(file[at] ^ 0x01), uint8_t(file[at] ^ 0x80), uint8_t(0x00), uint8_t(0xFF)}) {
            Bytes damaged = file;
            damaged[at] = value;
            ReadAndUpload(damaged, "byte " + std::to_string(at) + " = " + std::to_string(value));
        }
    }
}

TEST_F(ModelSweep, AbsurdCountsAreRefusedBeforeAnyAllocation) {
    const Bytes file = SampleModelFile();
    for (size_t at : {4u, 8u, 12u, 16u, 20u, 24u, 28u}) {
        for (int32_t count : {0x7FFFFFFF, 0x10000000, -1, int32_t(0x80000000)}) {
            Bytes damaged = file;
            std::memcpy(damaged.data() + at, &count, 4);
            TMemoryStream stream;
            stream.Bytes() = damaged;
            const AllocationReport allocations = MeterAllocations(
                [&] { EXPECT_THROW(ReadPdt(stream, "m.pdt"), EReadError) << at << " " << count; });
            EXPECT_LE(allocations.Largest, AllocationBound(file.size())) << at << " " << count;
        }
    }
}

}  // namespace
}  // namespace wbx::testing
