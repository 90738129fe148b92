// The window's export items, driven offscreen: the picture is the view's
// pixels exactly (on grey, or cut out on transparent), larger ones are drawn
// larger, the files are written whole, the turntable can be cancelled, and
// auto-rotation turns the figure until a drag stops it.
#include "app/exportactions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <filesystem>

#include "app/mainwindow.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

class ExportActionsTest : public testing::ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        window = std::make_unique<TMainWindow>(Services());
        ASSERT_EQ(window->Form().StartupOutcome(), TStartupOutcome::Running);
        actions = new TExportActions(*window);
    }
    // The view's last frame as RGBA bytes.
    std::vector<uint8_t> ViewPixels() {
        EXPECT_TRUE(Frame(window->Form()));
        const QImage frame = window->Form().PresentedImage().convertToFormat(QImage::Format_RGBA8888);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < frame.height(); ++y)
            pixels.insert(pixels.end(), frame.constScanLine(y), frame.constScanLine(y) + frame.width() * 4);
        return pixels;
    }
    std::unique_ptr<TMainWindow> window;
    TExportActions* actions = nullptr;  // owned by the window
};

TEST_F(ExportActionsTest, MenuItemsWithTheirShortcuts) {
    QStringList texts;
    QMenu* file = window->Menu(TShellMenu::File);
    for (const QAction* action : file->actions())
        if (!action->isSeparator()) texts << action->text() + " " + action->shortcut().toString();
    EXPECT_EQ(texts, (QStringList{"&Save picture… Ctrl+S", "&Copy picture Ctrl+C", "Export &textures… ",
                                  "Export &model… ", "Save t&urntable… ", "&Quit Ctrl+Q"}));
    EXPECT_TRUE(actions->AutoRotateAction()->isCheckable());
    EXPECT_TRUE(window->Menu(TShellMenu::View)->actions().contains(actions->AutoRotateAction()));
}

TEST_F(ExportActionsTest, PictureIsTheViewExactlyAndLargerWhenAsked) {
    window->Form().Yaw = 300;
    window->Form().Pitch = -120;
    window->Form().UpdateModelPose();
    const std::vector<uint8_t> view = ViewPixels();
    const TRgbaImage picture = actions->Picture({});
    EXPECT_EQ(picture.Width, 640);
    EXPECT_EQ(picture.Pixels, view);

    // Transparent: the figure's pixels as shown, alpha 0 where the grey was.
    const TRgbaImage clear = actions->Picture({1, false, true});
    size_t figure = 0;
    for (size_t i = 0; i < view.size(); i += 4) {
        if (clear.Pixels[i + 3] == 0) continue;
        ASSERT_EQ(std::memcmp(&clear.Pixels[i], &view[i], 4), 0) << i / 4;
        ++figure;
    }
    EXPECT_GT(figure, 1000u);
    EXPECT_EQ(clear.Pixels[3], 0);

    const TRgbaImage large = actions->Picture({3, true, false});
    EXPECT_EQ(large.Width, 1920);
    EXPECT_EQ(large.Height, 1440);
}

TEST_F(ExportActionsTest, FilesAndClipboard) {
    actions->SavePicture(QString::fromStdString(dir / "p.png"), {2, false, true});
    QImage saved(QString::fromStdString(dir / "p.png"));
    EXPECT_EQ(saved.size(), QSize(1280, 960));
    EXPECT_TRUE(saved.hasAlphaChannel());

    actions->ExportTextures(QString::fromStdString(dir / "t"));
    EXPECT_EQ(QImage(QString::fromStdString(dir / "t_front.png")).size(), QSize(256, 512));
    EXPECT_EQ(QImage(QString::fromStdString(dir / "t_back.png")).size(), QSize(256, 512));
    actions->ExportModel(QString::fromStdString(dir / "m.glb"));
    actions->ExportModel(QString::fromStdString(dir / "m.obj"));
    for (const char* file : {"m.glb", "m.obj", "m.mtl", "m_front.png", "m_back.png"})
        EXPECT_TRUE(std::filesystem::exists(dir / file)) << file;

    actions->CopyPicture();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(640, 480));
}

TEST_F(ExportActionsTest, TurntableReportsProgressAndCancelWritesNothing) {
    std::vector<int> seen;
    EXPECT_FALSE(
        actions->SaveTurntable(QString::fromStdString(dir / "c.webp"), 6, false, [&](int done, int total) {
            seen.push_back(done);
            EXPECT_EQ(total, 6);
            return done < 3;
        }));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.webp"));
    EXPECT_TRUE(actions->SaveTurntable(QString::fromStdString(dir / "t.gif"), 4, true, nullptr));
    const QImage first(QString::fromStdString(dir / "t.gif"));
    EXPECT_EQ(first.size(), QSize(640, 480));
}

TEST_F(ExportActionsTest, AutoRotateTurnsAtASteadyPaceUntilADrag) {
    TForm1& form = window->Form();
    actions->SetAutoRotate(true);
    EXPECT_TRUE(actions->AutoRotateAction()->isChecked());
    const int32_t start = form.Yaw;
    // A quarter of the turn's time in uneven steps: a quarter turn.
    const int64_t quarter = kAutoRotateSeconds * 1000 / 4;
    for (int64_t spent = 0, step = 7; spent < quarter; spent += step, step = step % 23 + 5)
        actions->AdvanceRotation(std::min(step, quarter - spent));
    EXPECT_NEAR(((start - form.Yaw) % 4096 + 4096) % 4096, 1024, 1);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(320, 240), QPointF(320, 240), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &press);
    EXPECT_FALSE(actions->AutoRotateAction()->isChecked());
}

}  // namespace
}  // namespace wbx
