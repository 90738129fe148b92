#pragma once
// The outfit and pose of the last run, kept in the settings file in a section
// of their own (the window's keys are left as they are):
//   [outfit]  code    the outfit as a share code (sharecode.h)
//             yaw     turn, angle units (0..4095)
//             pitch   tilt, angle units (-890..890)
//             zoom    scale (0.2..3.0), a decimal number with a point
// A value out of range is brought into it; a damaged code is reported, and
// the pose is still used.

#include <optional>
#include <string>

#include "viewer/outfit.h"
#include "viewer/viewpose.h"

namespace wbx {

class TIniFile;

struct TStoredOutfit {
    std::optional<TOutfit> Outfit;  // nullopt: none stored, or the code was damaged
    std::optional<TViewPose> Pose;  // nullopt: none stored
    std::string Problem;            // not empty: why a stored code was not used
};

TStoredOutfit ReadStoredOutfit(const TIniFile& settings);
// Throws what TIniFile's writes throw.
void WriteStoredOutfit(TIniFile& settings, const TOutfit& outfit, const TViewPose& pose);

}  // namespace wbx
