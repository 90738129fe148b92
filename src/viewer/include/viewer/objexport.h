#pragma once
// The dressed figure as Wavefront OBJ: NAME.obj with the geometry, NAME.mtl
// with the materials "front" and "back", and the two textures beside them as
// NAME_front.png and NAME_back.png (the MTL file names them; their alpha cuts
// the figure out through map_d).
//
// The geometry is figuregeometry.h's: right-handed, +y up, the figure facing
// +z; positions in metres (kModelUnitMetres per model unit, as the glTF
// file); normals unit length. OBJ's v runs upwards, so each texture
// coordinate is written as (u, 1 - v).

#include <string>

#include "viewer/ucommon.h"

namespace wbx {

struct TObjFiles {
    std::string Obj;  // the text of NAME.obj
    std::string Mtl;  // the text of NAME.mtl
};

// The two text files for baseName (the name without folder or extension;
// the files refer to each other by it). Raises Exception when model has no
// drawable triangle.
TObjFiles BuildObj(const TPdtRec& model, const std::string& baseName, const std::string& generator);

}  // namespace wbx
