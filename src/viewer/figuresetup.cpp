#include "viewer/figuresetup.h"

#include "math/vector.h"
#include "scene/frame.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "viewer/modelupload.h"

namespace wbx {

void DressFigureFrame(TOXFrame& frame, TOXMesh& mesh, TKVTexture& frontTexture) {
    frame.Mesh = &mesh;
    frame.Material = MakeMaterial(0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 1, 1, 1, 0.5f, 0.5f, 0.5f, 0);
    frame.SetTexture(&frontTexture);
    frame.BlendMode = TOXScene::kBlendAlpha;
}

std::unique_ptr<TOXLightGroup> MakeFigureLight(TKorvane* kv) {
    auto group = std::make_unique<TOXLightGroup>(kv, 1, "");
    TOXLight* light = group->GetLight(0);
    light->SetDiffuse(1, 1, 1);
    light->SetSpecular(1, 1, 1);
    light->SetAmbient(0.3f, 0.3f, 0.3f);
    Vec3 lightDirection;
    Vec3Make(lightDirection, 0, 0, -1);
    light->SetDirection(lightDirection);
    light->SetEnabled(true);
    return group;
}

}  // namespace wbx
