// The pose keys take the steps of a drag and of the wheel, and a pose read
// from outside is brought into range.
#include "viewer/viewpose.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "viewer/modelpose.h"

namespace wbx {
namespace {

TEST(ViewPose, ArrowsTurnAndTiltAsADragOfTheirStep) {
    const TViewPose start{100, 0, 1.0f};
    EXPECT_EQ(PoseAfterKey(start, TPoseKey::TurnRight).Yaw, DraggedYaw(100, kKeyDragPixels));
    EXPECT_EQ(PoseAfterKey(start, TPoseKey::TurnLeft).Yaw, DraggedYaw(100, -kKeyDragPixels));
    EXPECT_EQ(PoseAfterKey(start, TPoseKey::TurnLeft, true).Yaw, DraggedYaw(100, -kFineKeyDragPixels));
    // Up tilts as a drag upwards does (the pitch grows), down the other way.
    EXPECT_GT(PoseAfterKey(start, TPoseKey::TiltUp).Pitch, 0);
    EXPECT_EQ(PoseAfterKey(start, TPoseKey::TiltDown).Pitch, DraggedPitch(0, kKeyDragPixels));
    // A key changes only its own part of the pose.
    const TViewPose turned = PoseAfterKey(TViewPose{5, 300, 2.0f}, TPoseKey::TurnRight);
    EXPECT_EQ(turned.Pitch, 300);
    EXPECT_EQ(turned.Zoom, 2.0f);

    // Turning wraps both ways; tilting stops at its limits.
    EXPECT_EQ(PoseAfterKey(TViewPose{0, 0, 1}, TPoseKey::TurnLeft).Yaw,
              4096 - kKeyDragPixels * kAngleStepsPerPixel);
    TViewPose pose;
    for (int i = 0; i < 100; ++i) pose = PoseAfterKey(pose, TPoseKey::TiltUp);
    EXPECT_EQ(pose.Pitch, kPitchLimit);
    for (int i = 0; i < 200; ++i) pose = PoseAfterKey(pose, TPoseKey::TiltDown);
    EXPECT_EQ(pose.Pitch, -kPitchLimit);
}

TEST(ViewPose, PlusAndMinusScaleAsTheWheelAndReachTheLimits) {
    float wheel = 0;
    ASSERT_TRUE(WheelZoom(1.0f, -kKeyWheelDelta, wheel));
    EXPECT_EQ(PoseAfterKey(kStartPose, TPoseKey::Larger).Zoom, wheel);
    ASSERT_TRUE(WheelZoom(1.0f, kKeyWheelDelta, wheel));
    EXPECT_EQ(PoseAfterKey(kStartPose, TPoseKey::Smaller).Zoom, wheel);

    // Where the wheel's step would cross a bound, the key stops at the bound.
    TViewPose pose;
    for (int i = 0; i < 100; ++i) pose = PoseAfterKey(pose, TPoseKey::Larger);
    EXPECT_EQ(pose.Zoom, kZoomMax);
    for (int i = 0; i < 100; ++i) pose = PoseAfterKey(pose, TPoseKey::Smaller);
    EXPECT_EQ(pose.Zoom, kZoomMin);

    EXPECT_EQ(PoseAfterKey(TViewPose{2000, -400, 2.5f}, TPoseKey::StartPose), kStartPose);
}

TEST(ViewPose, PosesFromOutsideAreBroughtIntoRange) {
    EXPECT_EQ(SanitizedPose(100, 200, 1.5), (TViewPose{100, 200, 1.5f}));
    EXPECT_EQ(SanitizedPose(-1, 0, 1).Yaw, 4095);
    EXPECT_EQ(SanitizedPose(4096 * 3 + 7, 0, 1).Yaw, 7);
    EXPECT_EQ(SanitizedPose(std::numeric_limits<int64_t>::min(), 0, 1).Yaw,
              static_cast<int32_t>((std::numeric_limits<int64_t>::min() % 4096) + 4096) % 4096);
    EXPECT_EQ(SanitizedPose(0, 100000, 1).Pitch, kPitchLimit);
    EXPECT_EQ(SanitizedPose(0, std::numeric_limits<int64_t>::min(), 1).Pitch, -kPitchLimit);
    EXPECT_EQ(SanitizedPose(0, 0, 100).Zoom, kZoomMax);
    EXPECT_EQ(SanitizedPose(0, 0, -3).Zoom, kZoomMin);
    EXPECT_EQ(SanitizedPose(0, 0, std::nan("")).Zoom, 1.0f);
    EXPECT_EQ(SanitizedPose(0, 0, std::numeric_limits<double>::infinity()).Zoom, 1.0f);
}

}  // namespace
}  // namespace wbx
