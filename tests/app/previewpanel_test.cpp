// The flat preview of the composed textures: each texel as the texture holds
// it (widened to eight bits a colour), nearest at every scale, the
// checkerboard where a texel has no alpha, and a new picture after every
// composition, also one made while the panel was hidden.
#include "app/previewpanel.h"

#include <QAction>
#include <QTest>

#include "app/mainwindow.h"
#include "device/texture.h"
#include "viewer/texelimage.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::TextureTexels;
using testing::UserSelects;
using testing::ViewerTest;

// The texture's texels as the preview must show them.
QImage Expected(TKVTexture& texture) {
    const std::vector<uint8_t> texels = TextureTexels(texture);
    const std::vector<uint32_t> pixels = ArgbOfA1R5G5B5Rows(texels.data(), 512, 256, 512);
    QImage image(256, 512, QImage::Format_ARGB32);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 256; ++x) image.setPixel(x, y, pixels[size_t(y) * 256 + size_t(x)]);
    return image;
}

TEST(TexelImage, FiveBitColoursWidenToEightAndTheAlphaBitToAByte) {
    EXPECT_EQ(ArgbOfA1R5G5B5(0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(ArgbOfA1R5G5B5(0x0000), 0x00000000u);
    EXPECT_EQ(ArgbOfA1R5G5B5(0x8000 | 31 << 10), 0xFFFF0000u);
    EXPECT_EQ(ArgbOfA1R5G5B5(0x8000 | 31 << 5), 0xFF00FF00u);
    EXPECT_EQ(ArgbOfA1R5G5B5(31), 0x000000FFu);  // colour kept without alpha
    EXPECT_EQ(ArgbOfA1R5G5B5(0x8000 | 16 << 10 | 1 << 5 | 15), 0xFF84087Bu);
    // Rows are read at their pitch; the bytes between rows are not pixels.
    const uint8_t texels[] = {0xFF, 0xFF, 0x00, 0x80, 0xAA, 0xAA, 0x1F, 0x80, 0x00, 0x00, 0xBB, 0xBB};
    EXPECT_EQ(ArgbOfA1R5G5B5Rows(texels, 6, 2, 2),
              (std::vector<uint32_t>{0xFFFFFFFFu, 0xFF000000u, 0xFF0000FFu, 0x00000000u}));
}

class PreviewPanelTest : public ViewerTest {
protected:
    std::unique_ptr<TMainWindow> CreateWindow() {
        return std::make_unique<TMainWindow>(Services(), dir / "outfits.txt");
    }
};

TEST_F(PreviewPanelTest, ShowsBothTexturesAsComposedAtEveryScale) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    TPreviewPanel& preview = window->Preview();
    EXPECT_FALSE(preview.isVisible());  // a panel starts hidden
    window->show();
    preview.toggleViewAction()->trigger();
    ASSERT_TRUE(preview.isVisible());
    EXPECT_EQ(form.size(), QSize(640, 480));  // the window grew instead

    EXPECT_EQ(preview.FrontImage(), Expected(*form.FrontTexture));
    EXPECT_EQ(preview.BackImage(), Expected(*form.BackTexture));
    EXPECT_NE(preview.FrontImage(), preview.BackImage());

    for (int scale = 1; scale <= kPreviewScaleMax; ++scale) {
        preview.SetScale(scale);
        const QImage canvas = preview.CanvasImage();
        const QRect front = preview.FrontRect();
        const QRect back = preview.BackRect();
        ASSERT_EQ(front.size(), QSize(256 * scale, 512 * scale));
        EXPECT_FALSE(front.intersects(back));
        // Every screen pixel of a texel shows that texel where it has alpha,
        // the checkerboard (opaque, light or dark) where it has none.
        int opaque = 0, checker = 0;
        for (int ty = 0; ty < 512; ty += 7) {
            for (int tx = 0; tx < 256; tx += 5) {
                const QRgb texel = preview.FrontImage().pixel(tx, ty);
                for (const QPoint corner : {QPoint(0, 0), QPoint(scale - 1, scale - 1)}) {
                    const QRgb shown =
                        canvas.pixel(front.topLeft() + QPoint(tx * scale, ty * scale) + corner);
                    if (qAlpha(texel) == 255) {
                        ASSERT_EQ(shown, texel) << tx << "," << ty << " at " << scale;
                        ++opaque;
                    } else {
                        ASSERT_TRUE(shown == 0xFFFFFFFF || shown == 0xFFCCCCCC) << std::hex << shown;
                        ++checker;
                    }
                }
            }
        }
        EXPECT_GT(opaque, 100);
        EXPECT_GT(checker, 100);
        // The back texture beside it, texel for texel.
        for (int ty = 0; ty < 512; ty += 31)
            for (int tx = 0; tx < 256; tx += 17)
                if (qAlpha(preview.BackImage().pixel(tx, ty)) == 255) {
                    ASSERT_EQ(canvas.pixel(back.topLeft() + QPoint(tx * scale, ty * scale)),
                              preview.BackImage().pixel(tx, ty));
                }
    }
    // Out of range scales are brought into range.
    preview.SetScale(9);
    EXPECT_EQ(preview.Scale(), kPreviewScaleMax);
    preview.SetScale(0);
    EXPECT_EQ(preview.Scale(), 1);
}

TEST_F(PreviewPanelTest, FollowsEveryCompositionAlsoWhileHidden) {
    auto window = CreateWindow();
    TForm1& form = window->Form();
    TPreviewPanel& preview = window->Preview();
    window->show();
    preview.toggleViewAction()->trigger();
    const QImage before = preview.FrontImage();

    UserSelects(form.cbUpper, form.cbUpper->currentIndex() + 1);
    EXPECT_NE(preview.FrontImage(), before);
    EXPECT_EQ(preview.FrontImage(), Expected(*form.FrontTexture));

    preview.toggleViewAction()->trigger();
    ASSERT_FALSE(preview.isVisible());
    UserSelects(form.cbWear, 1);
    const QImage hidden = preview.FrontImage();
    preview.toggleViewAction()->trigger();
    EXPECT_NE(preview.FrontImage(), hidden);
    EXPECT_EQ(preview.FrontImage(), Expected(*form.FrontTexture));
}

}  // namespace
}  // namespace wbx
