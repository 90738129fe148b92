#include "app/compareview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>

#include "app/rgbaqimage.h"
#include "viewer/offscreenrenderer.h"

namespace wbx {

namespace {

// The largest frame a view draws, in pixels a side (the renderer's limit).
constexpr int kLargestSide = 16384;

}  // namespace

TCompareView::TCompareView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
}

TCompareView::~TCompareView() = default;

QSize TCompareView::sizeHint() const { return QSize(400, 480); }

void TCompareView::SetModel(TPdtRec model) {
    if (renderer_) renderer_->SetModel(model);
    model_ = std::move(model);
    hasModel_ = true;
    Invalidate();
}

void TCompareView::SetSelection(const TPartSelection& selection) {
    if (composed_ && selection == selection_) return;
    selection_ = selection;
    composed_ = false;
    Invalidate();
    if (!renderer_) return;  // composed with the first frame
    // Marked composed first: a damaged layer is told once, not at every frame.
    composed_ = true;
    renderer_->ComposeTextures(selection_);
}

void TCompareView::SetPose(const TViewPose& pose) {
    if (pose == pose_) return;
    pose_ = pose;
    Invalidate();
}

QSize TCompareView::PixelSize() const {
    const double ratio = devicePixelRatioF();
    const auto side = [ratio](int logical) {
        return std::clamp(static_cast<int>(std::lround(logical * ratio)), 1, kLargestSide);
    };
    return QSize(side(width()), side(height()));
}

void TCompareView::EnsureRenderer(QSize size) {
    if (renderer_ && renderer_->MaxWidth() >= size.width() && renderer_->MaxHeight() >= size.height()) return;
    // Room to grow a little without a new device at every step of a resize.
    const int width = std::min(kLargestSide, std::max(size.width(), size.width() * 5 / 4));
    const int height = std::min(kLargestSide, std::max(size.height(), size.height() * 5 / 4));
    auto renderer = std::make_unique<TOffscreenRenderer>(width, height);
    if (hasModel_) renderer->SetModel(model_);
    renderer_ = std::move(renderer);
    composed_ = false;
}

QImage TCompareView::Picture() {
    if (!stale_) return picture_;
    if (!hasModel_) return QImage();
    const QSize size = PixelSize();
    EnsureRenderer(size);
    if (!composed_) {
        composed_ = true;
        renderer_->ComposeTextures(selection_);
    }
    const TRenderedPicture rendered = renderer_->Render(TFigurePose{pose_.Yaw, pose_.Pitch, pose_.Zoom},
                                                        size.width(), size.height(), TBackground::Grey);
    picture_ = ToQImage(rendered.Image);
    picture_.setDevicePixelRatio(devicePixelRatioF());
    stale_ = false;
    ++framesDrawn_;
    return picture_;
}

void TCompareView::Invalidate() {
    stale_ = true;
    update();
}

void TCompareView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QImage picture;
    try {
        picture = Picture();
    } catch (const std::exception& error) {
        // Shown as it is until something changes; told once.
        stale_ = false;
        if (OnError) OnError(QString::fromStdString(error.what()));
    }
    if (picture.isNull()) {
        painter.fillRect(rect(), QColor::fromRgb(kViewerBackground));
        return;
    }
    painter.drawImage(QPoint(0, 0), picture);
}

void TCompareView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate();
}

void TCompareView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return event->ignore();
    dragging_ = true;
    dragAt_ = event->position().toPoint();
}

void TCompareView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !event->buttons().testFlag(Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    const QPoint moved = at - dragAt_;
    dragAt_ = at;
    if (OnDrag && !moved.isNull()) OnDrag(moved.x(), moved.y());
}

void TCompareView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void TCompareView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return event->ignore();
    if (OnWheel) OnWheel(delta);
}

}  // namespace wbx
