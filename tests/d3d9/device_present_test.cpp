// Present: the frame reaches the presentation target, and the presentation
// interval paces it (measured loosely: the machine is shared).

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/devicecontrol.h"
#include "d3d9fixture.h"
#include "surface.h"

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

// A window that shows frames straight from the device's memory, keeping its
// share of the frame on show (and, on request, of the one before it).
class KeepingTarget : public PresentationTarget {
public:
    void PresentFrame(const uint8_t*, int, int, int) override { ++Copies; }
    void PresentSharedFrame(const std::shared_ptr<const uint8_t[]>& memory, const uint8_t* bits, int pitch,
                            int width, int height) override {
        if (KeepPrevious) Previous = Shown;
        Shown = memory;
        Bits = bits;
        Pitch = pitch;
        Width = width;
        Height = height;
    }
    uint32_t Pixel(const uint8_t* bits, int x, int y) const {
        uint32_t value;
        std::memcpy(&value, bits + static_cast<size_t>(y) * Pitch + static_cast<size_t>(x) * 4, 4);
        return value;
    }

    std::shared_ptr<const uint8_t[]> Shown, Previous;
    const uint8_t* Bits = nullptr;
    int Pitch = 0, Width = 0, Height = 0, Copies = 0;
    bool KeepPrevious = false;
};

class DeviceSwapTest : public DevicePresentTest {
protected:
    // Clears the back buffer to colour and presents it.
    void PresentColour(D3DCOLOR colour) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    uint32_t BackBufferPixel() {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value;
        std::memcpy(&value, locked.pBits, 4);
        back->UnlockRect();
        back->Release();
        return value;
    }
    KeepingTarget window_;
};

TEST_F(DeviceSwapTest, TwoBuffersTakeTurnsAndAFrameOnShowIsNeverDrawnInto) {
    Create(WindowParams(32, 8, false, D3DFMT_D16, &window_));
    PresentColour(0xFF000011);
    ASSERT_NE(window_.Shown, nullptr);
    EXPECT_EQ(window_.Copies, 0);
    EXPECT_EQ(window_.Width, 32);
    const uint8_t* first = window_.Bits;
    EXPECT_EQ(window_.Pixel(first, 31, 7), 0xFF000011u);
    // The back buffer, in other memory now, still holds the frame.
    EXPECT_EQ(BackBufferPixel(), 0xFF000011u);

    // The next frame is drawn elsewhere: the one on show stays as it was.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000022, 1.0f, 0), D3D_OK);
    EXPECT_EQ(window_.Pixel(first, 31, 7), 0xFF000011u);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const uint8_t* second = window_.Bits;
    EXPECT_NE(second, first);
    EXPECT_EQ(window_.Pixel(second, 0, 0), 0xFF000022u);

    // The window let go of the first frame: its memory is the back buffer again.
    PresentColour(0xFF000033);
    EXPECT_EQ(window_.Bits, first);
    PresentColour(0xFF000044);
    EXPECT_EQ(window_.Bits, second);

    // A frame someone still holds is left alone: the chain takes new memory.
    window_.KeepPrevious = true;
    PresentColour(0xFF000055);
    PresentColour(0xFF000066);
    PresentColour(0xFF000077);
    EXPECT_EQ(window_.Pixel(window_.Previous.get() + (window_.Bits - window_.Shown.get()), 5, 5),
              0xFF000066u);
    EXPECT_EQ(window_.Pixel(window_.Bits, 5, 5), 0xFF000077u);
    EXPECT_EQ(window_.Copies, 0);
}

TEST_F(DeviceSwapTest, AFrameOnShowOutlivesResetAndTheDevice) {
    Create(WindowParams(16, 4, false, D3DFMT_D16, &window_));
    PresentColour(0xFF123456);
    D3DPRESENT_PARAMETERS pp = WindowParams(8, 8, false, D3DFMT_D16, &window_);
    ASSERT_EQ(device_->Reset(&pp), D3D_OK);
    EXPECT_EQ(window_.Pixel(window_.Bits, 15, 3), 0xFF123456u);  // sanitizers see any use after free
    PresentColour(0xFF654321);
    EXPECT_EQ(window_.Width, 8);
    EXPECT_EQ(device_->Release(), 0u);
    device_ = nullptr;
    EXPECT_EQ(window_.Pixel(window_.Bits, 7, 7), 0xFF654321u);
}

TEST_F(DeviceSwapTest, CopySwapKeepsTheBackBuffersPixels) {
    D3DPRESENT_PARAMETERS pp = WindowParams(8, 8, false, D3DFMT_D16, &window_);
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    Create(pp);
    PresentColour(0xFF0000AA);
    EXPECT_EQ(BackBufferPixel(), 0xFF0000AAu);
    const uint8_t* shown = window_.Bits;
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000BB, 1.0f, 0), D3D_OK);
    EXPECT_EQ(window_.Pixel(shown, 0, 0), 0xFF0000AAu);
    EXPECT_EQ(BackBufferPixel(), 0xFF0000BBu);
}

// A frame large enough for two drawing threads is copied by two as well: the
// back buffer after Present (swap) and the frame on show (copy) must still
// be the frame, row for row, up to its last row and across the middle.
TEST_F(DeviceSwapTest, ALargeFrameIsKeptWholeByEitherSwapEffect) {
    for (const D3DSWAPEFFECT effect : {D3DSWAPEFFECT_DISCARD, D3DSWAPEFFECT_COPY}) {
        SCOPED_TRACE(effect == D3DSWAPEFFECT_COPY ? "copy" : "discard");
        D3DPRESENT_PARAMETERS pp = WindowParams(1280, 721, false, D3DFMT_D16, &window_);
        pp.SwapEffect = effect;
        Create(pp);
        // A single-row band of its own colour at the top, around the middle and at the bottom.
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
        const LONG rows[] = {0, 359, 360, 361, 720};
        for (const LONG y : rows) {
            const D3DRECT band{0, y, 1280, y + 1};
            ASSERT_EQ(device_->Clear(1, &band, D3DCLEAR_TARGET, 0xFF000000u | static_cast<DWORD>(y), 1.0f, 0),
                      D3D_OK);
        }
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_EQ(window_.Height, 721);
        IDirect3DSurface9* back = nullptr;
        ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        ASSERT_EQ(locked.Pitch, window_.Pitch);
        const auto* backBits = static_cast<const uint8_t*>(locked.pBits);
        EXPECT_NE(backBits, window_.Bits);
        EXPECT_EQ(std::memcmp(backBits, window_.Bits, static_cast<size_t>(window_.Pitch) * 721), 0);
        back->UnlockRect();
        back->Release();
        for (const LONG y : rows) {
            EXPECT_EQ(window_.Pixel(window_.Bits, 1279, y), 0xFF000000u | static_cast<DWORD>(y));
        }
        EXPECT_EQ(window_.Pixel(window_.Bits, 640, 358), 0xFF102030u);
        EXPECT_EQ(window_.Pixel(window_.Bits, 0, 719), 0xFF102030u);
        ASSERT_EQ(device_->Release(), 0u);
        device_ = nullptr;
        ASSERT_EQ(d3d_->Release(), 0u);
        d3d_ = nullptr;
    }
}

// After Present the back buffer still holds the frame: copied in when its
// pixels are next used (a partial clear, a lock, another Present), and not
// at all when a clear writes every pixel.
TEST_F(DeviceSwapTest, TheKeptFrameArrivesWhereverItIsUsedAndAWholeClearSkipsIt) {
    Create(WindowParams(32, 8, true, D3DFMT_D16, &window_));
    IDirect3DSurface9* backInterface = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backInterface), D3D_OK);
    auto* back = static_cast<SoftwareSurface*>(backInterface);
    const auto pixelAt = [&](int x, int y) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value;
        std::memcpy(&value, static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        back->UnlockRect();
        return value;
    };
    const D3DRECT left{0, 0, 16, 8};

    // A partial clear draws over the kept frame: the rest of it is there.
    PresentColour(0xFF0000A1);
    EXPECT_TRUE(back->PixelsLater());
    ASSERT_EQ(device_->Clear(1, &left, D3DCLEAR_TARGET, 0xFF0000A2, 1.0f, 0), D3D_OK);
    EXPECT_FALSE(back->PixelsLater());
    EXPECT_EQ(pixelAt(0, 0), 0xFF0000A2u);
    EXPECT_EQ(pixelAt(31, 7), 0xFF0000A1u);

    // So does a clear of a viewport smaller than the target, and a depth-only clear.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
    D3DVIEWPORT9 small{0, 0, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&small), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000A3, 1.0f, 0), D3D_OK);
    EXPECT_EQ(pixelAt(15, 7), 0xFF0000A3u);
    EXPECT_EQ(pixelAt(16, 0), 0xFF0000A1u);
    D3DVIEWPORT9 whole{0, 0, 32, 8, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&whole), D3D_OK);

    // A lock after Present reads the frame; so does Present again without drawing.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(pixelAt(16, 0), 0xFF0000A1u);
    EXPECT_EQ(pixelAt(0, 0), 0xFF0000A3u);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window_.Pixel(window_.Bits, 0, 0), 0xFF0000A3u);
    EXPECT_EQ(window_.Pixel(window_.Bits, 31, 7), 0xFF0000A1u);

    // A clear of every pixel, by the viewport or by one rectangle, skips the
    // copy; the frame on show stays as it was.
    const uint8_t* shown = window_.Bits;
    EXPECT_TRUE(back->PixelsLater());
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000A4, 1.0f, 0), D3D_OK);
    EXPECT_FALSE(back->PixelsLater());
    EXPECT_EQ(pixelAt(31, 7), 0xFF0000A4u);
    EXPECT_EQ(window_.Pixel(shown, 31, 7), 0xFF0000A1u);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const D3DRECT beyond{-4, -4, 40, 12};
    ASSERT_EQ(device_->Clear(1, &beyond, D3DCLEAR_TARGET, 0xFF0000A5, 1.0f, 0), D3D_OK);
    EXPECT_FALSE(back->PixelsLater());
    EXPECT_EQ(pixelAt(5, 5), 0xFF0000A5u);
    backInterface->Release();
}

TEST_F(DeviceSwapTest, ABackBufferLockedOverPresentKeepsItsMemory) {
    Create(WindowParams(8, 8, false, D3DFMT_D16, &window_));
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000CC, 1.0f, 0), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(back->LockRect(&locked, nullptr, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window_.Pixel(window_.Bits, 1, 1), 0xFF0000CCu);
    EXPECT_NE(window_.Bits, static_cast<const uint8_t*>(locked.pBits));
    std::memset(locked.pBits, 0, 4);  // still the back buffer's own memory
    back->UnlockRect();
    back->Release();
    EXPECT_EQ(BackBufferPixel(), 0u);
    EXPECT_EQ(window_.Pixel(window_.Bits, 0, 0), 0xFF0000CCu);
}

}  // namespace
}  // namespace wbx::testing
