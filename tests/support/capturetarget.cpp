#include "capturetarget.h"

#include <cstddef>
#include <cstring>

namespace wbx::testing {

void CaptureTarget::PresentFrame(const uint8_t* bits, int pitch, int width, int height) {
    ++Frames;
    Width = width;
    Height = height;
    Pitch = pitch;
    Pixels.assign(bits, bits + static_cast<size_t>(pitch) * static_cast<size_t>(height));
}

uint32_t CaptureTarget::Pixel(int x, int y) const {
    uint32_t value;
    std::memcpy(&value, Pixels.data() + static_cast<size_t>(y) * Pitch + static_cast<size_t>(x) * 4, 4);
    return value;
}

std::array<int, 3> CaptureTarget::Rgb(int x, int y) const {
    const uint32_t pixel = Pixel(x, y);
    return {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

}  // namespace wbx::testing
