// The peer of the viewer's start-up: a bare Qt 6 program that shows one
// 640 x 480 image (the viewer's grey) in a window and, once the window has
// painted it, writes it as PNG to the file named by its argument and ends -
// what the viewer's snapshot run does with its first frame. Without an
// argument it ends once painted, as the window's start-up measure does. Run
// by wbx_bench_app (BM_StartToFirstFrame).
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class ImageWindow : public QWidget {
public:
    explicit ImageWindow(QString fileName)
        : image_(640, 480, QImage::Format_RGB32), fileName_(std::move(fileName)) {
        image_.fill(QColor(0x88, 0x88, 0x88));
        setFixedSize(640, 480);
    }
    bool Saved = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).drawImage(0, 0, image_);
        if (Saved) return;
        Saved = fileName_.isEmpty() || image_.save(fileName_, "PNG");
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    QImage image_;
    QString fileName_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ImageWindow window(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    window.show();
    application.exec();
    return window.Saved ? 0 : 1;
}
