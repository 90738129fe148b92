#pragma once
// Decoding of flexible vertex format (FVF) codes into byte offsets.

#include <cstdint>

#include "d3d9/d3d9types.h"

namespace wbx::raster {

constexpr int kMaxTexCoordSets = 8;

// Where each element of a vertex lies, in bytes from the vertex start; -1
// when the format has no such element.
struct VertexFormat {
    bool Valid = false;        // the code names a position layout we can read
    bool Transformed = false;  // D3DFVF_XYZRHW: x, y are pixels, z is depth, then 1/w
    int Position = -1;         // 3 floats (4 with XYZRHW / XYZW)
    int Normal = -1;           // 3 floats
    int Diffuse = -1;          // D3DCOLOR
    int Specular = -1;         // D3DCOLOR
    int TexCoordSetCount = 0;
    int TexCoord[kMaxTexCoordSets] = {};      // offset of each set
    int TexCoordSize[kMaxTexCoordSets] = {};  // floats in each set (1..4)
    int Size = 0;  // bytes the format occupies; the stream's stride must be at least this
};

VertexFormat DecodeFVF(DWORD fvf);

}  // namespace wbx::raster
