#pragma once
// The keys that pose the figure, as every view that can be posed binds them:
// the arrows turn and tilt (with Shift in fine steps), + (or =) and - scale,
// Home returns to the start pose.

#include <QKeySequence>
#include <QList>
#include <QString>

#include "viewer/viewpose.h"

namespace wbx {

// Every pose key, in the order the View ▸ Pose menu lists them.
inline constexpr TPoseKey kPoseKeys[] = {
    TPoseKey::TurnLeft, TPoseKey::TurnRight, TPoseKey::TiltUp,    TPoseKey::TiltDown,
    TPoseKey::Larger,   TPoseKey::Smaller,   TPoseKey::StartPose,
};

// The shortcuts of a pose key, the first one the one menus show.
QList<QKeySequence> PoseKeyShortcuts(TPoseKey key);

// What a pose key does, as a menu item's text (with its & mnemonic).
QString PoseKeyText(TPoseKey key);

}  // namespace wbx
