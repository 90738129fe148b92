// The compressed-file wrapper and the layer format, read back by the test
// readers written from the format tables.
#include <gtest/gtest.h>

#include "base/zstream.h"
#include "formatreaders.h"
#include "sampledata/compressedfile.h"
#include "sampledata/damage.h"
#include "sampledata/layerfile.h"

namespace wbx::testing {
namespace {

using namespace sampledata;

CompressedFileOptions Wrapper(int64_t declaredSizeDelta, int level = 6) {
    CompressedFileOptions options;
    options.DeclaredSizeDelta = declaredSizeDelta;
    options.Level = level;
    return options;
}
LayerFileOptions Odd(size_t trailingBytes, size_t missingPixels) {
    LayerFileOptions options;
    options.TrailingBytes = trailingBytes;
    options.TrailingFill = 0xEE;
    options.MissingPixels = missingPixels;
    return options;
}

LayerImage Checkerboard(uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
    LayerImage layer{x, y, w, h, {}};
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c)
            layer.Pixels.push_back((r + c) % 2 ? OpaquePixel(255, 0, 0) : uint16_t{0x7FFF});
    }
    return layer;
}

TEST(CompressedFile, HeaderDeclaresTheContentSizeAndTheStreamInflatesToIt) {
    const std::vector<uint8_t> content = {1, 2, 3, 4, 5, 250, 0, 0, 0, 9};
    const std::vector<uint8_t> file = EncodeCompressedFile(content);
    const WrapperHeader header = ReadWrapperHeader(file);
    EXPECT_EQ(header.DeclaredSize, 10);
    EXPECT_EQ(header.SecondValue, file.size() - 8) << "default second value: the zlib stream's size";
    EXPECT_EQ(file[8], 0x78) << "a zlib header follows the two values";
    EXPECT_EQ(ReadCompressed(file), content);
    // Every level, the stored one included, gives the same content.
    for (const int level : {0, 1, 9}) {
        EXPECT_EQ(ReadCompressed(EncodeCompressedFile(content, Wrapper(0, level))), content) << level;
    }
}

TEST(CompressedFile, OptionsChangeWhatTheHeaderDeclares) {
    const std::vector<uint8_t> content(100, 7);
    // Declared below the stream's length: the reader takes only the declared bytes.
    EXPECT_EQ(ReadCompressed(EncodeCompressedFile(content, Wrapper(-40))).size(), 60u);
    // Declared above it: the stream ends before the declared count (a damaged file).
    const auto overDeclared = EncodeCompressedFile(content, Wrapper(5));
    EXPECT_EQ(ReadWrapperHeader(overDeclared).DeclaredSize, 105);
    EXPECT_THROW(ReadCompressed(overDeclared), EStreamError);
    CompressedFileOptions second;
    second.SecondValue = 0xDEADBEEF;
    EXPECT_EQ(ReadWrapperHeader(EncodeCompressedFile(content, second)).SecondValue, 0xDEADBEEF);
    // A declared size that cannot be stored is refused rather than wrapped.
    EXPECT_THROW(EncodeCompressedFile(content, Wrapper(int64_t{1} << 31)), std::invalid_argument);
    EXPECT_THROW(EncodeCompressedFile(content, Wrapper(0, 10)), std::invalid_argument);
}

TEST(CompressedFile, DamagedVariantsFailToRead) {
    const std::vector<uint8_t> content(300, 42);
    const std::vector<uint8_t> good = EncodeCompressedFile(content);
    EXPECT_THROW(ReadCompressed(WithBrokenZlibHeader(good)), EZDecompressionError);
    EXPECT_THROW(ReadCompressed(WithInvalidDeflateData(good)), EZDecompressionError);
    EXPECT_THROW(ReadCompressed(TruncatedCopy(good, good.size() / 2)), EStreamError);
    EXPECT_THROW(ReadCompressed(TruncatedCopy(good, 6)), EReadError) << "not even the header";
    EXPECT_EQ(TruncatedCopy(good, good.size() + 10), good);
    // The damage functions copy; the original still reads.
    EXPECT_EQ(ReadCompressed(good), content);
    EXPECT_THROW(WithBrokenZlibHeader(TruncatedCopy(good, 9)), std::invalid_argument);
}

TEST(LayerFile, RoundTripsPositionSizeAndEveryPixel) {
    for (const LayerImage& layer :
         {Checkerboard(3, 7, 5, 4), Checkerboard(200, 500, 56, 12), Checkerboard(0, 0, 1, 1)}) {
        const std::vector<uint8_t> file = EncodeLayerFile(layer);
        const std::vector<uint8_t> content = ReadCompressed(file);
        ASSERT_EQ(content.size(), 8 + 2 * layer.Pixels.size());
        const LayerImage back = ReadLayer(content);
        EXPECT_EQ(back.X, layer.X);
        EXPECT_EQ(back.Y, layer.Y);
        EXPECT_EQ(back.W, layer.W);
        EXPECT_EQ(back.H, layer.H);
        EXPECT_EQ(back.Pixels, layer.Pixels) << "pixels with a clear alpha bit keep their colour bits";
    }
    // An empty layer is 8 bytes of content.
    EXPECT_EQ(ReadCompressed(EncodeLayerFile(LayerImage{10, 20, 0, 0, {}})).size(), 8u);
    EXPECT_EQ(ReadLayer(ReadCompressed(EncodeLayerFile(LayerImage{10, 20, 0, 7, {}}))).H, 7);
}

TEST(LayerFile, TrailingBytesAreDeclaredAndIgnoredByTheReader) {
    const LayerImage layer = Checkerboard(1, 2, 3, 3);
    const std::vector<uint8_t> file = EncodeLayerFile(layer, Odd(13, 0));
    EXPECT_EQ(ReadWrapperHeader(file).DeclaredSize, 8 + 18 + 13);
    const std::vector<uint8_t> content = ReadCompressed(file);
    EXPECT_EQ(content.back(), 0xEE);
    EXPECT_EQ(ReadLayer(content).Pixels, layer.Pixels);
}

TEST(LayerFile, ContentEndingBeforeItsPixelsFailsToRead) {
    const LayerImage layer = Checkerboard(0, 0, 4, 4);
    const std::vector<uint8_t> content = EncodeLayerContent(layer, Odd(0, 3));
    EXPECT_EQ(content.size(), 8u + 2 * 13);
    EXPECT_THROW(ReadLayer(content), EReadError);
    EXPECT_THROW(EncodeLayerContent(layer, Odd(0, 17)), std::invalid_argument);
    LayerImage wrongCount = layer;
    wrongCount.Pixels.pop_back();
    EXPECT_THROW(EncodeLayerFile(wrongCount), std::invalid_argument);
}

TEST(LayerFile, OpaquePixelPacksA1R5G5B5) {
    EXPECT_EQ(OpaquePixel(0, 0, 0), 0x8000);
    EXPECT_EQ(OpaquePixel(255, 255, 255), 0xFFFF);
    EXPECT_EQ(OpaquePixel(255, 0, 0), 0xFC00);
    EXPECT_EQ(OpaquePixel(0, 255, 0), 0x83E0);
    EXPECT_EQ(OpaquePixel(0, 0, 8), 0x8001);
}

}  // namespace
}  // namespace wbx::testing
