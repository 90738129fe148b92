#include "app/presentedframe.h"

#include <cstring>

namespace wbx {

TPresentedFrame::TPresentedFrame(std::function<double()> refreshRate, std::function<bool()> canShow)
    : refreshRate_(std::move(refreshRate)), canShow_(std::move(canShow)) {}

void TPresentedFrame::PresentFrame(const uint8_t* bits, int pitch, int width, int height) {
    if (bits == nullptr || width <= 0 || height <= 0) return;
    if (image_.width() != width || image_.height() != height)
        image_ = QImage(width, height, QImage::Format_RGB32);
    // X8R8G8B8 is RGB32's layout except for the unused byte, which RGB32
    // requires to be 0xFF; the device leaves it as it pleases.
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(bits + static_cast<ptrdiff_t>(y) * pitch);
        auto* out = reinterpret_cast<uint32_t*>(image_.scanLine(y));
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, in + x, sizeof pixel);  // the device's rows need not be aligned
            out[x] = pixel | 0xFF000000u;
        }
    }
    ++frameCount_;
    if (OnPresent) OnPresent();
}

double TPresentedFrame::RefreshRate() const { return refreshRate_ ? refreshRate_() : 60.0; }

bool TPresentedFrame::CanShow() const { return canShow_ ? canShow_() : true; }

}  // namespace wbx
