#pragma once
// The sample figures: ten humanoid meshes of different proportions, and the
// planar texture projection they all share.
//
// Coordinates are model units with y up; a figure stands on y = 0 with its
// head near y = 72 and faces +z. The viewer's camera looks at the figure's
// front from +z with world +x on the screen's left (its right vector is -x),
// so the figure's own right hand, which the viewer sees on the left, is on
// the +x side. Parts named "Right" are on +x.
//
// Every figure is built from the same loft parameters, so a vertex of any
// type has a partner in the canonical figure (all proportions 1). A vertex's
// texture coordinates are the planar front projection of its canonical
// partner: column = 128 - x * kTexelsPerUnit, row = (kProjectionTopY - y) *
// kTexelsPerUnit. Hence the texture layout is the same for every type and
// every item fits every figure; front and back surfaces map to the same
// texel (see itempainter.h for what that means for the back texture).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sampledata/modelfile.h"
#include "sampledata/vector3.h"

namespace wbx::sampledata {

inline constexpr float kTexelsPerUnit = 6.6f;             // texels per model unit, both directions
inline constexpr float kProjectionTopY = 75.5f;           // model y of texture row 0
inline constexpr float kProjectionCentreColumn = 128.0f;  // texture column of model x = 0

// Texel coordinates (continuous; texel i covers [i, i + 1)) of a canonical point.
inline float TexelColumnOf(float x) { return kProjectionCentreColumn - x * kTexelsPerUnit; }
inline float TexelRowOf(float y) { return (kProjectionTopY - y) * kTexelsPerUnit; }
// The canonical x, y seen at the centre of a texel.
inline float ModelXOfColumn(int column) {
    return (kProjectionCentreColumn - (column + 0.5f)) / kTexelsPerUnit;
}
inline float ModelYOfRow(int row) { return kProjectionTopY - (row + 0.5f) / kTexelsPerUnit; }

enum class BodyPart : int8_t {
    None = -1,
    Trunk,  // hips, waist, chest, shoulders, neck and head in one closed surface
    ArmRight,
    ArmLeft,
    HandRight,
    HandLeft,
    LegRight,
    LegLeft,
    FootRight,
    FootLeft,
};

// Scale factors relative to the canonical figure (all 1).
struct FigureProportions {
    float Height = 1;     // everything below the chin, and the limb lengths
    float Shoulders = 1;  // shoulder and chest width, the arms' spread
    float Hips = 1;       // hip width, the legs' spread
    float Head = 1;       // head size
    float Bulk = 1;       // depth of the body and thickness of the limbs
};

struct FigureMesh {
    std::vector<Vec3f> Positions;
    std::vector<Vec3f> Normals;  // unit, averaged over the faces around each vertex of a part
    std::vector<float> SpineT;   // 0 at a part's start, 1 at its end (the trunk: canonical y / 100)
    std::vector<BodyPart> VertexParts;
    std::vector<ModelTriangle> Triangles;  // outward-facing: counter-clockwise seen from outside
    std::vector<BodyPart> TriangleParts;
};

// The figure of the given proportions; its positions are the figure's own,
// its SpineT and parts those of every figure.
FigureMesh BuildFigure(const FigureProportions& proportions);

inline constexpr int kFigureTypeCount = 10;
// Proportions of "type1" .. "type10" (index 0 is type1).
const std::array<FigureProportions, kFigureTypeCount>& FigureTypes();

// The model file of a figure type (index 0 .. 9): one object with the
// figure's vertices (UVs from the canonical figure) and triangles, a few
// filler entries in the arrays the viewer keeps but does not use, and one
// material record.
ModelFile BuildFigureModel(int typeIndex);

}  // namespace wbx::sampledata
