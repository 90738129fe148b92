// The view on a high-DPI screen: at a device pixel ratio of 2 the back buffer
// and the frame are at device pixels (the offscreen renderer's picture at that
// size, not a 640 x 480 one scaled up), and so are the compare window's views;
// at a ratio of 1 the default-size first frame is the described one.
//
// The toolkit reads the scale factor once, when the application starts: the
// ratio-2 case runs in a child process of this program with QT_SCALE_FACTOR=2.
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "app/compareview.h"
#include "app/comparewindow.h"
#include "app/mainwindow.h"
#include "app/rgbaqimage.h"
#include "device/korvane.h"
#include "viewer/offscreenrenderer.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::ViewerTest;

constexpr const char* kChildSuite = "HighDpiAtRatio2";

bool InChild() { return qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2"); }

// The offscreen renderer's picture of what the form shows, at width x height.
QImage Offscreen(const TForm1& form, int width, int height) {
    TOffscreenRenderer renderer(width, height);
    renderer.SetModel(form.Pdt);
    renderer.ComposeTextures(form.PartSelection());
    return ToQImage(
        renderer.Render(TFigurePose{form.Yaw, form.Pitch, form.Zoom}, width, height, TBackground::Grey)
            .Image);
}

// The presented frame as plain pixels, comparable with a rendered picture.
QImage Pixels(const QImage& frame) {
    QImage image = frame.convertToFormat(QImage::Format_RGBX8888);
    image.setDevicePixelRatio(1);
    return image;
}

class HighDpiTest : public ViewerTest {
protected:
    void Check(double ratio) {
        TMainWindow window(Services(), dir / "outfits.txt");
        TForm1& form = window.Form();
        ASSERT_EQ(form.StartupOutcome(), TStartupOutcome::Running);
        TCompareWindow* compare = InstallCompareWindow(window);
        window.show();
        ASSERT_DOUBLE_EQ(form.devicePixelRatioF(), ratio);
        const int width = static_cast<int>(640 * ratio), height = static_cast<int>(480 * ratio);
        EXPECT_EQ(form.size(), QSize(640, 480));
        EXPECT_EQ(form.KV->Width, width);
        EXPECT_EQ(form.KV->Height, height);
        ASSERT_TRUE(Frame(form));
        ASSERT_EQ(form.PresentedImage().size(), QSize(width, height));
        EXPECT_TRUE(Pixels(form.PresentedImage()) == Offscreen(form, width, height));

        compare->show();
        TCompareView& view = compare->LeftView();
        const QSize expected(static_cast<int>(view.width() * ratio), static_cast<int>(view.height() * ratio));
        EXPECT_EQ(view.PixelSize(), expected);
        const QImage picture = view.Picture();
        EXPECT_EQ(picture.size(), expected);
        EXPECT_DOUBLE_EQ(picture.devicePixelRatio(), ratio);
    }
};

// Run by HighDpiTest.AtRatio2TheFrameIsAtDevicePixels in a child process.
class HighDpiAtRatio2 : public HighDpiTest {};

TEST_F(HighDpiAtRatio2, Child) {
    if (!InChild()) GTEST_SKIP() << "runs in the child process only";
    Check(2.0);
}

TEST_F(HighDpiTest, AtRatio1TheDefaultSizeFirstFrameIsTheDescribedOne) {
    if (InChild()) GTEST_SKIP();
    Check(1.0);
}

TEST_F(HighDpiTest, AtRatio2TheFrameIsAtDevicePixels) {
    if (InChild()) GTEST_SKIP();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString self = QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string());
    child.start(self, {QStringLiteral("--gtest_filter=%1.*").arg(QString::fromLatin1(kChildSuite))});
    ASSERT_TRUE(child.waitForFinished(120000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output;
    // It ran (not skipped) and passed.
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
    EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
}

}  // namespace
}  // namespace wbx
