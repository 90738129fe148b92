#include "viewer/viewpose.h"

#include <algorithm>
#include <cmath>

#include "viewer/modelpose.h"

namespace wbx {

TViewPose PoseAfterKey(const TViewPose& pose, TPoseKey key, bool fine) {
    const int32_t pixels = fine ? kFineKeyDragPixels : kKeyDragPixels;
    TViewPose result = pose;
    switch (key) {
        case TPoseKey::TurnLeft:
            result.Yaw = DraggedYaw(pose.Yaw, -pixels);
            break;
        case TPoseKey::TurnRight:
            result.Yaw = DraggedYaw(pose.Yaw, pixels);
            break;
        case TPoseKey::TiltUp:
            result.Pitch = DraggedPitch(pose.Pitch, -pixels);
            break;
        case TPoseKey::TiltDown:
            result.Pitch = DraggedPitch(pose.Pitch, pixels);
            break;
        case TPoseKey::Larger:
        case TPoseKey::Smaller: {
            const int32_t delta = key == TPoseKey::Larger ? -kKeyWheelDelta : kKeyWheelDelta;
            if (!WheelZoom(pose.Zoom, delta, result.Zoom)) result.Zoom = delta < 0 ? kZoomMax : kZoomMin;
            break;
        }
        case TPoseKey::StartPose:
            result = kStartPose;
            break;
    }
    return result;
}

TViewPose SanitizedPose(int64_t yaw, int64_t pitch, double zoom) {
    TViewPose pose;
    const int64_t wrapped = yaw % 4096;
    pose.Yaw = static_cast<int32_t>(wrapped < 0 ? wrapped + 4096 : wrapped);
    pose.Pitch = static_cast<int32_t>(std::clamp<int64_t>(pitch, -kPitchLimit, kPitchLimit));
    pose.Zoom = std::isfinite(zoom) ? static_cast<float>(std::clamp(zoom, double{kZoomMin}, double{kZoomMax}))
                                    : kStartPose.Zoom;
    return pose;
}

}  // namespace wbx
