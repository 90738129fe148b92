// Resource memory: pitches, partial and whole locks, lock errors, creation
// checks and the texture-memory count.

#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class ResourceLockTest : public DeviceTest {
protected:
    void SetUp() override { Create(WindowParams(64, 64)); }
};

TEST_F(ResourceLockTest, PitchIsWiderThanARowAndRectanglesStartWhereTheySay) {
    IDirect3DTexture9* texture = NewTexture(256, 512, D3DFMT_A1R5G5B5);
    D3DLOCKED_RECT whole{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_GT(whole.Pitch, 256 * 2);
    EXPECT_EQ(whole.Pitch % 4, 0);
    // Texel (column 3, row 5) through the pitch.
    auto* base = static_cast<uint8_t*>(whole.pBits);
    const uint16_t marker = 0xABCD;
    std::memcpy(base + 5 * whole.Pitch + 3 * 2, &marker, 2);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    const RECT part{3, 5, 10, 9};
    D3DLOCKED_RECT partial{};
    ASSERT_EQ(texture->LockRect(0, &partial, &part, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(partial.Pitch, whole.Pitch);
    uint16_t read = 0;
    std::memcpy(&read, partial.pBits, 2);
    EXPECT_EQ(read, marker);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    texture->Release();
}

TEST_F(ResourceLockTest, MipChainHalvesEachLevelAndLocksLevelsApart) {
    IDirect3DTexture9* texture = NewTexture(256, 64, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 0);
    ASSERT_EQ(texture->GetLevelCount(), 9u);  // 256, 128, ..., 1
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(3, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Height, 8u);
    ASSERT_EQ(texture->GetLevelDesc(8, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(texture->GetLevelDesc(9, &desc), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT level0{}, level1{};
    ASSERT_EQ(texture->LockRect(0, &level0, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(1, &level1, nullptr, 0), D3D_OK) << "levels lock independently";
    EXPECT_NE(level0.pBits, level1.pBits);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
    texture->Release();
}

TEST_F(ResourceLockTest, LockErrors) {
    IDirect3DTexture9* texture = NewTexture(16, 8);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL) << "unlock of an unlocked level";
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "level out of range";
    EXPECT_EQ(locked.pBits, nullptr);
    EXPECT_EQ(texture->LockRect(0, nullptr, nullptr, 0), D3DERR_INVALIDCALL);

    const RECT outside{0, 0, 17, 8};
    const RECT empty{4, 4, 4, 6};
    const RECT negative{-1, 0, 4, 4};
    const RECT inverted{8, 0, 4, 4};
    for (const RECT& bad : {outside, empty, negative, inverted}) {
        EXPECT_EQ(texture->LockRect(0, &locked, &bad, 0), D3DERR_INVALIDCALL)
            << bad.left << "," << bad.top << "," << bad.right << "," << bad.bottom;
        EXPECT_EQ(locked.pBits, nullptr);
    }

    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    D3DLOCKED_RECT second{};
    EXPECT_EQ(texture->LockRect(0, &second, nullptr, 0), D3DERR_INVALIDCALL)
        << "second lock of a locked level";
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(ResourceLockTest, BufferLocksFollowOffsetAndSizeRules) {
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(20, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    void* whole = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &whole, 0), D3D_OK);
    std::memset(whole, 0x11, 20);
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    // Lock(3, 2) of 16-bit indices is bytes 6 to 9.
    void* part = nullptr;
    ASSERT_EQ(ib->Lock(6, 4, &part, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(part) - static_cast<uint8_t*>(whole), 6);
    std::memset(part, 0x22, 4);
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    void* tail = nullptr;
    ASSERT_EQ(ib->Lock(10, 0, &tail, D3DLOCK_READONLY), D3D_OK) << "size 0 locks to the end";
    const auto* bytes = static_cast<const uint8_t*>(whole);
    EXPECT_EQ(bytes[5], 0x11);
    EXPECT_EQ(bytes[6], 0x22);
    EXPECT_EQ(bytes[9], 0x22);
    EXPECT_EQ(bytes[10], 0x11);
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    void* bad = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(ib->Lock(16, 8, &bad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
    EXPECT_EQ(ib->Lock(20, 0, &bad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib->Lock(0xFFFFFFF0u, 0x20, &bad, 0), D3DERR_INVALIDCALL) << "offset + size wraps";
    EXPECT_EQ(ib->Lock(0, 4, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib->Unlock(), D3DERR_INVALIDCALL);

    D3DINDEXBUFFER_DESC desc{};
    ASSERT_EQ(ib->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(desc.Size, 20u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ib->Release();
}

TEST_F(ResourceLockTest, BufferLocksNestAsInDirect3D) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    void* a = nullptr;
    void* b = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &a, 0), D3D_OK);
    ASSERT_EQ(vb->Lock(0, 32, &b, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC desc{};
    ASSERT_EQ(vb->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.FVF, 0x112u);
    EXPECT_EQ(desc.Size, 64u);
    EXPECT_EQ(desc.Format, D3DFMT_VERTEXDATA);
    vb->Release();
}

TEST_F(ResourceLockTest, NewResourcesStartZeroed) {
    IDirect3DTexture9* texture = NewTexture(7, 3, D3DFMT_R8G8B8);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 3; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
        for (int x = 0; x < 7 * 3; ++x) EXPECT_EQ(row[x], 0);
    }
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(ResourceLockTest, CreationRejectsBadArguments) {
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(device_->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device_->CreateTexture(8193, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL)
        << "more levels than the chain has";
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr),
              D3DERR_INVALIDCALL);
    HANDLE shared = nullptr;
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, &shared),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);

    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(device_->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexBuffer(16, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_INVALIDCALL)
        << "shorter than one vertex of its format";
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(device_->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateIndexBuffer(8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->CreateIndexBuffer(8, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    ib->Release();
}

TEST_F(ResourceLockTest, AbsurdSizesFailWithoutAllocating) {
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(device_->CreateVertexBuffer(0xFFFFFFF0u, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(device_->CreateVertexBuffer(0xFFFFFFF0u, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), E_OUTOFMEMORY);
}

TEST_F(ResourceLockTest, AvailableTextureMemoryFollowsDefaultAndManagedResources) {
    const UINT start = device_->GetAvailableTextureMem();
    EXPECT_EQ(start, 512u * 1024 * 1024);
    IDirect3DTexture9* managed = NewTexture(256, 512, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED);
    const UINT afterManaged = device_->GetAvailableTextureMem();
    EXPECT_LE(afterManaged, start - 256u * 512 * 2);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(4096, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    EXPECT_EQ(device_->GetAvailableTextureMem(), afterManaged - 4096);
    IDirect3DVertexBuffer9* system = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(4096, 0, 0, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
    EXPECT_EQ(device_->GetAvailableTextureMem(), afterManaged - 4096)
        << "system memory is not texture memory";
    system->Release();
    vb->Release();
    managed->Release();
    EXPECT_EQ(device_->GetAvailableTextureMem(), start);
}

TEST(ResourceMemoryTest, DefaultPoolRefusedWhenMemoryIsExhaustedManagedIsNot) {
    AdapterProfile profile = DefaultAdapterProfile();
    profile.TextureMemory = 1024 * 1024;
    ProfileDevice fixture(profile);
    IDirect3DDevice9* device = fixture.device;
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* big = nullptr;
    EXPECT_EQ(device->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &big, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(device->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &big, nullptr),
              D3D_OK);
    EXPECT_EQ(device->GetAvailableTextureMem(), 0u);
    big->Release();
    EXPECT_EQ(device->GetAvailableTextureMem(), 1024u * 1024);
}

}  // namespace
}  // namespace wbx::testing
