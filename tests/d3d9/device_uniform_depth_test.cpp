// The depth surface's "still as cleared" knowledge, which lets draws that
// write no depth compare with the clear's value instead of reading depth:
// every way depth may change between a clear and a draw must drop it, or
// the draw compares with a value the buffer no longer holds. Seen through
// pixels (a far square drawn without depth writes over depth that a
// missed case would leave unseen) and, where pixels cannot tell, through
// the surface itself.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9/devicecontrol.h"
#include "d3d9fixture.h"
#include "surface.h"

namespace wbx::testing {
namespace {

constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr int kSize = 32;
constexpr D3DCOLOR kBackground = 0xFF202020;

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};

class DeviceUniformDepthTest : public DeviceTest {
protected:
    void Start(D3DFORMAT depthFormat) {
        Create(WindowParams(kSize, kSize, true, depthFormat));
        ASSERT_EQ(device_->CreateVertexBuffer(6 * sizeof(ScreenVertex), 0, kScreenFvf, D3DPOOL_MANAGED, &vb_,
                                              nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ScreenVertex)), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
        IDirect3DSurface9* depth = nullptr;
        ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
        depth_ = dynamic_cast<SoftwareSurface*>(depth);
        ASSERT_NE(depth_, nullptr);
    }
    void TearDown() override {
        if (depth_ != nullptr) depth_->Release();
        if (vb_ != nullptr) vb_->Release();
        DeviceTest::TearDown();
    }

    // A square over the whole target at depth z in one colour, depth tested
    // LESSEQUAL, written or not.
    void Square(float z, D3DCOLOR color, bool writeDepth) {
        const ScreenVertex corners[4] = {{-1, -1, z, 1, color},
                                         {kSize + 1.0f, -1, z, 1, color},
                                         {-1, kSize + 1.0f, z, 1, color},
                                         {kSize + 1.0f, kSize + 1.0f, z, 1, color}};
        const ScreenVertex vertices[6] = {corners[0], corners[1], corners[2],
                                          corners[1], corners[3], corners[2]};
        void* data = nullptr;
        ASSERT_EQ(vb_->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices, sizeof(vertices));
        ASSERT_EQ(vb_->Unlock(), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_ZWRITEENABLE, writeDepth ? TRUE : FALSE), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    }

    void ClearAll(float z) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, z, 0), D3D_OK);
    }

    void SetViewport(DWORD x, DWORD width) {
        const D3DVIEWPORT9 viewport{x, 0, width, kSize, 0.0f, 1.0f};
        ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
    }

    uint32_t Pixel(int x, int y) {
        IDirect3DSurface9* back = nullptr;
        EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t v = 0;
        std::memcpy(&v, static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + 4 * x, 4);
        back->UnlockRect();
        back->Release();
        return v & 0xFFFFFF;
    }

    IDirect3DVertexBuffer9* vb_ = nullptr;
    SoftwareSurface* depth_ = nullptr;  // one public reference held
};

TEST_F(DeviceUniformDepthTest, WhatChangesDepthIsSeenByTheNextDraw) {
    Start(D3DFMT_D16_LOCKABLE);

    // A draw that writes depth: the far square behind it stays hidden.
    ClearAll(1.0f);
    Square(0.2f, 0xFFFF0000, true);
    Square(0.5f, 0xFF00FF00, false);
    EXPECT_EQ(Pixel(16, 16), 0xFF0000u) << "behind a depth-writing draw";

    // Depth written through a lock.
    ClearAll(1.0f);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(depth_->LockRect(&locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < kSize; ++y) {
        const uint16_t nearValue = 0x1000;
        for (int x = 0; x < kSize; ++x)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + 2 * x, &nearValue, 2);
    }
    ASSERT_EQ(depth_->UnlockRect(), D3D_OK);
    Square(0.5f, 0xFF00FF00, false);
    EXPECT_EQ(Pixel(16, 16), kBackground & 0xFFFFFF) << "behind depth written through a lock";

    // Part of the depth cleared again to another value, through the viewport
    // and through a rectangle: only the rest shows the far square.
    for (const bool byRectangle : {false, true}) {
        SetViewport(0, kSize);
        ClearAll(1.0f);
        if (byRectangle) {
            const D3DRECT left{0, 0, kSize / 2, kSize};
            ASSERT_EQ(device_->Clear(1, &left, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
        } else {
            SetViewport(0, kSize / 2);
            ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
            SetViewport(0, kSize);
        }
        Square(0.5f, 0xFF00FF00, false);
        EXPECT_EQ(Pixel(4, 16), kBackground & 0xFFFFFF) << "cleared nearer, by rectangle " << byRectangle;
        EXPECT_EQ(Pixel(28, 16), 0x00FF00u) << "as cleared, by rectangle " << byRectangle;
    }

    // A clear of only part of the depth says nothing of the rest.
    SetViewport(0, kSize);
    ClearAll(0.0f);
    SetViewport(kSize / 2, kSize / 2);
    ClearAll(1.0f);
    SetViewport(0, kSize);
    Square(0.5f, 0xFF00FF00, false);
    EXPECT_EQ(Pixel(4, 16), kBackground & 0xFFFFFF);
    EXPECT_EQ(Pixel(28, 16), 0x00FF00u);
}

TEST_F(DeviceUniformDepthTest, TheViewersFrameKeepsItAndOtherWritersDropIt) {
    Start(D3DFMT_D16_LOCKABLE);
    EXPECT_FALSE(depth_->DepthUniform()) << "a new surface";
    ClearAll(1.0f);
    EXPECT_TRUE(depth_->DepthUniform());
    EXPECT_TRUE(depth_->View().DepthUniform);
    EXPECT_EQ(depth_->View().ClearedDepth, 1.0f);
    Square(0.5f, 0xFF00FF00, false);  // the viewer's draw: depth tested, not written
    EXPECT_TRUE(depth_->DepthUniform());
    EXPECT_EQ(Pixel(16, 16), 0x00FF00u);

    // Reading depth through a lock changes nothing; the same value cleared
    // over part of it neither; a rectangle over all of it sets it again.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(depth_->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    ASSERT_EQ(depth_->UnlockRect(), D3D_OK);
    EXPECT_TRUE(depth_->DepthUniform());
    const D3DRECT part{2, 2, 8, 8}, all{-5, -5, kSize + 5, kSize + 5};
    ASSERT_EQ(device_->Clear(1, &part, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_TRUE(depth_->DepthUniform());
    ASSERT_EQ(device_->Clear(1, &part, D3DCLEAR_ZBUFFER, 0, 0.25f, 0), D3D_OK);
    EXPECT_FALSE(depth_->DepthUniform());
    ASSERT_EQ(device_->Clear(2, std::vector<D3DRECT>{part, all}.data(), D3DCLEAR_ZBUFFER, 0, 0.5f, 0),
              D3D_OK);
    EXPECT_TRUE(depth_->DepthUniform());
    EXPECT_EQ(depth_->View().ClearedDepth, 0.5f);

    // A draw with depth writes on drops it even where depth testing is off.
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    Square(0.5f, 0xFF00FF00, true);
    EXPECT_FALSE(depth_->DepthUniform());
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);

    // A clear of the target alone leaves it as it was.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_FALSE(depth_->DepthUniform());

    // The pixels' memory handed out, and a lock for writing.
    ClearAll(1.0f);
    depth_->Bits();
    EXPECT_FALSE(depth_->DepthUniform());
    ClearAll(1.0f);
    ASSERT_EQ(depth_->LockRect(&locked, nullptr, 0), D3D_OK);
    ASSERT_EQ(depth_->UnlockRect(), D3D_OK);
    EXPECT_FALSE(depth_->DepthUniform());

    // A lost device clears nothing.
    ASSERT_TRUE(LoseDevice(device_));
    ClearAll(1.0f);
    EXPECT_FALSE(depth_->DepthUniform());
}

// A clear to the value the depth holds everywhere already writes nothing;
// after anything that may have changed depth, or to another value, the clear
// fills it. Seen in the depth memory itself: draws that write no depth would
// compare with the clear's value whatever the memory holds.
TEST_F(DeviceUniformDepthTest, AClearToTheValueDepthHoldsWritesNothingAndAnyOtherClearFills) {
    Start(D3DFMT_D16_LOCKABLE);
    const auto allDepth = [&](uint16_t expected) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(depth_->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        int wrong = 0;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                uint16_t v;
                std::memcpy(&v, static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + 2 * x, 2);
                wrong += v != expected;
            }
        }
        EXPECT_EQ(depth_->UnlockRect(), D3D_OK);
        return wrong;
    };
    ClearAll(1.0f);
    EXPECT_EQ(allDepth(0xFFFF), 0);
    Square(0.5f, 0xFF00FF00, false);
    ClearAll(1.0f);  // the viewer's frame after frame
    EXPECT_EQ(allDepth(0xFFFF), 0);

    // After a draw that wrote depth, a part cleared to another value, or
    // another value over all of it, the clear fills.
    Square(0.25f, 0xFFFF0000, true);
    EXPECT_NE(allDepth(0xFFFF), 0);
    ClearAll(1.0f);
    EXPECT_EQ(allDepth(0xFFFF), 0);
    const D3DRECT part{2, 2, 8, 8};
    ASSERT_EQ(device_->Clear(1, &part, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
    EXPECT_EQ(allDepth(0xFFFF), 36);
    ClearAll(1.0f);
    EXPECT_EQ(allDepth(0xFFFF), 0);
    ClearAll(0.5f);
    EXPECT_EQ(allDepth(0x8000), 0);

    // Memory changed behind the device's back (through a read-only lock, the
    // caller's error) shows that the repeated clear wrote nothing.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(depth_->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint16_t marker = 0x1234;
    std::memcpy(locked.pBits, &marker, 2);
    ASSERT_EQ(depth_->UnlockRect(), D3D_OK);
    ClearAll(0.5f);
    EXPECT_EQ(allDepth(0x8000), 1);
}

TEST_F(DeviceUniformDepthTest, StencilWritesDropItWhereTheWordHasStencil) {
    Start(D3DFMT_D24S8);
    ClearAll(1.0f);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 0.0f, 3), D3D_OK);
    EXPECT_TRUE(depth_->DepthUniform()) << "a clear of the stencil alone keeps the depth";
    ASSERT_EQ(device_->SetRenderState(D3DRS_STENCILENABLE, TRUE), D3D_OK);
    Square(0.5f, 0xFF00FF00, false);
    EXPECT_FALSE(depth_->DepthUniform());
}

}  // namespace
}  // namespace wbx::testing
