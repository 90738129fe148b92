#pragma once
// The figure's pose as one value (turn, tilt, scale), the steps the keyboard
// takes on it, and the bringing into range of a pose read from outside (a
// settings file). The rules of each value are those of the mouse (modelpose.h).

#include <cstdint>

namespace wbx {

struct TViewPose {
    int32_t Yaw = 0;    // angle units (4096 a turn), 0..4095
    int32_t Pitch = 0;  // angle units, -kPitchLimit..kPitchLimit
    float Zoom = 1.0f;  // kZoomMin..kZoomMax

    bool operator==(const TViewPose&) const = default;
};

// The pose the figure starts in, and the one the Home key returns to.
inline constexpr TViewPose kStartPose{};

enum class TPoseKey : uint8_t {
    TurnLeft,   // as a drag to the left
    TurnRight,  // as a drag to the right
    TiltUp,     // as a drag upwards
    TiltDown,   // as a drag downwards
    Larger,     // as the wheel turned towards the user
    Smaller,    // as the wheel turned away from the user
    StartPose,  // back to kStartPose
};

// An arrow key turns or tilts as a drag of this many pixels (fine: with Shift).
inline constexpr int32_t kKeyDragPixels = 10;
inline constexpr int32_t kFineKeyDragPixels = 1;
// + and - scale as a wheel turn of this delta (four notches and a bit: 0.05).
inline constexpr int32_t kKeyWheelDelta = 500;

// The pose after one key press. Turning wraps and tilting clamps as a drag
// does. Unlike the wheel, whose step is refused when it would cross a bound,
// a key's step stops at the bound, so the limits can be reached.
TViewPose PoseAfterKey(const TViewPose& pose, TPoseKey key, bool fine = false);

// A pose from outside brought into range: the turn wrapped into 0..4095, the
// tilt and the scale clamped to their limits, a scale that is not a finite
// number replaced by 1.0.
TViewPose SanitizedPose(int64_t yaw, int64_t pitch, double zoom);

}  // namespace wbx
