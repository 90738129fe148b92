#pragma once
// TCompareView: one figure of the compare window, drawn by an offscreen
// renderer of its own (the project's software device, set up as the main
// view's) at the view's size in device pixels.
//
// A frame is drawn only when something it is drawn from changes (the model,
// the clothes, the pose, the size) and the view is painted: an idle view
// costs nothing. The mouse does not move the figure by itself: a drag and the
// wheel are handed to the window (OnDrag, OnWheel), which poses both views.

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "viewer/composition.h"
#include "viewer/ucommon.h"
#include "viewer/viewpose.h"

namespace wbx {

class TOffscreenRenderer;

class TCompareView : public QWidget {
public:
    explicit TCompareView(QWidget* parent = nullptr);
    ~TCompareView() override;

    // The figure's geometry (object 0 of model).
    void SetModel(TPdtRec model);
    // The clothes: composed now when they differ from those shown. A damaged
    // layer file raises; the view then shows what was composed until then.
    void SetSelection(const TPartSelection& selection);
    void SetPose(const TViewPose& pose);
    const TViewPose& Pose() const { return pose_; }

    // The frame at the view's size in device pixels, drawn anew when it is
    // stale; a null image when there is nothing to draw (no model yet).
    // Raises what the renderer raises.
    QImage Picture();
    // The size the frame is drawn at: the view's size times its device pixel
    // ratio, at least 1 x 1.
    QSize PixelSize() const;
    // Frames drawn so far.
    uint64_t FramesDrawn() const { return framesDrawn_; }

    // A drag with the left button moved by dx, dy pixels (logical ones, as
    // the main view counts them).
    std::function<void(int dx, int dy)> OnDrag;
    // The wheel turned by delta (eighths of a degree, as the main view takes it).
    std::function<void(int delta)> OnWheel;
    // A frame could not be drawn: the message, once per failure.
    std::function<void(const QString& message)> OnError;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // A renderer for frames of size, made anew (model and clothes applied
    // again) when the one there is too small.
    void EnsureRenderer(QSize size);
    void Invalidate();

    std::unique_ptr<TOffscreenRenderer> renderer_;
    TPdtRec model_;
    bool hasModel_ = false;
    TPartSelection selection_;
    bool composed_ = false;  // the renderer's textures are of selection_
    TViewPose pose_;
    QImage picture_;
    bool stale_ = true;  // picture_ is not of what the view shows now
    uint64_t framesDrawn_ = 0;
    bool dragging_ = false;
    QPoint dragAt_;  // last pointer position of a drag, logical pixels
};

}  // namespace wbx
