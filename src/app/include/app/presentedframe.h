#pragma once
// TPresentedFrame: where the viewer's device presents. The frame on show is
// the device's front buffer itself: Present hands over a share of its memory
// (X8R8G8B8 is RGB32's layout), this wraps it in a QImage without copying a
// pixel, and the window paints that image under its lists. The device draws
// the next frame into its other buffer, and takes this one back once the
// next frame is on show (two buffers in turn); whoever still holds a copy of
// the image keeps its memory alive and unchanged.
//
// RGB32 wants the unused byte to be 0xFF. The device never writes it but for
// Clear, and the viewer clears every frame to an opaque colour, so its frames
// pass as they are. A device that presents without sharing its memory
// (PresentFrame) gets its frame copied, with the byte set.
//
// GUI thread only: Present runs inside RenderIdle, on the window's thread.

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>

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
    void PresentSharedFrame(const std::shared_ptr<const uint8_t[]>& memory, const uint8_t* bits, int pitch,
                            int width, int height) override;
    double RefreshRate() const override;
    bool CanShow() const override;

    // Shows the frame on show once more, as a new frame (counted, OnPresent
    // called), when the device would draw the very same pixels; nothing
    // before the first Present.
    void Repeat();

    // The last frame presented, RGB32; null before the first Present.
    const QImage& Image() const { return image_; }
    // Frames presented so far.
    uint64_t FrameCount() const { return frameCount_; }

    // Called after every presented frame (the window repaints); may be empty.
    std::function<void()> OnPresent;

private:
    void Presented();

    std::function<double()> refreshRate_;
    std::function<bool()> canShow_;
    QImage image_;
    bool ownsImage_ = false;  // image_ is memory of ours (a copied frame), not the device's
    uint64_t frameCount_ = 0;
};

}  // namespace wbx
