#pragma once
// The per-list painters behind PaintItemLayer (internal to the generator).
// Each paints one layer of one item variant; the layer index tells front or
// back (FaceOfLayer) and, for hair and body, which of the two layers of a side.

#include "sampledata/itempainter.h"

namespace wbx::sampledata::painters {

void PaintHair(int variant, int layer, const ItemStyle& style, LayerCanvas& canvas);
void PaintBody(int variant, int layer, const ItemStyle& style, LayerCanvas& canvas);
void PaintFace(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintUpper(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintBottom(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintShoes(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintWear(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintCostume(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintFashion(int variant, const ItemStyle& style, LayerCanvas& canvas);
void PaintAccessory(int variant, const ItemStyle& style, LayerCanvas& canvas);

// A shader that lights a fixed colour.
inline auto LitColour(const LayerCanvas& canvas, Colour base, float contrast = 1.0f) {
    return [&canvas, base, contrast](const Spot& s) { return canvas.Lit(base, s, contrast); };
}
inline auto Anywhere() {
    return [](const Spot&) { return true; };
}

}  // namespace wbx::sampledata::painters
