#pragma once
// Fixed-function vertex processing: the world, view and projection transforms
// and per-vertex lighting in camera space, Direct3D 9's formulas:
//
//   diffuse  = Ce + Ca (Ga + sum Att Spot La) + Cd sum Att Spot Ld max(0, N.L)
//   specular = Cs sum Att Spot Ls (N.H)^P      (only where N.L > 0 and N.H > 0)
//
// each clamped to [0, 1] per vertex. The diffuse alpha is the diffuse source's
// alpha. Power 0 does not switch specular off: (N.H)^0 is 1 wherever the
// vertex faces the light.

#include <cstddef>
#include <cstdint>

#include "d3d9/raster/rasterizer.h"
#include "d3d9/raster/vertexformat.h"
#include "shadedvertex.h"

namespace wbx::raster {

class VertexProcessor {
public:
    // Captures everything per draw: the combined matrices, the lights moved to
    // camera space, the material sources. `format` must be Valid; for a
    // Transformed format, Clip receives x, y, z, 1/w as stored and lighting
    // is off. `state` is read only during construction.
    VertexProcessor(const PipelineState& state, const VertexFormat& format);

    // Transforms and lights one vertex whose bytes start at `vertex` (at least
    // format.Size bytes readable).
    void Process(const uint8_t* vertex, ShadedVertex& out) const;

    // Process for `count` vertices, `stride` bytes apart from `first`, into
    // out[0, count): the same bits, the lighting of the common case (only
    // directional lights, material colours, power 0 or no specular) four
    // vertices at a time.
    void ProcessRange(const uint8_t* first, size_t stride, size_t count, ShadedVertex* out) const;

private:
    struct Light {
        D3DLIGHTTYPE Type;
        float Diffuse[3], Specular[3], Ambient[3];
        float Position[3];   // camera space (point and spot)
        float Direction[3];  // camera space, normalised, the way the light shines
        float Range;
        float Attenuation0, Attenuation1, Attenuation2;
        float CosHalfTheta, CosHalfPhi, Falloff;
    };
    struct ColorSource {
        int VertexOffset = -1;  // -1: take the material colour
        float Material[4] = {};
    };

    void Light(const uint8_t* vertex, const float position[3], ShadedVertex& out) const;
    // Process but for the lighting: Clip, the texture coordinates and (lit)
    // the camera-space position; false when the vertex is to be lit.
    bool Transform(const uint8_t* vertex, ShadedVertex& out, float position[3]) const;
    // The camera-space normal as Light makes it.
    void CameraNormal(const uint8_t* vertex, float normal[3]) const;
    // Lights `count` (up to four) vertices whose camera-space normals and
    // positions are given by component, a lane each; only where batchLighting_.
    void LightFour(const float normals[3][4], const float positions[3][4], int count,
                   ShadedVertex* out) const;

    VertexFormat format_;
    double worldViewProjection_[4][4];
    double worldView_[4][4];
    double normalMatrix_[3][3];  // inverse transpose of worldView_'s upper 3 x 3
    bool lighting_;
    bool normalize_;
    bool localViewer_;
    bool specularEnabled_;
    float globalAmbient_[3];
    ColorSource diffuseSource_, ambientSource_, specularSource_, emissiveSource_;
    float power_;
    int lightCount_ = 0;
    struct Light lights_[kMaxActiveLights];
    int texCoordSet_[kRasterStages];  // set read for each stage, -1 none
    // LightFour applies: what every vertex gets alike is made once.
    bool batchLighting_ = false;
    float batchBase_[3] = {};                    // ce + ca x ambient sum
    float batchDiffuseMaterial_[4] = {};         // cd
    float batchSpecularMaterial_[3] = {};        // cs
    float batchHalf_[kMaxActiveLights][3] = {};  // per light, normalised
};

}  // namespace wbx::raster
