#pragma once
// Direct3D 9 constant names for readable call records ("D3DRS_ZENABLE").
// A value without a name comes back as its decimal number.

#include <string>

#include "d3d9/d3d9types.h"

namespace wbx {

std::string RenderStateName(D3DRENDERSTATETYPE state);
std::string SamplerStateName(D3DSAMPLERSTATETYPE state);
std::string StageStateName(D3DTEXTURESTAGESTATETYPE state);
std::string TransformStateName(D3DTRANSFORMSTATETYPE state);  // D3DTS_WORLDMATRIX(n) for n > 0
std::string PrimitiveTypeName(D3DPRIMITIVETYPE type);
std::string FormatConstantName(D3DFORMAT format);  // "D3DFMT_A1R5G5B5"
std::string PoolName(D3DPOOL pool);
std::string DeviceTypeName(D3DDEVTYPE type);

}  // namespace wbx
