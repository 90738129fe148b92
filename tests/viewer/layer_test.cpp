// Layer files: the compressed wrapper, drawing one layer, and the order in
// which the twelve layers of each side are painted.
#include "viewer/layer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/zstream.h"
#include "d3d9/d3d9.h"
#include "device/diagnostics.h"
#include "device/texture.h"
#include "viewer/composition.h"
#include "viewer/compressedfile.h"
#include "viewer/datafolder.h"
#include "viewer/layercache.h"
#include "viewercomponent.h"
#include "viewerfiles.h"

namespace wbx {
namespace {

using testing::Bytes;
using testing::CompressedFile;
using testing::LayerContent;
using testing::SolidLayer;
using testing::TempFolder;
using testing::WriteBytes;

// A locked 256 x 512 surface with a pitch wider than its rows, so code that
// assumes pitch == 512 bytes is caught; the padding must stay untouched.
struct TSurface {
    static constexpr int32_t kPitch = 520;
    std::vector<uint8_t> Bits = std::vector<uint8_t>(size_t{kPitch} * kLayerTextureHeight, 0xEE);
    TSurface() {
        for (int r = 0; r < kLayerTextureHeight; ++r) std::fill_n(&Bits[size_t(r) * kPitch], 512, 0);
    }
    uint16_t At(int column, int row) const {
        uint16_t texel;
        std::memcpy(&texel, &Bits[size_t(row) * kPitch + size_t(column) * 2], 2);
        return texel;
    }
    bool PaddingIntact() const {
        for (int r = 0; r < kLayerTextureHeight; ++r)
            for (int b = 512; b < kPitch; ++b)
                if (Bits[size_t(r) * kPitch + size_t(b)] != 0xEE) return false;
        return true;
    }
    size_t NonZeroTexels() const {
        size_t n = 0;
        for (int r = 0; r < kLayerTextureHeight; ++r)
            for (int c = 0; c < kLayerTextureWidth; ++c) n += At(c, r) != 0;
        return n;
    }
};

void Draw(const Bytes& content, TSurface& surface) {
    TMemoryStream stream;
    stream.WriteBuffer(content.data(), static_cast<int64_t>(content.size()));
    stream.SetPosition(0);
    DrawLayerContent(stream, surface.Bits.data(), TSurface::kPitch);
}

// Raises what ReadCompressedFile raises and checks the message names the file.
template <class E>
void ExpectErrorNamingFile(const std::string& fileName) {
    TMemoryStream dest;
    try {
        ReadCompressedFile(fileName, dest);
        ADD_FAILURE() << "no exception for " << fileName;
    } catch (const E& e) {
        EXPECT_NE(e.Message().find(fileName), std::string::npos) << e.Message();
    }
}

TEST(ReadCompressedFile, ReadsTheDeclaredContentAtTheStreamsPosition) {
    TempFolder dir;
    const Bytes content = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    WriteBytes(dir / "a.pav", CompressedFile(content));
    TMemoryStream dest;
    dest.WriteBuffer("ab", 2);
    ASSERT_TRUE(ReadCompressedFile(dir / "a.pav", dest));
    EXPECT_EQ(dest.Position(), 2);
    EXPECT_EQ(dest.Bytes(), (Bytes{'a', 'b', 1, 2, 3, 4, 5, 6, 7, 8, 9}));

    // A smaller declared size takes only that many inflated bytes.
    WriteBytes(dir / "b.pav", CompressedFile(content, 4));
    TMemoryStream shorter;
    ASSERT_TRUE(ReadCompressedFile(dir / "b.pav", shorter));
    EXPECT_EQ(shorter.Bytes(), (Bytes{1, 2, 3, 4}));

    // Declared sizes of 0 and below give empty content.
    for (int32_t declared : {0, -1, INT32_MIN}) {
        Bytes file = CompressedFile(content);
        std::memcpy(file.data(), &declared, 4);
        WriteBytes(dir / "c.pav", file);
        TMemoryStream empty;
        ASSERT_TRUE(ReadCompressedFile(dir / "c.pav", empty));
        EXPECT_EQ(empty.Size(), 0);
    }
}

TEST(ReadCompressedFile, TheMostCompressibleContentStillReads) {
    TempFolder dir;
    const Bytes zeros(8 * 1024 * 1024, 0);  // deflate's best ratio, near 1030:1
    WriteBytes(dir / "zeros.pav", CompressedFile(zeros));
    TMemoryStream dest;
    ASSERT_TRUE(ReadCompressedFile(dir / "zeros.pav", dest));
    EXPECT_EQ(dest.Size(), int64_t(zeros.size()));
}

TEST(ReadCompressedFile, MissingFileLeavesTheStreamUntouched) {
    TempFolder dir;
    TMemoryStream dest;
    dest.WriteBuffer("xyz", 3);
    dest.SetPosition(1);
    EXPECT_FALSE(ReadCompressedFile(dir / "none.pav", dest));
    EXPECT_EQ(dest.Size(), 3);
    EXPECT_EQ(dest.Position(), 1);
    std::filesystem::create_directories(dir / "folder.pav");
    EXPECT_FALSE(ReadCompressedFile(dir / "folder.pav", dest));
}

TEST(ReadCompressedFile, DamagedFilesRaiseErrorsNamingTheFile) {
    TempFolder dir;
    const Bytes content(1000, 7);

    // Declared larger than the stream inflates to.
    WriteBytes(dir / "short.pav", CompressedFile(content, 1001));
    ExpectErrorNamingFile<EReadError>(dir / "short.pav");

    // An implausible declared size is refused before anything is read or allocated.
    WriteBytes(dir / "huge.pav", CompressedFile(content, int64_t{64} * 1024 * 1024 + 1));
    ExpectErrorNamingFile<EReadError>(dir / "huge.pav");
    WriteBytes(dir / "max.pav", CompressedFile(content, INT32_MAX));
    ExpectErrorNamingFile<EReadError>(dir / "max.pav");

    // More than the compressed bytes could ever inflate to.
    WriteBytes(dir / "ratio.pav", CompressedFile(content, 10'000'000));
    ExpectErrorNamingFile<EReadError>(dir / "ratio.pav");

    // Not a zlib stream.
    Bytes broken = CompressedFile(content);
    broken[8] ^= 0xFF;
    WriteBytes(dir / "zlib.pav", broken);
    ExpectErrorNamingFile<EZDecompressionError>(dir / "zlib.pav");

    // Cut inside the zlib stream, and cut inside the header.
    Bytes cut = CompressedFile(content);
    cut.resize(cut.size() / 2);
    WriteBytes(dir / "cut.pav", cut);
    ExpectErrorNamingFile<EStreamError>(dir / "cut.pav");
    WriteBytes(dir / "tiny.pav", Bytes{1, 0, 0});
    ExpectErrorNamingFile<EReadError>(dir / "tiny.pav");
}

// What reading a file gives: whether it exists, the error's kind and text,
// and the stream's bytes and position.
std::string ReadOutcome(bool (*read)(const std::string&, TMemoryStream&), const std::string& fileName) {
    TMemoryStream dest;
    dest.WriteBuffer("pre", 3);
    std::string outcome;
    try {
        outcome = read(fileName, dest) ? "read " : "missing ";
        const Bytes& bytes = dest.Bytes();
        outcome += std::string(bytes.begin(), bytes.end());
    } catch (const EZDecompressionError& e) {
        outcome = "EZDecompressionError " + e.Message();
    } catch (const EReadError& e) {
        outcome = "EReadError " + e.Message();
    } catch (const EStreamError& e) {
        outcome = "EStreamError " + e.Message();
    }
    return outcome + Format(" at %d", dest.Position());
}

TEST(ReadCompressedFile, InflatingInOneCallGivesWhatStreamingGivesForEveryKindOfDamage) {
    TempFolder dir;
    Bytes content(3000);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>((i * 7) % 251 + (i / 500));
    const Bytes good = CompressedFile(content);
    std::vector<Bytes> files = {
        good,
        CompressedFile(content, 2999),  // the stream holds more than declared: the surplus is ignored
        CompressedFile(content, 1),
        CompressedFile(content, 3001),  // less than declared
        CompressedFile({}, 0),
    };
    // A stream holding more than declared whose surplus and checksum are
    // damaged: the declared bytes still read.
    Bytes surplusDamaged = CompressedFile(content, 100);
    surplusDamaged[surplusDamaged.size() - 1] ^= 0x55;
    files.push_back(surplusDamaged);
    // Trailing bytes after the stream; a preset dictionary in the header.
    Bytes trailing = good;
    trailing.insert(trailing.end(), {1, 2, 3, 4});
    files.push_back(trailing);
    Bytes dictionary = good;
    const int flags = (dictionary[9] & 0xE0) | 0x20;  // FDICT set, FCHECK made anew
    dictionary[9] = static_cast<uint8_t>(flags + (31 - (dictionary[8] * 256 + flags) % 31) % 31);
    files.push_back(dictionary);
    // Cut at every length, and one byte damaged at every place.
    for (size_t length = 0; length < good.size(); length += 3)
        files.emplace_back(good.begin(), good.begin() + length);
    for (size_t at = 8; at < good.size(); ++at) {
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            Bytes damaged = good;
            damaged[at] ^= flip;
            files.push_back(damaged);
        }
    }
    int disagreements = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string name = dir / Format("f%d.pav", static_cast<int64_t>(i));
        WriteBytes(name, files[i]);
        const std::string whole = ReadOutcome(ReadCompressedFile, name);
        const std::string streamed = ReadOutcome(ReadCompressedFileStreamed, name);
        if (whole != streamed && ++disagreements <= 5)
            ADD_FAILURE() << "file " << i << ":\n  one call: " << whole.substr(0, 200)
                          << "\n  streamed: " << streamed.substr(0, 200);
    }
    EXPECT_EQ(disagreements, 0);
    EXPECT_EQ(ReadOutcome(ReadCompressedFile, dir / "none.pav"), "missing pre at 3");
}

// A layer file holding 'A' and a copy of 258 bytes at distance 1 in one
// fixed-code block, the copy's length written with the given symbol (285 is
// the valid one; 286 and 287 are reserved), and the content's checksum.
Bytes FixedBlockFile(int lengthSymbol, bool soundChecksum) {
    Bytes stream = {0x78, 0x01};
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](uint32_t value, int n) {  // least significant bit first
        bits |= value << count;
        for (count += n; count >= 8; count -= 8, bits >>= 8) stream.push_back(static_cast<uint8_t>(bits));
    };
    auto putCode = [&](uint32_t code, int n) {  // Huffman codes most significant bit first
        for (int i = n - 1; i >= 0; --i) put((code >> i) & 1, 1);
    };
    put(1, 1);                                // the last block
    put(1, 2);                                // fixed codes
    putCode(0x30 + 'A', 8);                   // literal 'A'
    putCode(0xC0 + (lengthSymbol - 280), 8);  // a length
    putCode(0, 5);                            // distance 1
    putCode(0, 7);                            // end of block
    if (count > 0) put(0, 8 - count);
    const Bytes content(259, 'A');
    uint32_t check = static_cast<uint32_t>(adler32(adler32(0, nullptr, 0), content.data(), 259));
    if (!soundChecksum) check ^= 1;
    for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<uint8_t>(check >> shift));
    Bytes file;
    testing::Put<int32_t>(file, 259);
    testing::Put<int32_t>(file, 0);
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

TEST(ReadCompressedFile, AReservedLengthSymbolReadsOnlyWhenTheChecksumHolds) {
    TempFolder dir;
    const std::string expected = "read pre" + std::string(259, 'A') + " at 3";
    WriteBytes(dir / "valid.pav", FixedBlockFile(285, true));
    EXPECT_EQ(ReadOutcome(ReadCompressedFile, dir / "valid.pav"), expected);
    EXPECT_EQ(ReadOutcome(ReadCompressedFileStreamed, dir / "valid.pav"), expected);
    // zlib refuses the reserved symbol; the one-call inflate reads it as a
    // length of 258, and the checksum confirms the content.
    WriteBytes(dir / "reserved.pav", FixedBlockFile(286, true));
    EXPECT_EQ(ReadOutcome(ReadCompressedFile, dir / "reserved.pav"), expected);
    EXPECT_NE(
        ReadOutcome(ReadCompressedFileStreamed, dir / "reserved.pav").find("invalid literal/length code"),
        std::string::npos);
    // With a checksum that does not hold, both refuse it alike.
    WriteBytes(dir / "unsound.pav", FixedBlockFile(286, false));
    const std::string refused = ReadOutcome(ReadCompressedFile, dir / "unsound.pav");
    EXPECT_EQ(refused.rfind("EZDecompressionError ", 0), 0u) << refused;
    EXPECT_EQ(refused, ReadOutcome(ReadCompressedFileStreamed, dir / "unsound.pav"));
}

TEST(DrawLayerContent, DrawsOpaquePixelsOnlyAtTheLayersPlace) {
    TSurface surface;
    // Row 0: opaque black, transparent white, opaque red; row 1: the reverse.
    Draw(LayerContent(10, 20, 3, 2, {0x8000, 0x7FFF, 0xFC00, 0xFC00, 0x7FFF, 0x8000}), surface);
    EXPECT_EQ(surface.At(10, 20), 0x8000);
    EXPECT_EQ(surface.At(11, 20), 0);  // alpha bit clear: the texel below stays
    EXPECT_EQ(surface.At(12, 20), 0xFC00);
    EXPECT_EQ(surface.At(10, 21), 0xFC00);
    EXPECT_EQ(surface.At(12, 21), 0x8000);
    EXPECT_EQ(surface.NonZeroTexels(), 4u);
    EXPECT_TRUE(surface.PaddingIntact());

    // A later layer paints over; trailing bytes after the pixels are ignored.
    Bytes over = SolidLayer(11, 20, 1, 1, 0x801F);
    over.insert(over.end(), {1, 2, 3});
    Draw(over, surface);
    EXPECT_EQ(surface.At(11, 20), 0x801F);

    TSurface empty;
    Draw(SolidLayer(5, 5, 0, 7, 0xFFFF), empty);
    Draw(SolidLayer(5, 5, 7, 0, 0xFFFF), empty);
    EXPECT_EQ(empty.NonZeroTexels(), 0u);
}

TEST(DrawLayerContent, ClipsToTheTexture) {
    TSurface surface;
    Draw(SolidLayer(200, 0, 56, 1, 0x8001), surface);  // ends exactly at column 255
    EXPECT_EQ(surface.At(255, 0), 0x8001);
    EXPECT_EQ(surface.At(199, 0), 0);

    Draw(SolidLayer(250, 2, 10, 2, 0x8002), surface);  // 6 columns inside, 4 outside
    EXPECT_EQ(surface.At(255, 3), 0x8002);
    EXPECT_EQ(surface.At(0, 3), 0);  // nothing wrapped onto the next row
    EXPECT_EQ(surface.At(0, 4), 0);

    Draw(SolidLayer(0, 510, 3, 5, 0x8003), surface);  // 2 rows inside
    EXPECT_EQ(surface.At(2, 511), 0x8003);

    Draw(SolidLayer(300, 600, 65535, 1, 0x8004), surface);  // entirely outside
    Draw(SolidLayer(65535, 0, 1, 1, 0x8005), surface);
    EXPECT_EQ(surface.NonZeroTexels(), 56u + 12u + 6u);
    EXPECT_TRUE(surface.PaddingIntact());
}

// Layers of every width around the blocks pixels are copied in, with runs of
// opaque and transparent pixels of every length, at places that clip on the
// right and the bottom, drawn over a patterned surface: each texel is what
// the drawing rule says, taken one pixel at a time.
TEST(DrawLayerContent, CopiesLikeThePixelByPixelRuleForEveryWidthAndAlphaPattern) {
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int32_t width : {1, 7, 8, 9, 15, 16, 17, 31, 33, 64, 250}) {
        for (int32_t x0 : {0, 3, 200, 251}) {
            const int32_t y0 = 509, height = 4;  // the last row lies below the texture
            std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
            // Runs of one kind, 1 to 20 pixels long; within a run the colour varies.
            for (size_t i = 0; i < pixels.size();) {
                const bool opaque = next() & 0x10000;
                const size_t run = std::min<size_t>(1 + (next() >> 16) % 20, pixels.size() - i);
                for (size_t end = i + run; i < end; ++i)
                    pixels[i] =
                        static_cast<uint16_t>((next() >> 16) & 0x7FFF) | (opaque ? kLayerAlphaBit : 0);
            }
            TSurface surface;
            for (int r = 0; r < kLayerTextureHeight; ++r)
                for (int c = 0; c < kLayerTextureWidth; ++c) {
                    const uint16_t below = static_cast<uint16_t>(r * 31 + c);
                    std::memcpy(&surface.Bits[size_t(r) * TSurface::kPitch + size_t(c) * 2], &below, 2);
                }
            TSurface expected = surface;
            for (int32_t y = 0; y < height && y0 + y < kLayerTextureHeight; ++y)
                for (int32_t x = 0; x < width && x0 + x < kLayerTextureWidth; ++x) {
                    const uint16_t pixel = pixels[size_t(y) * width + x];
                    if (pixel & kLayerAlphaBit)
                        std::memcpy(&expected.Bits[size_t(y0 + y) * TSurface::kPitch + size_t(x0 + x) * 2],
                                    &pixel, 2);
                }
            Draw(LayerContent(x0, y0, width, height, pixels), surface);
            EXPECT_EQ(surface.Bits, expected.Bits) << "width " << width << " at " << x0;
        }
    }
}

TEST(DrawLayerContent, ContentEndingEarlyRaisesAfterDrawingWhatWasThere) {
    TSurface surface;
    // 2 x 3 layer with only 3 pixels: row 0 complete, row 1 half.
    EXPECT_THROW(Draw(LayerContent(0, 0, 2, 3, {0x8001, 0x8002, 0x8003}), surface), EReadError);
    EXPECT_EQ(surface.At(0, 0), 0x8001);
    EXPECT_EQ(surface.At(1, 0), 0x8002);
    EXPECT_EQ(surface.At(0, 1), 0x8003);
    EXPECT_EQ(surface.At(1, 1), 0);
    TSurface header;
    EXPECT_THROW(Draw(Bytes{1, 0, 2, 0, 3}, header), EReadError);
    // Truncation is detected even when the missing rows are outside the texture.
    EXPECT_THROW(Draw(LayerContent(0, 511, 1, 2, {0x8001}), surface), EReadError);
}

TEST(DrawLayerFile, NamesTheFileWhenTheLayerIsShort) {
    TempFolder dir;
    WriteBytes(dir / "l.pav", CompressedFile(LayerContent(0, 0, 4, 4, {0x8000})));
    TSurface surface;
    try {
        DrawLayerFile(dir / "l.pav", surface.Bits.data(), TSurface::kPitch);
        ADD_FAILURE();
    } catch (const EReadError& e) {
        EXPECT_NE(e.Message().find(dir / "l.pav"), std::string::npos);
    }
    EXPECT_FALSE(DrawLayerFile(dir / "none.pav", surface.Bits.data(), TSurface::kPitch));
}

// One item per part list, named by its category ("00_aaaaa" for hair, ...).
TPartSelection AllItems() {
    TPartSelection selection;
    for (int list = 0; list < kPartListCount; ++list) selection[size_t(list)] = Format("%.2d_aaaaa", list);
    return selection;
}

// The painting order of each side, written out as the layer files it names.
const std::array<const char*, kLayerStepCount> kFrontFiles = {
    "00_aaaaa_01", "01_aaaaa_01", "01_aaaaa_07", "00_aaaaa_02", "03_aaaaa_01", "02_aaaaa_01",
    "04_aaaaa_01", "05_aaaaa_01", "06_aaaaa_01", "07_aaaaa_01", "08_aaaaa_01", "09_aaaaa_01"};
const std::array<const char*, kLayerStepCount> kBackFiles = {
    "00_aaaaa_03", "01_aaaaa_08", "01_aaaaa_06", "00_aaaaa_04", "03_aaaaa_02", "02_aaaaa_02",
    "04_aaaaa_02", "05_aaaaa_02", "06_aaaaa_02", "07_aaaaa_02", "08_aaaaa_02", "09_aaaaa_02"};

class CompositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "item/avatar");
        ASSERT_TRUE(CheckDataFolder(dir.Path()));
    }
    // Step k covers row 0, columns k..11, in colour base + k + 1: at column c
    // the last layer painted over it shows, which is step c exactly when the
    // steps are painted in order.
    void WriteOrderLayers(const std::array<const char*, kLayerStepCount>& files, uint16_t base) {
        for (int k = 0; k < kLayerStepCount; ++k)
            WriteBytes(
                dir / (std::string("item/avatar/") + files[size_t(k)] + ".pav"),
                CompressedFile(SolidLayer(uint16_t(k), 0, uint16_t(12 - k), 1, uint16_t(base + k + 1))));
    }
    TempFolder dir;
};

TEST_F(CompositionTest, PaintsTheTwelveLayersOfEachSideInOrder) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    WriteOrderLayers(kBackFiles, 0x8100);
    TSurface front, back;
    ComposeLayers(kFrontLayerOrder, AllItems(), front.Bits.data(), TSurface::kPitch);
    ComposeLayers(kBackLayerOrder, AllItems(), back.Bits.data(), TSurface::kPitch);
    for (int c = 0; c < kLayerStepCount; ++c) {
        EXPECT_EQ(front.At(c, 0), 0x8000 + c + 1) << "front column " << c;
        EXPECT_EQ(back.At(c, 0), 0x8100 + c + 1) << "back column " << c;
    }
    EXPECT_EQ(front.NonZeroTexels(), 12u);
    EXPECT_EQ(back.NonZeroTexels(), 12u);
    EXPECT_EQ(LayerFileName("01_12345", 7), dir / "item/avatar/01_12345_07.pav");
}

TEST_F(CompositionTest, NoneAndNoSelectionContributeNothing) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    TPartSelection selection;
    selection.fill(kNoPartItem);
    TSurface surface;
    ComposeLayers(kFrontLayerOrder, selection, surface.Bits.data(), TSurface::kPitch);
    selection.fill("");
    ComposeLayers(kFrontLayerOrder, selection, surface.Bits.data(), TSurface::kPitch);
    EXPECT_EQ(surface.NonZeroTexels(), 0u);

    // Only the hair selected: its two front layers (steps 0 and 3).
    selection[plHair] = AllItems()[plHair];
    ComposeLayers(kFrontLayerOrder, selection, surface.Bits.data(), TSurface::kPitch);
    EXPECT_EQ(surface.At(0, 0), 0x8001);
    EXPECT_EQ(surface.At(3, 0), 0x8004);
    EXPECT_EQ(surface.NonZeroTexels(), 12u);
}

TEST_F(CompositionTest, FindsLayerFilesWhateverTheirCase) {
    WriteBytes(dir / "item/avatar/02_ABCDE_01.PAV", CompressedFile(SolidLayer(1, 1, 1, 1, 0x8123)));
    TPartSelection selection;
    selection[plUpper] = "02_abcde";
    TSurface surface;
    ComposeLayers(kFrontLayerOrder, selection, surface.Bits.data(), TSurface::kPitch);
    EXPECT_EQ(surface.At(1, 1), 0x8123);
}

TEST_F(CompositionTest, ADamagedLayerStopsThePaintingAtThatLayer) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    // Step 5 (upper, layer 1) is damaged.
    WriteBytes(LayerFileName(AllItems()[plUpper], 1), Bytes{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    TSurface surface;
    EXPECT_THROW(ComposeLayers(kFrontLayerOrder, AllItems(), surface.Bits.data(), TSurface::kPitch),
                 EStreamError);
    EXPECT_EQ(surface.At(4, 0), 0x8005);  // steps 0..4 were painted
    EXPECT_EQ(surface.At(6, 0), 0x8005);  // step 6 and later were not
}

// The texels of level 0 of texture, as TSurface::At reads them (pitch 512).
std::vector<uint16_t> Texels(TKVTexture& texture) {
    std::vector<uint16_t> texels(size_t{kLayerTextureWidth} * kLayerTextureHeight);
    const D3DLOCKED_RECT locked = texture.LockRect(0, nullptr, D3DLOCK_READONLY);
    if (locked.pBits == nullptr) {
        ADD_FAILURE() << "the texture cannot be read";
        return texels;
    }
    for (int row = 0; row < kLayerTextureHeight; ++row)
        std::memcpy(&texels[size_t(row) * kLayerTextureWidth],
                    static_cast<const uint8_t*>(locked.pBits) + row * locked.Pitch, kLayerTextureWidth * 2);
    texture.UnlockRect();
    return texels;
}

// The whole texture step of the composition, on a device without a window.
class ComposeTextureTest : public CompositionTest {
protected:
    TKVTexture& Texture(D3DFORMAT format) {
        texture_ = std::make_unique<TKVTexture>(&testing::SharedDeviceComponent(),
                                                std::vector<D3DFORMAT>{format}, 0, D3DPOOL_MANAGED, 0, "");
        texture_->ClearColor = 0xFFFFFFFF;  // as the viewer makes them: SetSize fills them white
        return *texture_;
    }
    TLayerCache cache_;
    std::unique_ptr<TKVTexture> texture_;
};

TEST_F(ComposeTextureTest, ClearsTheTextureAndPaintsTheLayersOfOneSide) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    WriteOrderLayers(kBackFiles, 0x8100);
    TKVTexture& texture = Texture(D3DFMT_A1R5G5B5);
    ComposeTexture(&texture, kBackLayerOrder, AllItems(), cache_);
    ASSERT_EQ(texture.Width, uint32_t{kLayerTextureWidth});
    ASSERT_EQ(texture.Height, uint32_t{kLayerTextureHeight});
    TSurface expected;
    ComposeLayers(kBackLayerOrder, AllItems(), expected.Bits.data(), TSurface::kPitch);
    const std::vector<uint16_t> texels = Texels(texture);
    for (int row = 0; row < kLayerTextureHeight; ++row)
        for (int column = 0; column < kLayerTextureWidth; ++column)
            ASSERT_EQ(texels[size_t(row) * kLayerTextureWidth + size_t(column)], expected.At(column, row))
                << column << ", " << row;

    // Composed again with nothing selected: transparent all over, not white.
    TPartSelection none;
    ComposeTexture(&texture, kBackLayerOrder, none, cache_);
    for (uint16_t texel : Texels(texture)) ASSERT_EQ(texel, 0);
    ComposeTexture(nullptr, kBackLayerOrder, AllItems(), cache_);  // nothing to do
}

TEST_F(ComposeTextureTest, OnlyTheSixteenBitFormatIsPainted) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    TKVTexture& texture = Texture(D3DFMT_A8R8G8B8);
    ComposeTexture(&texture, kFrontLayerOrder, AllItems(), cache_);
    const D3DLOCKED_RECT locked = texture.LockRect(0, nullptr, D3DLOCK_READONLY);
    ASSERT_NE(locked.pBits, nullptr);
    for (int column = 0; column < kLayerStepCount; ++column) {
        uint32_t texel;
        std::memcpy(&texel, static_cast<const uint8_t*>(locked.pBits) + column * 4, 4);
        EXPECT_EQ(texel, 0u) << "cleared, and no layer copied into a texture of another format";
    }
    texture.UnlockRect();
}

TEST_F(ComposeTextureTest, ADamagedLayerRaisesWithTheTextureUnlocked) {
    WriteOrderLayers(kFrontFiles, 0x8000);
    WriteBytes(LayerFileName(AllItems()[plUpper], 1), Bytes{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    TKVTexture& texture = Texture(D3DFMT_A1R5G5B5);
    EXPECT_THROW(ComposeTexture(&texture, kFrontLayerOrder, AllItems(), cache_), EStreamError);
    const std::vector<uint16_t> texels = Texels(texture);  // fails if the texture were still locked
    EXPECT_EQ(texels[4], 0x8005);                          // steps 0..4 were painted
    EXPECT_EQ(texels[6], 0x8005);                          // step 6 and later were not
}

}  // namespace
}  // namespace wbx

namespace wbx {
namespace {

TEST(CheckSurfaceResult, RaisesOnlyForFailuresUnderHaltOnError) {
    const bool saved = HaltOnErrorSwitch;
    HaltOnErrorSwitch = false;
    EXPECT_EQ(CheckSurfaceResult(D3DERR_INVALIDCALL), D3DERR_INVALIDCALL);
    HaltOnErrorSwitch = true;
    EXPECT_EQ(CheckSurfaceResult(D3D_OK), D3D_OK);
    try {
        CheckSurfaceResult(D3DERR_INVALIDCALL);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "へたこいた");
    }
    HaltOnErrorSwitch = saved;
}

}  // namespace
}  // namespace wbx
