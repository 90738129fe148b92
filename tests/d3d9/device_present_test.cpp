// Present: the frame reaches the presentation target, and the presentation
// interval paces it (measured loosely: the machine is shared).

#include <gtest/gtest.h>

#include <chrono>

#include "d3d9/d3d9.h"
#include "d3d9/devicecontrol.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

using Clock = std::chrono::steady_clock;

class DevicePresentTest : public DeviceTest {
protected:
    double SecondsForPresents(int count) {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
};

TEST_F(DevicePresentTest, FrameReachesTheDeviceWindowWithItsPitch) {
    CaptureTarget window;
    Create(WindowParams(40, 30, false, D3DFMT_D16, &window, D3DPRESENT_INTERVAL_IMMEDIATE));
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(window.Frames, 1);
    EXPECT_EQ(window.Width, 40);
    EXPECT_EQ(window.Height, 30);
    EXPECT_GT(window.Pitch, 40 * 4);
    EXPECT_EQ(window.Pixel(39, 29) & 0xFFFFFF, 0x336699u);
    EXPECT_EQ(PresentedFrameCount(device_), 1u);

    // An override window receives the frame instead.
    CaptureTarget other;
    ASSERT_EQ(device_->Present(nullptr, nullptr, &other, nullptr), D3D_OK);
    EXPECT_EQ(other.Frames, 1);
    EXPECT_EQ(window.Frames, 1);
}

TEST_F(DevicePresentTest, FocusWindowServesWhenThereIsNoDeviceWindow) {
    CaptureTarget focus;
    d3d_ = Direct3DCreate9WithProfile(DefaultAdapterProfile());
    params_ = WindowParams(8, 8, false);
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_REF, &focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params_,
                                 &device_),
              D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(focus.Frames, 1);
}

TEST_F(DevicePresentTest, NoWindowAtAllOnlyPaces) {
    Create(WindowParams(8, 8, false, D3DFMT_D16, nullptr, D3DPRESENT_INTERVAL_IMMEDIATE));
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(PresentedFrameCount(device_), 1u);
}

TEST_F(DevicePresentTest, ImmediateNeverWaits) {
    CaptureTarget window(10.0);  // a 10 Hz display would make waiting obvious
    Create(WindowParams(8, 8, false, D3DFMT_D16, &window, D3DPRESENT_INTERVAL_IMMEDIATE));
    EXPECT_LT(SecondsForPresents(20), 0.5);
    EXPECT_EQ(window.Frames, 20);
}

TEST_F(DevicePresentTest, DefaultIntervalPacesToTheRefresh) {
    CaptureTarget window(50.0);  // 20 ms per frame
    Create(WindowParams(8, 8, false, D3DFMT_D16, &window, D3DPRESENT_INTERVAL_DEFAULT));
    // The first frame goes at once; the next 10 wait one period each: 200 ms.
    const double seconds = SecondsForPresents(11);
    EXPECT_GE(seconds, 0.19);
    EXPECT_LT(seconds, 1.5);
}

TEST_F(DevicePresentTest, IntervalOnePacesAndUnsetRefreshMeansSixtyHertz) {
    CaptureTarget window(0.0);
    Create(WindowParams(8, 8, false, D3DFMT_D16, &window, D3DPRESENT_INTERVAL_ONE));
    const double seconds = SecondsForPresents(7);  // 6 periods of 1/60 s: 100 ms
    EXPECT_GE(seconds, 0.095);
    EXPECT_LT(seconds, 1.5);
}

}  // namespace
}  // namespace wbx::testing
