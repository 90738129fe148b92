#pragma once
// The figure's look, the same in the window and in the offscreen renderer:
// its frame carries the mesh, a material lit mostly by ambient and emissive
// light, the front texture and alpha blending (texels without alpha are
// see-through); one white directional light shines from the camera into the
// screen.

#include <memory>

namespace wbx {

class TKorvane;
class TKVTexture;
class TOXFrame;
class TOXLightGroup;
class TOXMesh;

void DressFigureFrame(TOXFrame& frame, TOXMesh& mesh, TKVTexture& frontTexture);
std::unique_ptr<TOXLightGroup> MakeFigureLight(TKorvane* kv);

}  // namespace wbx
