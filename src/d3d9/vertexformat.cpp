#include "d3d9/vertexformat.h"

namespace wbx {

UINT FvfVertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ:
            size = 12;
            break;
        case D3DFVF_XYZRHW:
            size = 16;
            break;
        case D3DFVF_XYZW:
            size = 16;
            break;
        case D3DFVF_XYZB1:
            size = 16;
            break;
        case D3DFVF_XYZB2:
            size = 20;
            break;
        case D3DFVF_XYZB3:
            size = 24;
            break;
        case D3DFVF_XYZB4:
            size = 28;
            break;
        case D3DFVF_XYZB5:
            size = 32;
            break;
        default:
            return 0;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    const DWORD sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (DWORD i = 0; i < sets && i < 8; ++i) {
        // Two bits per set from bit 16: 0 two floats, 1 three, 2 four, 3 one.
        switch ((fvf >> (16 + 2 * i)) & 3) {
            case D3DFVF_TEXTUREFORMAT2:
                size += 8;
                break;
            case D3DFVF_TEXTUREFORMAT3:
                size += 12;
                break;
            case D3DFVF_TEXTUREFORMAT4:
                size += 16;
                break;
            default:
                size += 4;
                break;
        }
    }
    return size;
}

}  // namespace wbx
