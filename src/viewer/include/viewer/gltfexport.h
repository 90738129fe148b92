#pragma once
// The dressed figure as a glTF 2.0 binary file (.glb), made with tinygltf.
//
// One scene, one node ("wardrobix figure") with one mesh of two primitives:
// the triangles facing the front, with the material "front" (the front
// texture), and those facing the back, with "back" (see figuregeometry.h for
// the split and the coordinates). Each primitive has POSITION, NORMAL and
// TEXCOORD_0 and its own vertices. Both textures are embedded as PNG images.
// The materials are double-sided (the viewer draws both faces), cut out by
// the textures' one-bit alpha (alphaMode MASK) and neither metallic nor
// shiny; the samplers filter linearly and repeat, as the viewer's.
//
// Units: glTF's metre. The mesh keeps model units and the node scales them by
// kModelUnitMetres, so a figure 72 units tall stands 1.8 m. +y is up and the
// figure faces +z.

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/rgbaimage.h"
#include "viewer/ucommon.h"

namespace wbx {

// Metres per model unit in the exported models.
inline constexpr double kModelUnitMetres = 0.025;

// The .glb file of object 0 of model dressed in the two textures (256 x 512
// pictures, see textureexport.h). generator names the program in the file's
// asset record. Raises Exception when model has no drawable triangle or the
// file cannot be made.
std::vector<uint8_t> BuildGlb(const TPdtRec& model, const TRgbaImage& frontTexture,
                              const TRgbaImage& backTexture, const std::string& generator);

}  // namespace wbx
