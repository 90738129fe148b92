#include "viewer/storedoutfit.h"

#include <charconv>
#include <cmath>

#include "viewer/inifile.h"
#include "viewer/sharecode.h"

namespace wbx {

namespace {

constexpr const char* kOutfitSection = "outfit";

// A decimal number written by WriteStoredOutfit (or by hand); nullopt when the
// text is not one.
std::optional<double> ParseNumber(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

TStoredOutfit ReadStoredOutfit(const TIniFile& settings) {
    TStoredOutfit stored;
    if (settings.ValueExists(kOutfitSection, "code")) {
        const TShareCodeResult result = DecodeShareCode(settings.ReadString(kOutfitSection, "code", ""));
        stored.Outfit = result.Outfit;
        if (!result.Outfit) stored.Problem = "The outfit of the last run was not restored: " + result.Error;
    }
    if (settings.ValueExists(kOutfitSection, "yaw") || settings.ValueExists(kOutfitSection, "pitch") ||
        settings.ValueExists(kOutfitSection, "zoom")) {
        const std::optional<double> zoom = ParseNumber(settings.ReadString(kOutfitSection, "zoom", ""));
        stored.Pose = SanitizedPose(settings.ReadInteger(kOutfitSection, "yaw", kStartPose.Yaw),
                                    settings.ReadInteger(kOutfitSection, "pitch", kStartPose.Pitch),
                                    zoom.value_or(kStartPose.Zoom));
    }
    return stored;
}

void WriteStoredOutfit(TIniFile& settings, const TOutfit& outfit, const TViewPose& pose) {
    settings.WriteString(kOutfitSection, "code", EncodeShareCode(outfit));
    settings.WriteInteger(kOutfitSection, "yaw", pose.Yaw);
    settings.WriteInteger(kOutfitSection, "pitch", pose.Pitch);
    // The shortest text that reads back as the same single.
    char zoom[32];
    const auto [end, error] = std::to_chars(zoom, zoom + sizeof zoom, pose.Zoom);
    settings.WriteString(kOutfitSection, "zoom",
                         error == std::errc() ? std::string(zoom, end) : std::to_string(pose.Zoom));
}

}  // namespace wbx
