#pragma once
// The viewer's own scene set-up steps, shared by the tests that rebuild it.

#include "scene/frame.h"
#include "scene/light.h"

namespace wbx::testing {

// The camera 130 units out on +z, looking at the origin, placed in root's space.
inline void PlaceViewerCamera(TOXFrame& camera, TOXFrame& root) {
    camera.SetPosition(&root, {0, 0, 130});
    camera.SetOrientation(&root, {0, 0, -1}, {0, 1, 0});
}

// One white directional light shining into the screen, enabled.
inline void SetUpViewerLight(TOXLight& light) {
    light.SetDiffuse(1, 1, 1);
    light.SetSpecular(1, 1, 1);
    light.SetAmbient(0.3f, 0.3f, 0.3f);
    light.SetDirection({0, 0, -1});
    light.SetEnabled(true);
}

}  // namespace wbx::testing
