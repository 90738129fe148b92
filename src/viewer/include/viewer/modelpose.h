#pragma once
// The figure's pose: turn (Yaw) and tilt (Pitch) in the angle unit of the
// math library (4096 steps a turn) and scale (Zoom), how the mouse changes
// them, and the model frame's matrix they make. Kept apart from the window so
// it is exact and testable on its own.

#include <cstdint>

namespace wbx {

class TOXFrame;

inline constexpr int32_t kAngleStepsPerPixel = 5;  // 819.2 pixels make one full turn
inline constexpr int32_t kPitchLimit = 890;        // about 78 degrees either way
inline constexpr float kZoomMin = 0.2f;
inline constexpr float kZoomMax = 3.0f;

// Yaw after a horizontal drag of dx pixels (right turns toward increasing Yaw),
// wrapped into 0..4095 however far the pointer moved in one event.
int32_t DraggedYaw(int32_t yaw, int32_t dx);
// Pitch after a vertical drag of dy pixels (down lowers Pitch), clamped to
// -kPitchLimit..kPitchLimit.
int32_t DraggedPitch(int32_t pitch, int32_t dy);
// The zoom one wheel event asks for: zoom - wheelDelta / 10000, as a single.
// Returns false (zoom unchanged) when that falls outside kZoomMin..kZoomMax:
// a step that would cross a bound is refused, not clamped.
bool WheelZoom(float zoom, int32_t wheelDelta, float& result);
// Whether the figure shows its back: Yaw between a quarter and three quarters
// of a turn (1024 <= Yaw < 3072).
bool ShowsBackTexture(int32_t yaw);

// Where the model's origin is moved: the figure turns about the vertical
// through its model point (0, 36, 0).
inline constexpr float kModelLift = -36.0f;

// Gives model (a child of root) the pose: its local matrix becomes
// zoom * (R, Up, Dir) with the translation kModelLift * zoom * Up, where Up is
// (0, 1, 0) tilted by pitch, Dir is (0, 0, 1) turned by yaw and R their cross
// product. The figure turns and tilts about its model point and is scaled
// about it; Up and Dir are used as they are (not made perpendicular when
// pitch is not 0).
void PoseModelFrame(TOXFrame& model, TOXFrame& root, int32_t yaw, int32_t pitch, float zoom);

}  // namespace wbx
