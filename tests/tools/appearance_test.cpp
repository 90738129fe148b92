// The generated figure and items as the viewer would show them: previews
// written for people to look at, and checks that the details land on the
// correct side of the figure from the front and from behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "figure_preview.h"
#include "format_readers.h"
#include "generated_folder.h"
#include "sampledata/data_folder.h"
#include "sampledata/part_catalogue.h"

namespace wbx::testing {
namespace {

using sampledata::ItemPrefix;

std::string AvatarFolder() { return GeneratedFolder() + "item/avatar/"; }
sampledata::ModelFile LoadType(int type) {
    return ReadModel(ReadFileBytes(GeneratedFolder() + "character/models/tpv/type" + std::to_string(type) + "/base.pdt"));
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

TEST(Appearance, WritesPreviewsOfTheFirstOutfitAndEveryList) {
    const std::string out = PreviewDirectory();
    const auto outfit = FirstOutfit();
    const Texture front = Compose(AvatarFolder(), outfit, false), back = Compose(AvatarFolder(), outfit, true);
    WriteTexturePng(out + "outfit-front-texture.png", front);
    WriteTexturePng(out + "outfit-back-texture.png", back);
    for (const int type : {1, 6, 9}) {
        const auto model = LoadType(type);
        WritePng(out + "type" + std::to_string(type) + "-front.png", 640, 480, RenderPreview(model, front, 0).Pixels);
        WritePng(out + "type" + std::to_string(type) + "-back.png", 640, 480, RenderPreview(model, back, 2048).Pixels);
    }
    const auto model = LoadType(1);
    WritePng(out + "type1-turned.png", 640, 480, RenderPreview(model, front, 600, 200).Pixels);
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
