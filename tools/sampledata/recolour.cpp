#include "sampledata/recolour.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sampledata/random.h"

namespace wbx::sampledata {

Recolour::Recolour(float hueTurn, float saturation, float brightness) {
    // Hue is turned about the grey axis in YIQ, where the turn keeps luma.
    const float angle = hueTurn * 2.0f * std::numbers::pi_v<float>;
    const float cosine = std::cos(angle) * saturation, sine = std::sin(angle) * saturation;
    for (uint32_t colour = 0; colour < 32768; ++colour) {
        const float r = static_cast<float>((colour >> 10) & 31) / 31.0f;
        const float g = static_cast<float>((colour >> 5) & 31) / 31.0f;
        const float b = static_cast<float>(colour & 31) / 31.0f;
        const float y = 0.299f * r + 0.587f * g + 0.114f * b;
        const float i = 0.596f * r - 0.274f * g - 0.322f * b;
        const float q = 0.211f * r - 0.523f * g + 0.312f * b;
        const float i2 = i * cosine - q * sine, q2 = i * sine + q * cosine;
        const float channels[3] = {y + 0.956f * i2 + 0.621f * q2, y - 0.272f * i2 - 0.647f * q2,
                                   y - 1.106f * i2 + 1.703f * q2};
        uint32_t out = 0;
        for (const float channel : channels) {
            const float scaled = std::clamp(channel * brightness, 0.0f, 1.0f);
            out = (out << 5) | static_cast<uint32_t>(std::lround(scaled * 31.0f));
        }
        table_[colour] = static_cast<uint16_t>(out);
    }
}

Recolour Recolour::Random(int listIndex, SampleRandom& random) {
    if (listIndex == 1) return Recolour(random.Between(-0.03f, 0.03f), 1.0f, random.Between(0.7f, 1.1f));
    return Recolour(random.NextFloat(), random.Between(0.6f, 1.3f), random.Between(0.65f, 1.15f));
}

void Recolour::Apply(LayerImage& layer) const {
    for (uint16_t& pixel : layer.Pixels) pixel = Apply(pixel);
}

}  // namespace wbx::sampledata
