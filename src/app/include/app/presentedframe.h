#pragma once
// TPresentedFrame: where the viewer's device presents. Present hands over the
// back buffer (X8R8G8B8); this keeps a copy as the frame on screen, which the
// window paints under its lists and the snapshot writes as it is.
//
// GUI thread only: Present runs inside RenderIdle, on the window's thread.

#include <QImage>
#include <cstdint>
#include <functional>

#include "d3d9/presentationtarget.h"

namespace wbx {

class TPresentedFrame : public PresentationTarget {
public:
    // refreshRate: the refresh Present paces to, in Hz (0 or less: 60).
    // canShow: whether the window can show frames now (not while it is
    // minimised); its device is lost while it cannot. Either may be empty
    // (60 Hz; always).
    explicit TPresentedFrame(std::function<double()> refreshRate = {}, std::function<bool()> canShow = {});

    void PresentFrame(const uint8_t* bits, int pitch, int width, int height) override;
    double RefreshRate() const override;
    bool CanShow() const override;

    // The last frame presented, opaque RGB32; null before the first Present.
    const QImage& Image() const { return image_; }
    // Frames presented so far.
    uint64_t FrameCount() const { return frameCount_; }

    // Called after every presented frame (the window repaints); may be empty.
    std::function<void()> OnPresent;

private:
    std::function<double()> refreshRate_;
    std::function<bool()> canShow_;
    QImage image_;
    uint64_t frameCount_ = 0;
};

}  // namespace wbx
