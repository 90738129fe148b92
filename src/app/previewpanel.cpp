#include "app/previewpanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/umain.h"
#include "d3d9/d3d9.h"
#include "device/texture.h"
#include "viewer/texelimage.h"

namespace wbx {

namespace {

constexpr int kGap = 8;           // between the two textures, screen pixels
constexpr int kLabelHeight = 18;  // the row of "Front" and "Back"
constexpr int kCheckerSize = 8;   // a checkerboard square, screen pixels
constexpr QRgb kCheckerLight = 0xFFFFFFFF;
constexpr QRgb kCheckerDark = 0xFFCCCCCC;
// The size shown when a texture cannot be read.
constexpr int kDefaultWidth = 256;
constexpr int kDefaultHeight = 512;

}  // namespace

class TPreviewPanel::TCanvas : public QWidget {
public:
    explicit TCanvas(TPreviewPanel& panel) : panel_(panel) {}

    QSize sizeHint() const override {
        return QSize(panel_.BackRect().right() + 1, panel_.BackRect().bottom() + 1);
    }

    void Paint(QPainter& painter) const {
        painter.fillRect(QRect(QPoint(0, 0), sizeHint()), palette().window());
        painter.setPen(palette().windowText().color());
        for (const auto& [rect, image, label] :
             {std::tuple{panel_.FrontRect(), &panel_.front_, QStringLiteral("Front")},
              std::tuple{panel_.BackRect(), &panel_.back_, QStringLiteral("Back")}}) {
            painter.drawText(QRect(rect.left(), 0, rect.width(), kLabelHeight), Qt::AlignCenter, label);
            for (int y = 0; y < rect.height(); y += kCheckerSize)
                for (int x = 0; x < rect.width(); x += kCheckerSize)
                    painter.fillRect(
                        QRect(rect.left() + x, rect.top() + y, std::min(kCheckerSize, rect.width() - x),
                              std::min(kCheckerSize, rect.height() - y)),
                        QColor::fromRgba(((x + y) / kCheckerSize) % 2 == 0 ? kCheckerLight : kCheckerDark));
            // Nearest sampling: no smooth transformation is asked for.
            if (!image->isNull()) painter.drawImage(rect, *image);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Paint(painter);
    }

private:
    TPreviewPanel& panel_;
};

TPreviewPanel::TPreviewPanel(TForm1& form, QWidget* parent)
    : QDockWidget(QStringLiteral("Texture preview"), parent), form_(form) {
    setObjectName(QStringLiteral("TexturePreview"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    auto* controls = new QHBoxLayout();
    auto* label = new QLabel(QStringLiteral("&Scale:"), content);
    scaleBox_ = new QComboBox(content);
    for (int scale = 1; scale <= kPreviewScaleMax; ++scale)
        scaleBox_->addItem(QStringLiteral("%1\u00D7").arg(scale), scale);
    label->setBuddy(scaleBox_);
    controls->addWidget(label);
    controls->addWidget(scaleBox_);
    controls->addStretch();
    layout->addLayout(controls);
    canvas_ = new TCanvas(*this);
    auto* scroll = new QScrollArea(content);
    scroll->setWidget(canvas_);
    layout->addWidget(scroll);
    setWidget(content);
    canvas_->resize(canvas_->sizeHint());
    // Both textures side by side at 1x fit; larger scales scroll.
    scroll->setMinimumWidth(canvas_->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() +
                            2 * scroll->frameWidth());
    connect(scaleBox_, &QComboBox::currentIndexChanged, this, [this](int index) { SetScale(index + 1); });
}

void TPreviewPanel::SetScale(int scale) {
    scale_ = std::clamp(scale, 1, kPreviewScaleMax);
    if (scaleBox_->currentIndex() != scale_ - 1) scaleBox_->setCurrentIndex(scale_ - 1);
    canvas_->resize(canvas_->sizeHint());
    canvas_->update();
}

QRect TPreviewPanel::FrontRect() const {
    const QSize size = front_.isNull() ? QSize(kDefaultWidth, kDefaultHeight) : front_.size();
    return QRect(0, kLabelHeight, size.width() * scale_, size.height() * scale_);
}

QRect TPreviewPanel::BackRect() const {
    const QSize size = back_.isNull() ? QSize(kDefaultWidth, kDefaultHeight) : back_.size();
    return QRect(FrontRect().right() + 1 + kGap, kLabelHeight, size.width() * scale_, size.height() * scale_);
}

QImage TPreviewPanel::CanvasImage() const {
    QImage image(canvas_->sizeHint(), QImage::Format_ARGB32);
    QPainter painter(&image);
    canvas_->Paint(painter);
    return image;
}

void TPreviewPanel::TexturesComposed() {
    stale_ = true;
    if (isVisible()) Read();
}

void TPreviewPanel::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    if (stale_) Read();
}

void TPreviewPanel::Read() {
    front_ = ImageOf(form_.FrontTexture.get());
    back_ = ImageOf(form_.BackTexture.get());
    stale_ = false;
    canvas_->resize(canvas_->sizeHint());
    canvas_->update();
}

QImage TPreviewPanel::ImageOf(TKVTexture* texture) {
    if (texture == nullptr || texture->Texture == nullptr || texture->Format != D3DFMT_A1R5G5B5 ||
        texture->Width == 0 || texture->Height == 0)
        return QImage();
    D3DLOCKED_RECT locked{};
    if (texture->Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK ||
        locked.pBits == nullptr)
        return QImage();
    const uint32_t width = std::min(texture->Width, texture->TextureWidth);
    const uint32_t height = std::min(texture->Height, texture->TextureHeight);
    const std::vector<uint32_t> pixels = ArgbOfA1R5G5B5Rows(static_cast<const uint8_t*>(locked.pBits),
                                                            static_cast<size_t>(locked.Pitch), width, height);
    texture->Texture->UnlockRect(0);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32);
    for (uint32_t y = 0; y < height; ++y)
        std::copy_n(pixels.data() + size_t{y} * width, width,
                    reinterpret_cast<uint32_t*>(image.scanLine(int(y))));
    return image;
}

}  // namespace wbx
