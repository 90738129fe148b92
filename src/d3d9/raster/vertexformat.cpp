#include "d3d9/raster/vertexformat.h"

namespace wbx::raster {

VertexFormat DecodeFVF(DWORD fvf) {
    VertexFormat format;
    int offset = 0;
    int blendWeights = -1;  // floats after the position, -1: not a known position layout
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ:
            blendWeights = 0;
            break;
        case D3DFVF_XYZRHW:
            blendWeights = 0;
            format.Transformed = true;
            break;
        case D3DFVF_XYZW:
            blendWeights = 0;
            break;
        case D3DFVF_XYZB1:
            blendWeights = 1;
            break;
        case D3DFVF_XYZB2:
            blendWeights = 2;
            break;
        case D3DFVF_XYZB3:
            blendWeights = 3;
            break;
        case D3DFVF_XYZB4:
            blendWeights = 4;
            break;
        case D3DFVF_XYZB5:
            blendWeights = 5;
            break;
        default:
            return format;  // no position: nothing can be drawn from it
    }
    format.Position = 0;
    const bool fourComponents = format.Transformed || (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZW;
    offset = (fourComponents ? 16 : 12) + 4 * blendWeights;
    if (fvf & D3DFVF_NORMAL) {
        format.Normal = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        format.Diffuse = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        format.Specular = offset;
        offset += 4;
    }
    const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (sets > kMaxTexCoordSets) return VertexFormat{};
    format.TexCoordSetCount = sets;
    for (int i = 0; i < sets; ++i) {
        static constexpr int kFloatsForCode[4] = {2, 3, 4, 1};  // D3DFVF_TEXTUREFORMAT2, 3, 4, 1
        const int floats = kFloatsForCode[(fvf >> (16 + 2 * i)) & 3];
        format.TexCoord[i] = offset;
        format.TexCoordSize[i] = floats;
        offset += 4 * floats;
    }
    format.Size = offset;
    format.Valid = true;
    return format;
}

}  // namespace wbx::raster
