#include "viewer/animationwriter.h"

#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/exception.h"
#include "viewer/colorquantizer.h"

namespace wbx {

namespace {

void CheckFrames(const std::vector<TRgbaImage>& frames) {
    if (frames.empty()) throw Exception("An animation needs at least one frame.");
    for (const TRgbaImage& frame : frames)
        if (frame.Width != frames[0].Width || frame.Height != frames[0].Height || frame.Width <= 0 ||
            frame.Height <= 0)
            throw Exception("The frames of an animation must have one size.");
}

struct TWebpEncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

}  // namespace

std::vector<uint8_t> EncodeAnimatedWebp(const std::vector<TRgbaImage>& frames, int32_t frameMilliseconds) {
    CheckFrames(frames);
    const int width = frames[0].Width, height = frames[0].Height;
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options))
        throw Exception("libwebp is not the version it was built with.");
    options.anim_params.loop_count = 0;  // forever
    options.anim_params.bgcolor = frames[0].HasAlpha ? 0x00000000u : 0xFF888888u;
    options.allow_mixed = 0;
    std::unique_ptr<WebPAnimEncoder, TWebpEncoderDeleter> encoder(
        WebPAnimEncoderNew(width, height, &options));
    if (!encoder) throw Exception("The WebP animation encoder could not be made.");

    WebPConfig config;
    if (!WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, 1))
        throw Exception("libwebp is not the version it was built with.");
    config.exact = 1;  // keep the colour under transparent pixels as it is (black)
    int timestamp = 0;
    for (const TRgbaImage& frame : frames) {
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) throw Exception("libwebp is not the version it was built with.");
        picture.use_argb = 1;
        picture.width = width;
        picture.height = height;
        const bool imported = WebPPictureImportRGBA(&picture, frame.Pixels.data(), width * 4) != 0;
        const bool added = imported && WebPAnimEncoderAdd(encoder.get(), &picture, timestamp, &config) != 0;
        WebPPictureFree(&picture);
        if (!added)
            throw Exception(std::string("WebP encoding failed: ") + WebPAnimEncoderGetError(encoder.get()));
        timestamp += frameMilliseconds;
    }
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) ||
        !WebPAnimEncoderAssemble(encoder.get(), &data))
        throw Exception(std::string("WebP encoding failed: ") + WebPAnimEncoderGetError(encoder.get()));
    std::vector<uint8_t> bytes(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    return bytes;
}

std::vector<uint8_t> EncodeAnimatedGif(const std::vector<TRgbaImage>& frames, int32_t frameMilliseconds) {
    CheckFrames(frames);
    const int width = frames[0].Width, height = frames[0].Height;
    if (width > 65535 || height > 65535) throw Exception("A GIF is at most 65535 pixels a side.");
    const bool transparent = frames[0].HasAlpha;

    TColorQuantizer quantizer;
    for (const TRgbaImage& frame : frames) quantizer.AddFrame(frame);
    // One entry stays free for transparency.
    quantizer.Build(transparent ? 255 : 256);
    const auto& palette = quantizer.Palette();
    const int transparentIndex = transparent ? static_cast<int>(palette.size()) : NO_TRANSPARENT_COLOR;
    // The colour table holds a power of two entries.
    int tableSize = 2;
    while (tableSize < static_cast<int>(palette.size()) + (transparent ? 1 : 0)) tableSize *= 2;
    std::vector<GifColorType> colours(static_cast<size_t>(tableSize), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i) colours[i] = {palette[i][0], palette[i][1], palette[i][2]};

    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (gif == nullptr) throw Exception(std::string("GIF encoding failed: ") + GifErrorString(error));
    const auto fail = [&](const char* what) {
        int closeError = 0;
        EGifCloseFile(gif, &closeError);
        return Exception(std::string("GIF encoding failed (") + what + ")");
    };
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(tableSize, colours.data());
    if (map == nullptr) throw fail("colour map");
    const int screen = EGifPutScreenDesc(gif, width, height, 8, 0, map);
    GifFreeMapObject(map);
    if (screen == GIF_ERROR) throw fail("screen");

    // Loop forever (the NETSCAPE2.0 application extension).
    static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, sizeof kApplication, kApplication) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, sizeof kLoop, kLoop) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif) == GIF_ERROR)
        throw fail("loop");

    GraphicsControlBlock control{};
    // A transparent frame must not show the one before it through its holes.
    control.DisposalMode = transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    control.DelayTime = std::max(2, (frameMilliseconds + 5) / 10);
    control.TransparentColor = transparentIndex;
    GifByteType controlBytes[4];
    const size_t controlSize = EGifGCBToExtension(&control, controlBytes);
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (const TRgbaImage& frame : frames) {
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(controlSize), controlBytes) ==
                GIF_ERROR ||
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR)
            throw fail("frame");
        for (int y = 0; y < height; ++y) {
            const uint8_t* p = frame.Row(y);
            for (int x = 0; x < width; ++x, p += 4)
                line[size_t(x)] = transparent && p[3] < 128 ? static_cast<GifPixelType>(transparentIndex)
                                                            : quantizer.IndexOf(p[0], p[1], p[2]);
            if (EGifPutLine(gif, line.data(), width) == GIF_ERROR) throw fail("pixels");
        }
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        throw Exception(std::string("GIF encoding failed: ") + GifErrorString(error));
    return out;
}

}  // namespace wbx
