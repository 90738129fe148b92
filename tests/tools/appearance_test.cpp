// The generated figure and items as the viewer would show them: previews
// written for people to look at, and checks that the details land on the
// correct side of the figure from the front and from behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "figurepreview.h"
#include "formatreaders.h"
#include "generatedfolder.h"
#include "sampledata/datafolder.h"
#include "sampledata/partcatalogue.h"

namespace wbx::testing {
namespace {

using sampledata::ItemPrefix;

std::string AvatarFolder() { return GeneratedFolder() + "item/avatar/"; }
sampledata::ModelFile LoadType(int type) {
    return ReadModel(
        ReadFileBytes(GeneratedFolder() + "character/models/tpv/type" + std::to_string(type) + "/base.pdt"));
}
std::string PreviewDirectory() {
    const std::string path = std::string(WBX_TEST_BINARY_DIR) + "/preview/";
    std::filesystem::create_directories(path);
    return path;
}

// The viewer's first selections: the first hair, body, upper, bottom and shoes.
std::array<std::string, 10> FirstOutfit() {
    std::array<std::string, 10> selection;
    for (int list = 0; list < 5; ++list) selection[list] = ItemPrefix(list, 0);
    return selection;
}

// Slope of screen x against screen y over the non-background pixels: positive
// when the drawn shape runs from upper left to lower right.
double DrawnSlope(const PreviewImage& image, int& count) {
    double sx = 0, sy = 0, sxy = 0, syy = 0;
    count = 0;
    for (int y = 0; y < PreviewImage::kHeight; ++y) {
        for (int x = 0; x < PreviewImage::kWidth; ++x) {
            if (image.Pixels[static_cast<size_t>(y) * PreviewImage::kWidth + x] == kBackground) continue;
            sx += x, sy += y, sxy += double(x) * y, syy += double(y) * y;
            ++count;
        }
    }
    return count ? (sxy - sx * sy / count) / (syy - sy * sy / count) : 0;
}

// Mean screen x of the drawn pixels in the top rows of the drawing.
double MeanXOfTopRows(const PreviewImage& image, int rows) {
    int top = -1;
    double sum = 0;
    int count = 0;
    for (int y = 0; y < PreviewImage::kHeight; ++y) {
        for (int x = 0; x < PreviewImage::kWidth; ++x) {
            if (image.Pixels[static_cast<size_t>(y) * PreviewImage::kWidth + x] == kBackground) continue;
            if (top < 0) top = y;
            if (y >= top + rows) return count ? sum / count : 0;
            sum += x;
            ++count;
        }
    }
    return count ? sum / count : 0;
}

TEST(Appearance, StrapRunsFromTheRightShoulderToTheLeftHipInBothViews) {
    // The bag strap alone, without a body: whatever is drawn is strap or bag.
    std::array<std::string, 10> selection;
    selection[9] = ItemPrefix(9, 0);
    const auto model = LoadType(1);
    int frontCount = 0, backCount = 0;
    const PreviewImage front = RenderPreview(model, Compose(AvatarFolder(), selection, false), 0);
    const PreviewImage back = RenderPreview(model, Compose(AvatarFolder(), selection, true), 2048);
    // From the front the figure's right shoulder is on the screen's left: the
    // strap falls from upper left to lower right; from behind the other way.
    EXPECT_GT(DrawnSlope(front, frontCount), 0.3);
    EXPECT_LT(DrawnSlope(back, backCount), -0.3);
    EXPECT_GT(frontCount, 500);
    EXPECT_GT(backCount, 500);
    EXPECT_LT(MeanXOfTopRows(front, 10), 320);
    EXPECT_GT(MeanXOfTopRows(back, 10), 320);
}

TEST(Appearance, ModelRightSideShowsOnTheLeftFromTheFrontAndOnTheRightFromBehind) {
    // A texture whose image-left half (the figure's right) is red and the rest blue.
    Texture halves(256 * 512);
    for (int r = 0; r < 512; ++r) {
        for (int c = 0; c < 256; ++c) halves[r * 256 + c] = c < 128 ? 0xFC00 : 0x801F;
    }
    for (const int type : {1, 5, 10}) {
        const auto model = LoadType(type);
        for (const int yaw : {0, 2048}) {
            const PreviewImage image = RenderPreview(model, halves, yaw);
            long redX = 0, blueX = 0, reds = 0, blues = 0;
            for (int y = 0; y < PreviewImage::kHeight; ++y) {
                for (int x = 0; x < PreviewImage::kWidth; ++x) {
                    const uint32_t p = image.Pixels[y * PreviewImage::kWidth + x];
                    if (p == kBackground) continue;
                    if ((p >> 16) > (p & 255)) {
                        redX += x, ++reds;
                    } else {
                        blueX += x, ++blues;
                    }
                }
            }
            ASSERT_GT(reds, 1000);
            ASSERT_GT(blues, 1000);
            if (yaw == 0) {
                EXPECT_LT(redX / reds, 320) << "type" << type;
                EXPECT_GT(blueX / blues, 320) << "type" << type;
            } else {
                EXPECT_GT(redX / reds, 320) << "type" << type;
                EXPECT_LT(blueX / blues, 320) << "type" << type;
            }
        }
    }
}

TEST(Appearance, HairPartingIsOnTheFiguresLeftInBothTextures) {
    // The dark first hair shows its light parting line on the figure's left:
    // texture columns right of the centre (model -x) in both textures.
    for (const int layer : {2, 4}) {
        const std::string file = AvatarFolder() + sampledata::LayerFileName(ItemPrefix(0, 0), layer);
        const sampledata::LayerImage image = ReadLayer(ReadCompressed(ReadFileBytes(file)));
        long sum = 0, count = 0;
        for (int y = 0; y < image.H; ++y) {
            for (int x = 0; x < image.W; ++x) {
                const uint16_t p = image.Pixels[y * image.W + x];
                if ((p & sampledata::kAlphaBit) && ((p >> 10) & 31) > 20) sum += image.X + x, ++count;
            }
        }
        ASSERT_GT(count, 5) << "layer " << layer;
        EXPECT_GT(sum / count, 128 + 5) << "layer " << layer;
    }
}

TEST(Appearance, BodyLayersCoverEveryTriangleOfEveryTypeWithAFilterMargin) {
    std::array<std::string, 10> selection;
    selection[1] = ItemPrefix(1, 0);
    for (const bool back : {false, true}) {
        const Texture texture = Compose(AvatarFolder(), selection, back);
        for (int type = 1; type <= 10; ++type) {
            const auto model = LoadType(type);
            const auto& vertices = model.Objects[0].Vertices;
            int holes = 0;
            auto check = [&](float u, float v) {
                // Linear filtering reads the texels around (u*256 - 0.5, v*512 - 0.5).
                const int c = static_cast<int>(std::floor(u * 256 - 0.5f)),
                          r = static_cast<int>(std::floor(v * 512 - 0.5f));
                for (int dr = 0; dr <= 1; ++dr) {
                    for (int dc = 0; dc <= 1; ++dc) {
                        const int cc = std::clamp(c + dc, 0, 255), rr = std::clamp(r + dr, 0, 511);
                        holes += !(texture[rr * 256 + cc] & sampledata::kAlphaBit);
                    }
                }
            };
            for (const auto& t : model.Objects[0].Triangles) {
                const auto &a = vertices[t.A], &b = vertices[t.B], &c = vertices[t.C];
                check(a.U, a.V);
                check((a.U + b.U + c.U) / 3, (a.V + b.V + c.V) / 3);
            }
            EXPECT_EQ(holes, 0) << "type" << type << (back ? " back" : " front");
        }
    }
}

TEST(Appearance, WritesPreviewsOfTheFirstOutfitAndEveryList) {
    const std::string out = PreviewDirectory();
    const auto outfit = FirstOutfit();
    const Texture front = Compose(AvatarFolder(), outfit, false),
                  back = Compose(AvatarFolder(), outfit, true);
    WriteTexturePng(out + "outfit-front-texture.png", front);
    WriteTexturePng(out + "outfit-back-texture.png", back);
    for (const int type : {1, 6, 9}) {
        const auto model = LoadType(type);
        WritePng(out + "type" + std::to_string(type) + "-front.png", 640, 480,
                 RenderPreview(model, front, 0).Pixels);
        WritePng(out + "type" + std::to_string(type) + "-back.png", 640, 480,
                 RenderPreview(model, back, 2048).Pixels);
    }
    const auto model = LoadType(1);
    WritePng(out + "type1-turned.png", 640, 480, RenderPreview(model, front, 600, 200).Pixels);
    WritePng(out + "type1-from-above.png", 640, 480, RenderPreview(model, front, 300, 800).Pixels);
    WritePng(out + "type1-from-below.png", 640, 480, RenderPreview(model, back, 2300, -800).Pixels);
    // Every item of every list over the body, front and back side by side.
    for (int list = 0; list < sampledata::kPartListCount; ++list) {
        for (int item = 0; item < sampledata::PartLists()[list].ItemCount; ++item) {
            std::array<std::string, 10> selection;
            selection[1] = ItemPrefix(1, 0);
            selection[list] = ItemPrefix(list, item);
            const PreviewImage f = RenderPreview(model, Compose(AvatarFolder(), selection, false), 0);
            const PreviewImage b = RenderPreview(model, Compose(AvatarFolder(), selection, true), 2048);
            std::vector<uint32_t> pair(640 * 480);
            for (int y = 0; y < 480; ++y) {
                for (int x = 0; x < 320; ++x) {
                    pair[y * 640 + x] = f.Pixels[y * 640 + x + 160];
                    pair[y * 640 + 320 + x] = b.Pixels[y * 640 + x + 160];
                }
            }
            WritePng(out + ItemPrefix(list, item) + ".png", 640, 480, pair);
        }
    }
    SUCCEED() << "previews in " << out;
}

}  // namespace
}  // namespace wbx::testing
