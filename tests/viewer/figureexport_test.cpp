// The figure out of the viewer: pictures of the offscreen renderer, the
// composed textures, the .glb and OBJ models, the turntable animations.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <webp/demux.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/format.h"
#include "exportfixture.h"
#include "sampledata/fileoutput.h"
#include "sampledata/layerfile.h"
#include "viewer/animationwriter.h"
#include "viewer/figuregeometry.h"
#include "viewer/gltfexport.h"
#include "viewer/layer.h"
#include "viewer/objexport.h"
#include "viewer/offscreenrenderer.h"
#include "viewer/slotnames.h"
#include "viewer/textureexport.h"

namespace wbx {
namespace {

using testing::ExportTest;

class FigureExport : public ExportTest {
protected:
    void SetUp() override {
        ExportTest::SetUp();
        renderer = std::make_unique<TOffscreenRenderer>(kViewerWidth, kViewerHeight);
        ASSERT_TRUE(renderer->LoadModel("type1"));
        renderer->ComposeTextures(StartSelection());
    }
    TRgbaImage Texture(bool back) {
        return WidenTexture(renderer->TextureTexels(back), kLayerTextureWidth, kLayerTextureHeight);
    }
    std::unique_ptr<TOffscreenRenderer> renderer;
};

TEST_F(FigureExport, TransparentPictureKeepsTheFigureAndClearsTheRest) {
    const TRenderedPicture grey = renderer->Render({}, 320, 240, TBackground::Grey);
    const TRenderedPicture clear = renderer->Render({}, 320, 240, TBackground::Transparent);
    EXPECT_FALSE(grey.Image.HasAlpha);
    EXPECT_TRUE(clear.Image.HasAlpha);
    ASSERT_FALSE(grey.Figure.Empty());
    EXPECT_EQ(grey.Figure, clear.Figure);
    EXPECT_EQ(AlphaBounds(clear.Image), clear.Figure);
    int64_t figure = 0;
    for (size_t i = 0; i < grey.Image.Pixels.size(); i += 4) {
        const uint8_t* g = &grey.Image.Pixels[i];
        const uint8_t* c = &clear.Image.Pixels[i];
        ASSERT_EQ(g[3], 255);
        ASSERT_TRUE(c[3] == 0 || c[3] == 255);
        if (c[3] == 255) {
            // The figure's pixels are exactly those of the picture on grey.
            ASSERT_EQ(std::memcmp(g, c, 3), 0) << "pixel " << i / 4;
            ++figure;
        } else {
            ASSERT_EQ(g[0], 0x88);
            ASSERT_EQ(c[0] | c[1] | c[2], 0);
        }
    }
    EXPECT_GT(figure, 320 * 240 / 20);
    // The back view is another picture; pictures beyond the maximum are refused.
    EXPECT_NE(renderer->Render({2048, 0, 1.0f}, 320, 240, TBackground::Grey).Image, grey.Image);
    EXPECT_THROW(renderer->Render({}, kViewerWidth + 1, 10, TBackground::Grey), Exception);
}

TEST_F(FigureExport, OneFrameFindsTheFigureExactlyWhereTwoFramesDo) {
    // A transparent picture from the alpha the one frame keeps, against the
    // same picture from frames over the grey and over black: the same bytes
    // and bounds for the generated clothes, for none, and for a layer of
    // single texels alternately transparent and bright (white, the grey,
    // pale colours), whose filtered edges blend every fraction of alpha.
    ASSERT_TRUE(renderer->AlphaFrames());
    TOffscreenRenderer twoFrames(kViewerWidth, kViewerHeight);
    twoFrames.UseKeyFrames(true);
    ASSERT_TRUE(twoFrames.LoadModel("type1"));
    sampledata::LayerImage stripes{0, 0, kLayerTextureWidth, kLayerTextureHeight, {}};
    const uint16_t colours[] = {0xFFFF, sampledata::OpaquePixel(0x88, 0x88, 0x88),
                                sampledata::OpaquePixel(0x90, 0x80, 0x88),
                                sampledata::OpaquePixel(255, 200, 40)};
    for (int y = 0; y < kLayerTextureHeight; ++y)
        for (int x = 0; x < kLayerTextureWidth; ++x)
            stripes.Pixels.push_back((x + y) % 3 == 0 || (x * 7 + y) % 11 == 0 ? 0
                                                                               : colours[(x / 3 + y) % 4]);
    const TPartSelection chosen = StartSelection();
    int32_t drawn = 0, step = 0;
    for (const int selection : {0, 1, 2}) {
        if (selection == 2)
            sampledata::WriteFileBytes(LayerFileName(chosen[plUpper], 1),
                                       sampledata::EncodeLayerFile(stripes));
        const TPartSelection parts = selection == 0 ? TPartSelection{} : chosen;
        renderer->ComposeTextures(parts);
        twoFrames.ComposeTextures(parts);
        for (const int32_t yaw : {0, 700, 1500, 2048, 3000, 3900})
            for (const int32_t pitch : {-800, 0, 500})
                for (const float zoom : {0.3f, 1.0f, 2.7f}) {
                    const int32_t width = std::array{640, 128, 75}[step % 3];
                    const int32_t height = std::array{480, 128, 201}[step++ % 3];
                    SCOPED_TRACE(Format("selection %d, yaw %d, pitch %d, zoom %g, %dx%d", selection, yaw,
                                        pitch, zoom, width, height));
                    const TRenderedPicture one =
                        renderer->Render({yaw, pitch, zoom}, width, height, TBackground::Transparent);
                    const TRenderedPicture two =
                        twoFrames.Render({yaw, pitch, zoom}, width, height, TBackground::Transparent);
                    ASSERT_EQ(one.Figure, two.Figure);
                    ASSERT_TRUE(one.Image == two.Image);
                    drawn += one.Figure.Empty() ? 0 : 1;
                }
    }
    EXPECT_GT(drawn, 54);
}

TEST_F(FigureExport, APictureDependsOnItsSizeNotOnTheRenderersLargest) {
    // A renderer made for exactly the picture's size, the large one after a
    // larger frame has filled its buffers, and a picture drawn into one that
    // held a larger picture of the other background: the same pixels every time.
    TOffscreenRenderer small(96, 128);
    ASSERT_TRUE(small.LoadModel("type1"));
    small.ComposeTextures(StartSelection());
    for (const TBackground background : {TBackground::Grey, TBackground::Transparent}) {
        const TRenderedPicture exact = small.Render({300, 40, 1.2f}, 96, 128, background);
        renderer->Render({}, kViewerWidth, kViewerHeight, background);
        const TRenderedPicture within = renderer->Render({300, 40, 1.2f}, 96, 128, background);
        EXPECT_EQ(within.Image, exact.Image);
        EXPECT_EQ(within.Figure, exact.Figure);
        EXPECT_FALSE(exact.Figure.Empty());
        TRenderedPicture reused;
        renderer->Render({2048, 0, 1.0f}, kViewerWidth, kViewerHeight,
                         background == TBackground::Grey ? TBackground::Transparent : TBackground::Grey,
                         reused);
        renderer->Render({300, 40, 1.2f}, 96, 128, background, reused);
        EXPECT_EQ(reused.Image, exact.Image);
        EXPECT_EQ(reused.Figure, exact.Figure);
    }
}

TEST_F(FigureExport, DamagedLayerRaisesAndMissingModelIsRefused) {
    EXPECT_FALSE(renderer->LoadModel("type99"));
    EXPECT_TRUE(renderer->HasModel());
    const std::string item = StartSelection()[plUpper];
    std::ofstream(LayerFileName(item, 1), std::ios::binary | std::ios::trunc) << "not a layer";
    EXPECT_ANY_THROW(renderer->ComposeTextures(StartSelection()));
}

TEST_F(FigureExport, TexturesWidenEveryBitExactly) {
    const std::vector<uint16_t> texels = {0x0000, 0x7FFF, 0x8000, 0xFFFF, 0x8421, 0x4210};
    const TRgbaImage image = WidenTexture(texels, 3, 2);
    EXPECT_EQ(image.Pixels, (std::vector<uint8_t>{0,   0,   0,   0,   255, 255, 255, 0,   0,   0,   0,   255,
                                                  255, 255, 255, 255, 8,   8,   8,   255, 132, 132, 132, 0}));
    EXPECT_THROW(WidenTexture(texels, 2, 2), std::invalid_argument);
    // The composed texture: every texel widened from its 5-bit value.
    const std::vector<uint16_t> front = renderer->TextureTexels(false);
    const TRgbaImage picture = Texture(false);
    for (size_t i = 0; i < front.size(); i += 97) {
        EXPECT_EQ(picture.Pixels[i * 4] >> 3, front[i] >> 10 & 31);
        EXPECT_EQ(picture.Pixels[i * 4 + 3], front[i] & 0x8000 ? 255 : 0);
    }
}

TEST_F(FigureExport, GeometrySplitsEveryDrawableTriangleOnce) {
    const TFigureGeometry geometry = SplitFigure(renderer->Model());
    const TMeshItem& object = renderer->Model().Objects[0];
    ASSERT_FALSE(geometry.Front.Empty());
    ASSERT_FALSE(geometry.Back.Empty());
    EXPECT_EQ(static_cast<int64_t>(geometry.Front.Indices.size() + geometry.Back.Indices.size()) / 3 +
                  geometry.DroppedTriangles,
              static_cast<int64_t>(object.Triangles.size()));
    for (const TFigureSide* side : {&geometry.Front, &geometry.Back}) {
        for (const uint32_t index : side->Indices) ASSERT_LT(index, side->Positions.size());
        for (const auto& n : side->Normals) ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-4f);
    }
    // Front triangles face +z on the whole, back ones -z.
    double frontZ = 0, backZ = 0;
    for (const auto& n : geometry.Front.Normals) frontZ += n[2];
    for (const auto& n : geometry.Back.Normals) backZ += n[2];
    EXPECT_GT(frontZ, 0);
    EXPECT_LT(backZ, 0);

    // Damaged corners are left out, not followed.
    TPdtRec broken = renderer->Model();
    broken.Objects[0].Triangles[0].A = 0xFFFF;
    broken.Objects[0].Triangles[1].B = broken.Objects[0].Triangles[1].A;
    const TFigureGeometry dropped = SplitFigure(broken);
    EXPECT_EQ(dropped.DroppedTriangles, geometry.DroppedTriangles + 2);
    EXPECT_TRUE(SplitFigure(TPdtRec{}).Front.Empty());
}

TEST_F(FigureExport, GlbLoadsWithBothTexturesAndPassesTheValidator) {
    const std::vector<uint8_t> glb =
        BuildGlb(renderer->Model(), Texture(false), Texture(true), "wardrobix test");
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    ASSERT_TRUE(
        loader.LoadBinaryFromMemory(&model, &error, &warning, glb.data(), static_cast<unsigned>(glb.size())))
        << error;
    ASSERT_EQ(model.meshes.size(), 1u);
    ASSERT_EQ(model.meshes[0].primitives.size(), 2u);
    ASSERT_EQ(model.materials.size(), 2u);
    ASSERT_EQ(model.images.size(), 2u);
    EXPECT_EQ(model.images[0].width, 256);
    EXPECT_EQ(model.images[0].height, 512);
    // The embedded pictures are the textures, texel for texel.
    EXPECT_EQ(model.images[0].image, Texture(false).Pixels);
    EXPECT_EQ(model.images[1].image, Texture(true).Pixels);
    const TFigureGeometry geometry = SplitFigure(renderer->Model());
    const auto& front = model.meshes[0].primitives[0];
    EXPECT_EQ(model.accessors[static_cast<size_t>(front.indices)].count, geometry.Front.Indices.size());
    EXPECT_EQ(model.accessors[static_cast<size_t>(front.attributes.at("POSITION"))].count,
              geometry.Front.Positions.size());
    EXPECT_EQ(model.asset.generator, "wardrobix test");
    EXPECT_ANY_THROW(BuildGlb(TPdtRec{}, Texture(false), Texture(true), "x"));

    // The Khronos validator: no errors, no warnings.
    const std::string file = dir / "figure.glb";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(glb.data()), static_cast<std::streamsize>(glb.size()));
    const std::string report = dir / "report.txt";
    const int status = std::system(
        ("node " WBX_SOURCE_DIR "/scripts/lib/validate-gltf.js '" + file + "' > '" + report + "' 2>&1")
            .c_str());
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 77 || WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "the glTF validator cannot be run here (node and npm's gltf-validator): "
                     << text.str();
    EXPECT_EQ(WEXITSTATUS(status), 0) << text.str();
}

TEST_F(FigureExport, ObjListsEveryVertexOnceAndNamesItsMaterials) {
    const TObjFiles files = BuildObj(renderer->Model(), "figure", "wardrobix test");
    const TFigureGeometry geometry = SplitFigure(renderer->Model());
    std::istringstream obj(files.Obj);
    size_t v = 0, vt = 0, vn = 0, f = 0, maxIndex = 0;
    std::vector<std::string> materials;
    for (std::string line; std::getline(obj, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        v += kind == "v";
        vt += kind == "vt";
        vn += kind == "vn";
        if (kind == "usemtl") materials.emplace_back(line.substr(7));
        if (kind != "f") continue;
        ++f;
        for (std::string corner; words >> corner;) maxIndex = std::max<size_t>(maxIndex, std::stoul(corner));
    }
    EXPECT_EQ(v, geometry.Front.Positions.size() + geometry.Back.Positions.size());
    EXPECT_EQ(vt, v);
    EXPECT_EQ(vn, v);
    EXPECT_EQ(f, (geometry.Front.Indices.size() + geometry.Back.Indices.size()) / 3);
    EXPECT_EQ(maxIndex, v);
    EXPECT_EQ(materials, (std::vector<std::string>{"front", "back"}));
    EXPECT_NE(files.Obj.find("mtllib figure.mtl"), std::string::npos);
    EXPECT_NE(files.Mtl.find("map_Kd figure_front.png"), std::string::npos);
    EXPECT_NE(files.Mtl.find("map_Kd figure_back.png"), std::string::npos);
}

std::vector<TRgbaImage> TurntableFrames(TOffscreenRenderer& renderer, int count, bool transparent) {
    std::vector<TRgbaImage> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(renderer
                             .Render({i * 4096 / count, 0, 1.0f}, 96, 72,
                                     transparent ? TBackground::Transparent : TBackground::Grey)
                             .Image);
    return frames;
}

TEST_F(FigureExport, WebpTurntableDecodesToTheFramesExactly) {
    const std::vector<TRgbaImage> frames = TurntableFrames(*renderer, 4, true);
    const std::vector<uint8_t> webp = EncodeAnimatedWebp(frames, 80);
    WebPData data{webp.data(), webp.size()};
    WebPAnimDecoderOptions options;
    ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    ASSERT_NE(decoder, nullptr);
    WebPAnimInfo info;
    ASSERT_TRUE(WebPAnimDecoderGetInfo(decoder, &info));
    EXPECT_EQ(info.frame_count, 4u);
    EXPECT_EQ(info.loop_count, 0u);
    int index = 0, previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &pixels, &timestamp));
        EXPECT_EQ(timestamp - previous, 80);
        previous = timestamp;
        EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 96 * 72 * 4),
                  frames[static_cast<size_t>(index)].Pixels)
            << "frame " << index;
        ++index;
    }
    WebPAnimDecoderDelete(decoder);
    EXPECT_EQ(index, 4);
    EXPECT_THROW(EncodeAnimatedWebp({}, 50), Exception);
    EXPECT_THROW(EncodeAnimatedWebp({frames[0], TRgbaImage(2, 2, true)}, 50), Exception);
}

TEST_F(FigureExport, GifTurntableHasEveryFrameAndTransparency) {
    const std::vector<TRgbaImage> frames = TurntableFrames(*renderer, 3, true);
    const std::vector<uint8_t> gif = EncodeAnimatedGif(frames, 70);
    const std::string file = dir / "turn.gif";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
    int error = 0;
    GifFileType* decoded = DGifOpenFileName(file.c_str(), &error);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(DGifSlurp(decoded), GIF_OK);
    ASSERT_EQ(decoded->ImageCount, 3);
    EXPECT_EQ(decoded->SWidth, 96);
    for (int i = 0; i < decoded->ImageCount; ++i) {
        GraphicsControlBlock control;
        ASSERT_EQ(DGifSavedExtensionToGCB(decoded, i, &control), GIF_OK);
        EXPECT_EQ(control.DelayTime, 7);
        ASSERT_NE(control.TransparentColor, NO_TRANSPARENT_COLOR);
        // Transparent exactly where the frame is.
        const SavedImage& image = decoded->SavedImages[i];
        ASSERT_EQ(image.ImageDesc.Width, 96);
        ASSERT_EQ(image.ImageDesc.Height, 72);
        for (int p = 0; p < 96 * 72; ++p)
            ASSERT_EQ(image.RasterBits[p] == control.TransparentColor,
                      frames[static_cast<size_t>(i)].Pixels[static_cast<size_t>(p) * 4 + 3] < 128)
                << "frame " << i << " pixel " << p;
    }
    DGifCloseFile(decoded, &error);
}

}  // namespace
}  // namespace wbx
