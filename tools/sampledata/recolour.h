#pragma once
// Recolouring of painted layers: the large catalogues' extra items are the
// regular designs in other colours. Painting a layer costs milliseconds (every
// texel of the canvas is shaded); recolouring its finished pixels through a
// table costs a fraction of that, so thousands of items stay quick to make.

#include <array>
#include <cstdint>

#include "sampledata/layerfile.h"

namespace wbx::sampledata {

class SampleRandom;

// A colour change of the 15 colour bits of A1R5G5B5 pixels: a table from each
// colour to its new one.
class Recolour {
public:
    // Turns hues by hueTurn (in turns, 0..1), scales saturation by saturation
    // and brightness by brightness, clamping to the 5-bit range.
    Recolour(float hueTurn, float saturation, float brightness);

    // A random change for an item of list listIndex: any hue for garments;
    // for the bodies only brightness and warmth, so skin stays skin.
    static Recolour Random(int listIndex, SampleRandom& random);

    // The pixel with its colour changed; the alpha bit is kept, and a pixel
    // without it (not drawn) is left as it is.
    uint16_t Apply(uint16_t pixel) const {
        if (!(pixel & kAlphaBit)) return pixel;
        return static_cast<uint16_t>(kAlphaBit | table_[pixel & 0x7FFF]);
    }
    // Every pixel of layer.
    void Apply(LayerImage& layer) const;

private:
    std::array<uint16_t, 32768> table_{};
};

}  // namespace wbx::sampledata
