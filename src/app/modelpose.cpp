#include "app/modelpose.h"

#include <algorithm>

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

}  // namespace wbx
