#pragma once
// A quick CPU preview of a textured figure as the viewer frames it: camera at
// (0, 0, 130) looking down -z with its right vector -x, a horizontal field of
// view of pi/4 on 640 x 480, and the figure posed by yaw and pitch about the
// model point (0, 36, 0). It is a check of the generated data, not a
// renderer: nearest texel, one light from the camera, alpha by the texel's
// alpha bit over the viewer's grey, depth written for every covered pixel.

#include <cstdint>
#include <string>
#include <vector>

#include "formatreaders.h"
#include "sampledata/modelfile.h"

namespace wbx::testing {

struct PreviewImage {
    static constexpr int kWidth = 640, kHeight = 480;
    std::vector<uint32_t> Pixels = std::vector<uint32_t>(kWidth * kHeight, 0x888888);  // 0xRRGGBB
};
inline constexpr uint32_t kBackground = 0x888888;

// yaw and pitch in the viewer's angle unit (4096 per turn).
PreviewImage RenderPreview(const sampledata::ModelFile& model, const Texture& texture, int yaw,
                           int pitch = 0);

// Writes an RGB PNG of width x height pixels (0xRRGGBB each).
void WritePng(const std::string& fileName, int width, int height, const std::vector<uint32_t>& pixels);
// The texture as an RGB PNG, transparent texels in magenta.
void WriteTexturePng(const std::string& fileName, const Texture& texture);

}  // namespace wbx::testing
