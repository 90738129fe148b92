#pragma once
// A picture of the viewer's core (TRgbaImage) as the toolkit's image: the same
// bytes, RGBA or RGBX by whether the picture carries alpha.

#include <QImage>

#include "viewer/rgbaimage.h"

namespace wbx {

QImage ToQImage(const TRgbaImage& image);

}  // namespace wbx
