// Reference counts of the device and its objects, as Direct3D 9 keeps them.

#include <gtest/gtest.h>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

class DeviceRefCountTest : public DeviceTest {};

TEST_F(DeviceRefCountTest, ResourcesHoldTheDeviceUntilTheyAreReleased) {
    Create(WindowParams(64, 64));
    EXPECT_EQ(RefCount(device_), 1u);

    IDirect3DTexture9* texture = NewTexture(16, 16);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(96, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
    EXPECT_EQ(RefCount(device_), 4u);
    EXPECT_EQ(RefCount(texture), 1u);

    // The application lets go of the device first: it lives on for its resources.
    EXPECT_EQ(device_->Release(), 3u);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(ib->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner->Release(), 1u);
    EXPECT_EQ(ib->Release(), 0u);  // the last reference: the device is destroyed with it
    device_ = nullptr;
}

TEST_F(DeviceRefCountTest, BindingDoesNotCountButGettersDo) {
    Create(WindowParams(64, 64));
    IDirect3DTexture9* texture = NewTexture(16, 16);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(96, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);

    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vb, 0, 12), D3D_OK);
    ASSERT_EQ(device_->SetIndices(ib), D3D_OK);
    EXPECT_EQ(RefCount(texture), 1u);
    EXPECT_EQ(RefCount(vb), 1u);
    EXPECT_EQ(RefCount(ib), 1u);

    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(RefCount(texture), 2u);
    bound->Release();

    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 1;
    ASSERT_EQ(device_->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, vb);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, 12u);
    EXPECT_EQ(stream->Release(), 1u);

    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device_->GetIndices(&indices), D3D_OK);
    EXPECT_EQ(indices->Release(), 1u);

    // Releasing bound objects unbinds them; the getters then answer none.
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(ib->Release(), 0u);
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    ASSERT_EQ(device_->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    ASSERT_EQ(device_->GetIndices(&indices), D3D_OK);
    EXPECT_EQ(indices, nullptr);
    EXPECT_EQ(RefCount(device_), 1u);
}

TEST_F(DeviceRefCountTest, SwapChainSurfacesCountOnTheirOwnAndHoldTheDevice) {
    Create(WindowParams(64, 64, true));
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
    EXPECT_EQ(RefCount(back), 1u);
    EXPECT_EQ(RefCount(depth), 1u);
    EXPECT_EQ(RefCount(device_), 3u);

    IDirect3DSurface9* again = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &again), D3D_OK);
    EXPECT_EQ(again, back);
    EXPECT_EQ(again->Release(), 1u);

    // The device component releases these and expects 0 each time.
    EXPECT_EQ(back->Release(), 0u);
    EXPECT_EQ(depth->Release(), 0u);
    EXPECT_EQ(back->Release(), 0u) << "an over-release must not underflow";
    EXPECT_EQ(RefCount(device_), 1u);

    // The surface stays the device's: it can be fetched again and describes the buffer.
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Width, 64u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(back->Release(), 0u);
}

TEST_F(DeviceRefCountTest, TextureLevelsCountOnTheirTexture) {
    Create(WindowParams(64, 64));
    IDirect3DTexture9* texture = NewTexture(32, 32, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 0);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    EXPECT_EQ(RefCount(texture), 2u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(level->Release(), 1u);  // answers the texture's count
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DeviceRefCountTest, MissingDepthSurfaceIsNotFound) {
    Create(WindowParams(64, 64, false));
    IDirect3DSurface9* depth = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(device_->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    EXPECT_EQ(depth, nullptr);
    IDirect3DSurface9* back = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &back), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3DERR_INVALIDCALL);
}

TEST_F(DeviceRefCountTest, DeviceHoldsItsDirect3DObject) {
    Create(WindowParams(64, 64));
    EXPECT_EQ(RefCount(d3d_), 2u);
    IDirect3D9* parent = nullptr;
    ASSERT_EQ(device_->GetDirect3D(&parent), D3D_OK);
    EXPECT_EQ(parent, d3d_);
    EXPECT_EQ(parent->Release(), 2u);
    // Releasing the Direct3D object first leaves the device working.
    EXPECT_EQ(d3d_->Release(), 1u);
    d3d_ = nullptr;
    D3DCAPS9 caps{};
    EXPECT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
}

TEST_F(DeviceRefCountTest, ObjectsOfAnotherDeviceCannotBeBound) {
    Create(WindowParams(64, 64));
    IDirect3DDevice9* other = nullptr;
    D3DPRESENT_PARAMETERS pp = WindowParams(32, 32);
    ASSERT_EQ(
        d3d_->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &other),
        D3D_OK);
    IDirect3DTexture9* foreign = nullptr;
    ASSERT_EQ(other->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &foreign, nullptr), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(foreign->Release(), 0u);
    EXPECT_EQ(other->Release(), 0u);
}

}  // namespace
}  // namespace wbx::testing
