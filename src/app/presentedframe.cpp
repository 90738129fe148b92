#include "app/presentedframe.h"

#include <cstring>

namespace wbx {

namespace {

using TFrameMemory = std::shared_ptr<const uint8_t[]>;

// The QImage's clean-up: its share of the device's buffer goes with the last
// copy of the image.
void ReleaseFrameMemory(void* share) { delete static_cast<TFrameMemory*>(share); }

}  // namespace

TPresentedFrame::TPresentedFrame(std::function<double()> refreshRate, std::function<bool()> canShow)
    : refreshRate_(std::move(refreshRate)), canShow_(std::move(canShow)) {}

void TPresentedFrame::PresentFrame(const uint8_t* bits, int pitch, int width, int height) {
    if (bits == nullptr || width <= 0 || height <= 0) return;
    // Valid only during the call: the frame is copied into memory of our own.
    if (!ownsImage_ || image_.width() != width || image_.height() != height) {
        image_ = QImage(width, height, QImage::Format_RGB32);
        ownsImage_ = true;
    }
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(bits + static_cast<ptrdiff_t>(y) * pitch);
        auto* out = reinterpret_cast<uint32_t*>(image_.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, in + x, sizeof pixel);  // the device's rows need not be aligned
            out[x] = pixel | 0xFF000000u;
        }
    }
    Presented();
}

void TPresentedFrame::PresentSharedFrame(const TFrameMemory& memory, const uint8_t* bits, int pitch,
                                         int width, int height) {
    // QImage takes rows of whole, aligned 32-bit pixels only; anything else is copied.
    const bool wrappable = memory != nullptr && bits != nullptr && width > 0 && height > 0 &&
                           pitch >= 4 * width && pitch % 4 == 0 &&
                           reinterpret_cast<uintptr_t>(bits) % alignof(uint32_t) == 0;
    if (!wrappable) return PresentFrame(bits, pitch, width, height);
    auto share = std::make_unique<TFrameMemory>(memory);
    QImage wrapped(bits, width, height, pitch, QImage::Format_RGB32, &ReleaseFrameMemory, share.get());
    if (wrapped.isNull()) return PresentFrame(bits, pitch, width, height);
    share.release();  // the image's now
    image_ = std::move(wrapped);
    ownsImage_ = false;
    Presented();
}

void TPresentedFrame::Repeat() {
    if (!image_.isNull()) Presented();
}

void TPresentedFrame::Presented() {
    ++frameCount_;
    if (OnPresent) OnPresent();
}

double TPresentedFrame::RefreshRate() const { return refreshRate_ ? refreshRate_() : 60.0; }

bool TPresentedFrame::CanShow() const { return canShow_ ? canShow_() : true; }

}  // namespace wbx
