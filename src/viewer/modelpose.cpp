#include "viewer/modelpose.h"

#include <algorithm>

#include "math/matrix.h"
#include "math/vector.h"
#include "scene/frame.h"

namespace wbx {

int32_t DraggedYaw(int32_t yaw, int32_t dx) {
    // 64-bit: a pointer far outside the window must not overflow the sum.
    const int64_t turned = static_cast<int64_t>(yaw) + static_cast<int64_t>(dx) * kAngleStepsPerPixel;
    const int64_t wrapped = turned % 4096;
    return static_cast<int32_t>(wrapped < 0 ? wrapped + 4096 : wrapped);
}

int32_t DraggedPitch(int32_t pitch, int32_t dy) {
    const int64_t tilted = static_cast<int64_t>(pitch) - static_cast<int64_t>(dy) * kAngleStepsPerPixel;
    return static_cast<int32_t>(std::clamp<int64_t>(tilted, -kPitchLimit, kPitchLimit));
}

bool WheelZoom(float zoom, int32_t wheelDelta, float& result) {
    const float z = static_cast<float>(static_cast<double>(zoom) - wheelDelta / 10000.0);
    // The bounds are compared as written (0.2, 3.0), so a zoom of exactly the single 0.2 is allowed.
    if (static_cast<double>(z) < 0.2 || static_cast<double>(z) > 3.0) return false;
    result = z;
    return true;
}

bool ShowsBackTexture(int32_t yaw) { return yaw >= 1024 && yaw < 3072; }

void PoseModelFrame(TOXFrame& model, TOXFrame& root, int32_t yaw, int32_t pitch, float zoom) {
    Matrix scale;
    MatrixScale(scale, zoom, zoom, zoom);
    model.SetMatrix(&root, scale);
    Vec3 yAxis, zAxis, up, direction, lift;
    Vec3Make(yAxis, 0, 1, 0);
    Vec3Make(zAxis, 0, 0, 1);
    RotateX(yAxis, pitch, up);
    RotateY(zAxis, yaw, direction);
    model.SetOrientation(&model, direction, up);
    Vec3Make(lift, 0, kModelLift, 0);
    model.SetPosition(&model, lift);
}

}  // namespace wbx
