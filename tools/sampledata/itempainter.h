#pragma once
// Procedural drawing of the items' layers.
//
// Which side is which. The camera stands on +z and its right vector is -x, so
// at yaw 0 the viewer sees the figure's front with model +x on the screen's
// left: +x is the figure's own right. At yaw 2048 the pose turns the model
// half a turn about y (model x becomes world -x, model z world -z): the back
// faces the camera and model +x, still the figure's right, is on the
// screen's right, as it should be when one looks at someone from behind.
//
// The mesh's texture coordinates are one planar projection along z (column =
// 128 - x * kTexelsPerUnit), so a front point and the back point behind it
// share a texel, and texture column decreases with model x on both faces.
// The front texture therefore reads like a picture of the figure seen from
// the front (its right on the image's left). The back texture holds the view
// from behind mirrored left to right: a detail on the figure's right (+x),
// such as a strap over the right shoulder, is painted on the image's left
// half in both textures, and the viewer shows it on the screen's left from
// the front and on the screen's right from behind.
//
// Painters state shapes in canonical model units with that convention
// (x > 0: the figure's right) and never mirror anything themselves.

#include <cstdint>

#include "sampledata/layercanvas.h"

namespace wbx::sampledata {

// Colours of one item, drawn from the generator's seed.
struct ItemStyle {
    Colour Main, Second, Accent;
    uint32_t PatternSeed = 0;
};

// Paints layer layerIndex of the itemIndex-th item of list listIndex onto a
// canvas of that layer's face (FaceOfLayer). Leaves the canvas empty for a
// layer the item has nothing on.
void PaintItemLayer(int listIndex, int itemIndex, int layerIndex, const ItemStyle& style,
                    LayerCanvas& canvas);

// The style of an item: a base palette per item, varied by the random source.
class SampleRandom;
ItemStyle MakeItemStyle(int listIndex, int itemIndex, SampleRandom& random);

}  // namespace wbx::sampledata
