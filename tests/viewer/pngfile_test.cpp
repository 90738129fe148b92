// PNG files out of the viewer: the writer's bytes decoded by libpng give the
// picture back exactly; the inspection tells whole files from damaged ones.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "viewer/pngsummary.h"
#include "viewer/pngwriter.h"
#include "viewer/rgbaimage.h"
#include "viewer/sha256.h"

namespace wbx {
namespace {

// The picture libpng reads from bytes, as RGBA.
TRgbaImage Decode(const std::vector<uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        ADD_FAILURE() << image.message;
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    TRgbaImage out(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height),
                   (image.format & PNG_FORMAT_FLAG_ALPHA) != 0);
    if (!png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr))
        ADD_FAILURE() << image.message;
    return out;
}

TRgbaImage Pattern(int32_t width, int32_t height, bool alpha) {
    TRgbaImage image(width, height, alpha);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = image.Row(y) + x * 4;
            p[0] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>(y * 13);
            p[2] = static_cast<uint8_t>((x ^ y) * 3);
            p[3] = alpha ? static_cast<uint8_t>((x + y) % 3 == 0 ? 0 : 255) : 255;
        }
    return image;
}

TEST(PngWriter, DecodesToTheSamePixelsWithAndWithoutAlpha) {
    for (const bool alpha : {false, true})
        for (const auto [w, h] : {std::pair{1, 1}, std::pair{3, 5}, std::pair{64, 33}, std::pair{257, 2}}) {
            const TRgbaImage picture = Pattern(w, h, alpha);
            const std::vector<uint8_t> bytes = EncodePng(picture);
            const TRgbaImage back = Decode(bytes);
            EXPECT_EQ(back.Width, w);
            EXPECT_EQ(back.Height, h);
            EXPECT_EQ(back.Pixels, picture.Pixels) << w << "x" << h << " alpha " << alpha;
            const std::optional<TPngInfo> info = SummarizePng(bytes);
            ASSERT_TRUE(info);
            EXPECT_EQ(info->HasAlpha, alpha);
        }
}

TEST(PngWriter, AFigureOnAnEmptyBackgroundDecodesToTheSamePixels) {
    // Mostly zeros once filtered, as a transparent render is: a small figure
    // with an edge that changes from row to row, and a row left untouched.
    for (const bool alpha : {true, false}) {
        TRgbaImage picture(300, 200, alpha);
        if (!alpha)  // an opaque picture reads back with alpha 255
            for (size_t i = 3; i < picture.Pixels.size(); i += 4) picture.Pixels[i] = 255;
        for (int32_t y = 20; y < 180; ++y)
            for (int32_t x = 120 + y % 7; x < 160 + y % 5; ++x) {
                uint8_t* p = picture.Row(y) + x * 4;
                p[0] = static_cast<uint8_t>(x * y);
                p[1] = static_cast<uint8_t>(x + y);
                p[2] = 90;
                p[3] = alpha && y == 100 ? 0 : 255;
            }
        const std::vector<uint8_t> bytes = EncodePng(picture);
        EXPECT_EQ(Decode(bytes).Pixels, picture.Pixels) << "alpha " << alpha;
        EXPECT_EQ(EncodePng(picture), bytes);
        EXPECT_LT(bytes.size(), picture.Pixels.size() / 8);
        // One writer with a smaller picture in between (its buffers shrink
        // in use, not in size): the bytes of a writer of its own each time.
        TRgbaImage small(30, 20, alpha);
        for (int32_t y = 5; y < 9; ++y) small.Row(y)[4 * y + 3] = 255;
        TPngWriter writer;
        for (const TRgbaImage* each : {&picture, &small, &picture, &small})
            EXPECT_EQ(writer.Encode(*each), EncodePng(*each)) << each->Width << " alpha " << alpha;
    }
}

TEST(PngWriter, SamePictureSameBytesAndTextChunksReadBack) {
    TPngWriter writer;
    const TRgbaImage picture = Pattern(40, 30, true);
    const std::vector<TPngText> text = {{"wardrobix", "a stamp"}, {"Comment", "two"}};
    const std::vector<uint8_t> first = writer.Encode(picture, text);
    const std::vector<uint8_t> second = writer.Encode(Pattern(10, 10, false));
    EXPECT_EQ(writer.Encode(picture, text), first);
    EXPECT_NE(second, first);
    const std::optional<TPngInfo> info = SummarizePng(first);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Width, 40);
    ASSERT_EQ(info->Texts.size(), 2u);
    EXPECT_EQ(info->Texts[0].Keyword, "wardrobix");
    EXPECT_EQ(info->Texts[1].Text, "two");
    EXPECT_EQ(Decode(first).Pixels, picture.Pixels);

    EXPECT_THROW(writer.Encode(TRgbaImage()), std::invalid_argument);
    EXPECT_THROW(writer.Encode(picture, {{"", "empty keyword"}}), std::invalid_argument);
    EXPECT_THROW(writer.Encode(picture, {{"k", std::string("nul\0inside", 10)}}), std::invalid_argument);
    TRgbaImage broken = picture;
    broken.Pixels.pop_back();
    EXPECT_THROW(writer.Encode(broken), std::invalid_argument);
}

TEST(PngInspect, RefusesEveryCutAndAnyChangedByte) {
    const std::vector<uint8_t> bytes = EncodePng(Pattern(20, 20, true), {{"wardrobix", "x"}});
    ASSERT_TRUE(SummarizePng(bytes));
    for (size_t keep = 0; keep < bytes.size(); ++keep)
        EXPECT_FALSE(SummarizePng(std::span(bytes.data(), keep))) << "cut at " << keep;
    for (size_t at = 0; at < bytes.size(); at += 7) {
        std::vector<uint8_t> changed = bytes;
        changed[at] ^= 0x20;
        EXPECT_FALSE(SummarizePng(changed)) << "byte " << at;
    }
    std::vector<uint8_t> trailing = bytes;
    trailing.push_back(0);
    EXPECT_FALSE(SummarizePng(trailing));
}

TEST(PictureStamp, RoundTripsAndRefusesAnythingElse) {
    const TPictureStamp stamp{std::string(64, 'a'), {3, 4, 50, 60}};
    EXPECT_EQ(ParseStamp(FormatStamp(stamp)), stamp);
    const TPictureStamp empty{std::string(64, '0'), {}};
    EXPECT_EQ(ParseStamp(FormatStamp(empty)), empty);
    EXPECT_FALSE(ParseStamp(""));
    EXPECT_FALSE(ParseStamp(FormatStamp(stamp) + " "));
    EXPECT_FALSE(ParseStamp(std::string(63, 'a')));
    std::string text = FormatStamp(stamp);
    text[0] = 'g';
    EXPECT_FALSE(ParseStamp(text));
    // Numbers only as they are written: no leading zero, sign or space.
    const std::string source = "source=" + std::string(64, 'a') + " figure=";
    EXPECT_EQ(ParseStamp(source + "0,0,0,0"), (TPictureStamp{std::string(64, 'a'), {}}));
    for (const char* figure :
         {"3,4,50,060", "03,4,50,60", "3,4,00,60", "-0,4,50,60", "3,+4,50,60", "3, 4,50,60"})
        EXPECT_FALSE(ParseStamp(source + figure)) << figure;
}

TEST(Sha256, KnownDigestsWithEitherKernel) {
    for (const TSha256Kernel kernel : {TSha256Kernel::Fastest, TSha256Kernel::Portable}) {
        const auto digest = [kernel](const std::string& text) {
            TSha256 hash(kernel);
            hash.Update(text);
            return DigestHex(hash.Final());
        };
        EXPECT_EQ(digest(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        // A million 'a' fed in uneven pieces across block boundaries, several
        // blocks at once among them.
        TSha256 hash(kernel);
        const std::string a(2000, 'a');
        for (int i = 0, step = 1; i < 1000000; i += step, step = step % 997 + 13)
            hash.Update(a.data(), static_cast<size_t>(std::min(step, 1000000 - i)));
        EXPECT_EQ(DigestHex(hash.Final()),
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
    // Both kernels agree on every length around the block and padding limits.
    std::string text;
    for (size_t length = 0; length < 300; ++length) {
        text += static_cast<char>(length * 37 + 11);
        TSha256 fastest(TSha256Kernel::Fastest), portable(TSha256Kernel::Portable);
        fastest.Update(text);
        portable.Update(text);
        EXPECT_EQ(fastest.Final(), portable.Final()) << length;
    }
}

TEST(RgbaImage, BoundsAndAlphaWeightedShrinking) {
    TRgbaImage image(6, 4, true);
    EXPECT_TRUE(AlphaBounds(image).Empty());
    image.Row(1)[2 * 4 + 3] = 10;
    image.Row(2)[4 * 4 + 3] = 255;
    EXPECT_EQ(AlphaBounds(image), (TPixelBounds{2, 1, 3, 2}));
    EXPECT_EQ(AlphaBounds(TRgbaImage(3, 2, false)), (TPixelBounds{0, 0, 3, 2}));

    // A red opaque pixel beside three transparent (green) ones: the colour
    // stays red, the alpha is the mean.
    TRgbaImage block(2, 2, true);
    for (int i = 0; i < 4; ++i) std::memcpy(&block.Pixels[i * 4], "\x00\xff\x00\x00", 4);
    std::memcpy(&block.Pixels[0], "\xff\x00\x00\xff", 4);
    const TRgbaImage small = DownsampleBox(block, 2);
    EXPECT_EQ(small.Pixels, (std::vector<uint8_t>{255, 0, 0, 64}));
    EXPECT_EQ(DownsampleBox(TRgbaImage(2, 2, true), 2).Pixels, (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_THROW(DownsampleBox(block, 3), std::invalid_argument);
}

}  // namespace
}  // namespace wbx
