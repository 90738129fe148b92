// Layer files, damaged every way one edit can damage them: every prefix,
// every value of every wrapper and zlib header byte, every value of every
// byte of the layer's own header (inside a valid wrapper), and a sample of
// body bytes. Each is drawn into a surface of exactly 512 rows x pitch bytes
// (so the sanitizer build sees any stray write) and must give either the
// layer's correct texels or a stream error naming the file, with no request
// for memory beyond what deflate could make of the file.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "hardeningfixture.h"
#include "heapmeter.h"
#include "layerreference.h"
#include "sampledata/compressedfile.h"
#include "samples.h"
#include "viewer/compressedfile.h"
#include "viewer/layer.h"

namespace wbx::testing {
namespace {

// Wider than the texture's rows, so that a drawing that ignored the pitch shows.
constexpr int32_t kPitch = 2 * kLayerTextureWidth + 24;

struct Drawing {
    bool Drawn = false;
    std::string Error;             // the stream error's message, when one was raised
    std::vector<uint16_t> Texels;  // 256 x 512, row-major
    AllocationReport Allocations;
};

class LayerSweep : public ::testing::Test {
protected:
    Drawing Draw(const Bytes& file) {
        WriteBytes(FileName(), file);
        std::vector<uint8_t> surface(size_t{kPitch} * kLayerTextureHeight, 0);
        Drawing drawing;
        drawing.Allocations = MeterAllocations([&] {
            try {
                drawing.Drawn = DrawLayerFile(FileName(), surface.data(), kPitch);
                EXPECT_TRUE(drawing.Drawn);
            } catch (const EStreamError& error) {
                drawing.Error = error.Message();
            }
        });
        drawing.Texels.resize(size_t{kLayerTextureWidth} * kLayerTextureHeight);
        for (int32_t row = 0; row < kLayerTextureHeight; ++row) {
            std::memcpy(&drawing.Texels[size_t(row) * kLayerTextureWidth], &surface[size_t(row) * kPitch],
                        2 * kLayerTextureWidth);
            // The bytes between the row's end and the pitch are never the layer's.
            for (int32_t b = 2 * kLayerTextureWidth; b < kPitch; ++b)
                EXPECT_EQ(surface[size_t(row) * kPitch + b], 0) << "row " << row;
        }
        return drawing;
    }

    // The bound on memory: deflate makes at most 1032 bytes of one, and a row
    // buffer of W pixels (W < 65536) is taken for the drawing.
    static size_t AllocationBound(size_t fileSize) { return 1100 * (fileSize + 1) + 2 * 65536 + 4096; }

    std::string FileName() const { return folder_.File("layer_01.pav"); }

    // The outcome must be an error naming the file, or exactly expected.
    void ExpectErrorOr(const Drawing& drawing, const std::vector<uint16_t>& expected,
                       const std::string& what) {
        if (drawing.Drawn) {
            EXPECT_TRUE(drawing.Texels == expected) << what << ": drawn, but not the layer's texels";
        } else {
            EXPECT_NE(drawing.Error.find(FileName()), std::string::npos) << what << ": " << drawing.Error;
        }
    }

    TempFolder folder_;
};

std::vector<uint16_t> SampleTexels() {
    const Bytes content = SampleLayerContent();
    std::vector<uint16_t> texels;
    ReferenceLayerTexels(content.data(), content.size(), texels);
    return texels;
}

TEST_F(LayerSweep, EveryPrefixIsRefusedNamingTheFileOrDrawsTheWholeLayer) {
    const Bytes file = SampleLayerFile();
    const std::vector<uint16_t> expected = SampleTexels();
    size_t drawnPrefixes = 0;
    for (size_t keep = 0; keep <= file.size(); ++keep) {
        const Drawing drawing = Draw(Bytes(file.begin(), file.begin() + keep));
        ExpectErrorOr(drawing, expected, "prefix " + std::to_string(keep));
        EXPECT_LE(drawing.Allocations.Largest, AllocationBound(keep)) << "prefix " << keep;
        drawnPrefixes += drawing.Drawn;
    }
    // Only the checksum after the last deflate block may be missing.
    EXPECT_GE(drawnPrefixes, 1u);
    EXPECT_LE(drawnPrefixes, 5u);
}

TEST_F(LayerSweep, EveryValueOfEveryWrapperAndZlibHeaderByte) {
    const Bytes file = SampleLayerFile();
    const std::vector<uint16_t> expected = SampleTexels();
    for (size_t at = 0; at < 10; ++at) {
        for (int value = 0; value < 256; ++value) {
            Bytes damaged = file;
            damaged[at] = static_cast<uint8_t>(value);
            const Drawing drawing = Draw(damaged);
            const std::string what = "byte " + std::to_string(at) + " = " + std::to_string(value);
            ExpectErrorOr(drawing, expected, what);
            EXPECT_LE(drawing.Allocations.Largest, AllocationBound(file.size())) << what;
            // The second value (bytes 4-7) is never read.
            if (at >= 4 && at < 8) {
                EXPECT_TRUE(drawing.Drawn) << what;
            }
        }
    }
}

TEST_F(LayerSweep, EveryValueOfEveryLayerHeaderByteDrawsByTheRuleOrFails) {
    // X, Y, W, H changed inside a valid wrapper: rectangles that move, shrink,
    // grow past the texture or past the pixels the file holds.
    const Bytes content = SampleLayerContent();
    for (size_t at = 0; at < 8; ++at) {
        for (int value = 0; value < 256; ++value) {
            Bytes damaged = content;
            damaged[at] = static_cast<uint8_t>(value);
            std::vector<uint16_t> expected;
            const bool complete = ReferenceLayerTexels(damaged.data(), damaged.size(), expected);
            const Drawing drawing = Draw(sampledata::EncodeCompressedFile(damaged));
            const std::string what = "content byte " + std::to_string(at) + " = " + std::to_string(value);
            ASSERT_EQ(drawing.Drawn, complete) << what << " " << drawing.Error;
            if (complete) {
                EXPECT_TRUE(drawing.Texels == expected) << what;
            }
        }
    }
}

TEST_F(LayerSweep, DamagedBodyBytesGiveAStreamErrorOrSomeDrawing) {
    // Inside the deflate data a change may still inflate (to other pixels), so
    // only the manner of failing and the memory taken are checked here; the
    // sanitizer build checks that nothing is written outside the surface.
    const Bytes file = SampleLayerFile();
    for (size_t at = 10; at < file.size(); at += 3) {
        for (uint8_t value :
             {uint8_t(file[at] ^ 0x01), uint8_t(file[at] ^ 0x80), uint8_t(0x00), uint8_t(0xFF)}) {
            Bytes damaged = file;
            damaged[at] = value;
            const Drawing drawing = Draw(damaged);
            const std::string what = "byte " + std::to_string(at) + " = " + std::to_string(value);
            if (!drawing.Drawn) {
                EXPECT_NE(drawing.Error.find(FileName()), std::string::npos) << what;
            }
            EXPECT_LE(drawing.Allocations.Largest, AllocationBound(file.size())) << what;
        }
    }
}

TEST_F(LayerSweep, DeclaredSizesTheFileCannotHoldAreRefusedBeforeAnyAllocation) {
    const Bytes file = SampleLayerFile();
    for (int32_t declared : {0x7FFFFFFF, 64 * 1024 * 1024 + 1, 64 * 1024 * 1024, 5 << 20}) {
        Bytes damaged = file;
        std::memcpy(damaged.data(), &declared, 4);
        const Drawing drawing = Draw(damaged);
        EXPECT_FALSE(drawing.Drawn) << declared;
        EXPECT_LE(drawing.Allocations.Largest, 4096u) << declared;
    }
}

}  // namespace
}  // namespace wbx::testing
