// Rectangle locks that reach a level's last column or row: right = width and
// bottom = height are the level's edge (rectangles are half-open), not past it.

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class DeviceLockRectTest : public DeviceTest {
protected:
    void SetUp() override { Create(WindowParams(64, 64)); }
};

TEST_F(DeviceLockRectTest, RectanglesToTheLastColumnAndRowLock) {
    IDirect3DTexture9* texture = NewTexture(16, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 2);
    IDirect3DSurface9* level1 = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level1), D3D_OK);

    // The whole width of row 7, through a rectangle; its last texel is (15, 7).
    const RECT lastRow{0, 7, 16, 8};
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, &lastRow, 0), D3D_OK);
    const uint32_t marker = 0x12345678;
    std::memcpy(static_cast<uint8_t*>(locked.pBits) + 15 * 4, &marker, 4);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t read = 0;
    std::memcpy(&read, static_cast<uint8_t*>(locked.pBits) + 7 * locked.Pitch + 15 * 4, 4);
    EXPECT_EQ(read, marker);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    // Every edge of level 0 (16 x 8) and of level 1 (8 x 4), through the
    // texture and through the level's surface; one texel more is refused.
    for (const RECT& edge : {RECT{0, 0, 16, 8}, RECT{15, 0, 16, 1}, RECT{0, 7, 1, 8}, RECT{15, 7, 16, 8}}) {
        EXPECT_EQ(texture->LockRect(0, &locked, &edge, 0), D3D_OK) << edge.right << "," << edge.bottom;
        EXPECT_NE(locked.pBits, nullptr);
        texture->UnlockRect(0);
    }
    for (const RECT& edge : {RECT{0, 0, 8, 4}, RECT{7, 3, 8, 4}}) {
        EXPECT_EQ(level1->LockRect(&locked, &edge, 0), D3D_OK) << edge.right << "," << edge.bottom;
        level1->UnlockRect();
        EXPECT_EQ(texture->LockRect(1, &locked, &edge, 0), D3D_OK) << edge.right << "," << edge.bottom;
        texture->UnlockRect(1);
    }
    for (const RECT& beyond : {RECT{0, 0, 17, 8}, RECT{0, 0, 16, 9}}) {
        EXPECT_EQ(texture->LockRect(0, &locked, &beyond, 0), D3DERR_INVALIDCALL);
    }
    const RECT widerThanLevel1{0, 0, 9, 4};
    EXPECT_EQ(level1->LockRect(&locked, &widerThanLevel1, 0), D3DERR_INVALIDCALL);
    level1->Release();
    texture->Release();
}

}  // namespace
}  // namespace wbx::testing
