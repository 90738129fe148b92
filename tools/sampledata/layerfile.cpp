#include "sampledata/layerfile.h"

#include <span>
#include <stdexcept>

#include "sampledata/bytewriter.h"

namespace wbx::sampledata {

std::vector<uint8_t> EncodeLayerContent(const LayerImage& layer, const LayerFileOptions& options) {
    const size_t pixelCount = static_cast<size_t>(layer.W) * layer.H;
    if (layer.Pixels.size() != pixelCount) throw std::invalid_argument("layer pixels must number W*H");
    if (options.MissingPixels > pixelCount) throw std::invalid_argument("more pixels missing than exist");
    ByteWriter out;
    out.Reserve(8 + 2 * pixelCount + options.TrailingBytes);
    out.Put(layer.X);
    out.Put(layer.Y);
    out.Put(layer.W);
    out.Put(layer.H);
    out.PutArray(std::span<const uint16_t>(layer.Pixels).first(pixelCount - options.MissingPixels));
    out.PutFill(options.TrailingBytes, options.TrailingFill);
    return out.Take();
}

std::vector<uint8_t> EncodeLayerFile(const LayerImage& layer, const LayerFileOptions& options) {
    return EncodeCompressedFile(EncodeLayerContent(layer, options), options.Wrapper);
}

}  // namespace wbx::sampledata
