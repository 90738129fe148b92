#pragma once
// A full-size (256 x 512) painting surface for one layer of one face, and its
// conversion to a cropped A1R5G5B5 LayerImage.
//
// Painting happens in the canonical figure's coordinates: a region is a
// predicate over a Spot (the texel, its canonical model x and y, and the
// surface recorded there by the BodyMap), so a shape such as "the strap from
// the right shoulder to the left hip" is written once in model units and
// lands on the same body point of every figure type. Only texels that some
// figure can sample (SurfaceTexel::Part != None) are ever painted; everything
// else stays transparent.

#include <cstdint>
#include <vector>

#include "sampledata/bodymap.h"
#include "sampledata/layerfile.h"

namespace wbx::sampledata {

struct Colour {
    float R = 0, G = 0, B = 0;  // 0..1
};
inline Colour operator*(Colour c, float s) { return {c.R * s, c.G * s, c.B * s}; }
inline Colour Mix(Colour a, Colour b, float t) {
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}
constexpr Colour Rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

struct Spot {
    const SurfaceTexel& Surface;
    int Column, Row;
    float X, Y;  // canonical model x and y at the texel centre
    Face Side;

    BodyPart Part() const { return Surface.Part; }
    bool Trunk() const { return Surface.Part == BodyPart::Trunk; }
    bool Arm() const { return Surface.Part == BodyPart::ArmRight || Surface.Part == BodyPart::ArmLeft; }
    bool Hand() const { return Surface.Part == BodyPart::HandRight || Surface.Part == BodyPart::HandLeft; }
    bool Leg() const { return Surface.Part == BodyPart::LegRight || Surface.Part == BodyPart::LegLeft; }
    bool Foot() const { return Surface.Part == BodyPart::FootRight || Surface.Part == BodyPart::FootLeft; }
    float T() const { return Surface.T; }
};

class LayerCanvas {
public:
    LayerCanvas(const BodyMap& map, Face face);

    Face Side() const { return face_; }

    // Paints region with shade. Texels of the region next to a sampled texel
    // outside it are darkened by outline (1: no outline), which draws the
    // garment's edge where it meets what lies below.
    template <class Region, class Shade>
    void Paint(Region&& region, Shade&& shade, float outline = 0.55f);

    // The painted texels as a layer cropped to their bounding box, colours
    // reduced to 5 bits with ordered dithering; unpainted texels inside the
    // box are 0 (alpha clear). An empty canvas gives a 0 x 0 layer at (0, 0).
    LayerImage ToLayer() const;

    // Shading of a base colour at a spot, lit from the viewer's upper left for
    // either face, with a darkened rim where the surface turns away.
    Colour Lit(Colour base, const Spot& spot, float contrast = 1.0f) const;

private:
    Spot SpotAt(int column, int row) const;

    const BodyMap& map_;
    Face face_;
    std::vector<Colour> colour_;
    std::vector<uint8_t> painted_;
    std::vector<uint8_t> mask_;  // scratch for Paint
};

template <class Region, class Shade>
void LayerCanvas::Paint(Region&& region, Shade&& shade, float outline) {
    const std::vector<SurfaceTexel>& texels = map_.Texels(face_);
    for (int r = 0; r < kTextureHeight; ++r) {
        for (int c = 0; c < kTextureWidth; ++c) {
            const size_t at = static_cast<size_t>(r) * kTextureWidth + c;
            mask_[at] = texels[at].Part != BodyPart::None && region(SpotAt(c, r));
        }
    }
    for (int r = 0; r < kTextureHeight; ++r) {
        for (int c = 0; c < kTextureWidth; ++c) {
            const size_t at = static_cast<size_t>(r) * kTextureWidth + c;
            if (!mask_[at]) continue;
            Colour colour = shade(SpotAt(c, r));
            if (outline < 1) {
                const int neighbours[4][2] = {{c - 1, r}, {c + 1, r}, {c, r - 1}, {c, r + 1}};
                for (const auto& n : neighbours) {
                    if (n[0] < 0 || n[0] >= kTextureWidth || n[1] < 0 || n[1] >= kTextureHeight) continue;
                    const size_t other = static_cast<size_t>(n[1]) * kTextureWidth + n[0];
                    if (!mask_[other] && texels[other].Inside) {
                        colour = colour * outline;
                        break;
                    }
                }
            }
            colour_[at] = colour;
            painted_[at] = 1;
        }
    }
}

}  // namespace wbx::sampledata
