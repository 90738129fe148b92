#include "app/rgbaqimage.h"

#include <cstring>

namespace wbx {

QImage ToQImage(const TRgbaImage& image) {
    QImage out(image.Width, image.Height, image.HasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    for (int y = 0; y < image.Height; ++y) std::memcpy(out.scanLine(y), image.Row(y), image.RowBytes());
    return out;
}

}  // namespace wbx
