#pragma once
// The canonical figure baked into texture space: for every texel of the
// 256 x 512 canvas, which body part the front projection puts there and what
// the surface looks like at that point, once for the front surfaces (seen
// from +z) and once for the back surfaces (seen from -z). Because the mesh's
// texture coordinates are this same projection, painting into a texel paints
// the surface point recorded here.
//
// Texels just outside the silhouette are filled from their nearest covered
// neighbour (Inside false) so that layers reach a few texels past the edge:
// the viewer samples with linear filtering, and the figure's side faces map
// onto the silhouette's very edge.

#include <vector>

#include "sampledata/figure.h"
#include "sampledata/layerfile.h"

namespace wbx::sampledata {

struct SurfaceTexel {
    BodyPart Part = BodyPart::None;  // None: the texel is never sampled by any figure
    bool Inside = false;             // the texel centre lies inside the silhouette
    float T = 0;                     // the part's spine parameter (see FigureMesh::SpineT)
    Vec3f Position;                  // canonical model position of the surface point
    Vec3f Normal;                    // canonical unit normal
};

enum class Face { Front, Back };

class BodyMap {
public:
    // Bakes the canonical figure; MarginTexels is how far past the silhouette
    // the surfaces are extended.
    static constexpr int kMarginTexels = 3;
    BodyMap();

    const SurfaceTexel& At(Face face, int column, int row) const {
        return (face == Face::Front ? front_ : back_)[static_cast<size_t>(row) * kTextureWidth + column];
    }
    const std::vector<SurfaceTexel>& Texels(Face face) const { return face == Face::Front ? front_ : back_; }

private:
    std::vector<SurfaceTexel> front_, back_;
};

}  // namespace wbx::sampledata
