#pragma once
// The figure's geometry as the model exports (glTF, OBJ) hand it on: object 0
// of the model file split into the triangles that face the front, which the
// viewer draws with the front texture, and those that face the back, drawn
// with the back texture.
//
// Coordinates change hands: the model files are left-handed (Direct3D's
// convention; the viewer shows model +x on the screen's left), the exchange
// formats right-handed with +y up and the figure's front towards +z. x of
// positions and normals is negated, and each triangle's corners are listed in
// the opposite order, so the figure looks as the viewer shows it, not its
// mirror image, and keeps its winding relative to its normals. Positions stay
// in model units; normals are made unit length (as stored, they are only
// renormalised); texture coordinates are as stored (u right, v down, in the
// 256 x 512 textures).
//
// Which side a triangle faces is decided by the sum of its corners' normals
// (+z: the front); for a triangle whose normals sum to no z at all, by its
// face normal with the corners taken counter-clockwise. Triangles that
// cannot be drawn are left out: a corner index beyond the vertices, two equal
// corners, a corner whose position, normal or texture coordinate is not a
// finite number. A normal of length 0 becomes the face normal.

#include <array>
#include <cstdint>
#include <vector>

#include "viewer/ucommon.h"

namespace wbx {

struct TFigureSide {
    std::vector<std::array<float, 3>> Positions;  // model units, right-handed
    std::vector<std::array<float, 3>> Normals;    // unit length
    std::vector<std::array<float, 2>> TexCoords;  // as stored
    std::vector<uint32_t> Indices;                // three per triangle, counter-clockwise from outside
    bool Empty() const { return Indices.empty(); }
};

struct TFigureGeometry {
    TFigureSide Front;  // drawn with the front texture
    TFigureSide Back;   // drawn with the back texture
    int64_t DroppedTriangles = 0;
};

// Splits object 0 of model (nothing when it has no object). Each side holds
// only the vertices its triangles use, in the order they are first used.
TFigureGeometry SplitFigure(const TPdtRec& model);

}  // namespace wbx
