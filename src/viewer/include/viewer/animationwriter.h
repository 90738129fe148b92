#pragma once
// Animated pictures of a sequence of equally timed frames (the turntable):
// animated WebP through libwebp's animation encoder (lossless: the frames'
// colours and alpha exactly), and GIF through giflib (one palette of at most
// 256 colours for the whole animation, see colorquantizer.h; a pixel with
// alpha below 128 is transparent). Both loop forever.

#include <cstdint>
#include <vector>

#include "viewer/rgbaimage.h"

namespace wbx {

// Frames of one size; frameMilliseconds the time each is shown (GIF rounds
// it to hundredths of a second, at least 2). Raises Exception when there are
// no frames, their sizes differ, or the encoder fails.
std::vector<uint8_t> EncodeAnimatedWebp(const std::vector<TRgbaImage>& frames, int32_t frameMilliseconds);
std::vector<uint8_t> EncodeAnimatedGif(const std::vector<TRgbaImage>& frames, int32_t frameMilliseconds);

}  // namespace wbx
