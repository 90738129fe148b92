#include "viewer/textureexport.h"

#include <stdexcept>

namespace wbx {

TRgbaImage WidenTexture(std::span<const uint16_t> texels, int32_t width, int32_t height) {
    if (width < 0 || height < 0 || texels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
        throw std::invalid_argument("WidenTexture: the texels do not match the size");
    TRgbaImage image(width, height, true);
    uint8_t* out = image.Pixels.data();
    for (const uint16_t texel : texels) {
        WidenA1R5G5B5(texel, out);
        out += 4;
    }
    return image;
}

}  // namespace wbx
