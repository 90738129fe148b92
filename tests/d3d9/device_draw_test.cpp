// Draw calls: argument checks against the bound buffers, and the views the
// device hands the rasteriser (stream offset, base vertex, 16- and 32-bit
// indices), seen through pre-transformed triangles.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};

class DeviceDrawTest : public DeviceTest {
protected:
    void SetUp() override { Create(WindowParams(32, 32, false, D3DFMT_D16, &window_)); }
    void TearDown() override {
        if (vb_ != nullptr) vb_->Release();
        if (ib_ != nullptr) ib_->Release();
        DeviceTest::TearDown();
    }

    void FillVertices(const std::vector<ScreenVertex>& vertices, UINT extraBytes = 0) {
        const UINT length = static_cast<UINT>(vertices.size() * sizeof(ScreenVertex)) + extraBytes;
        ASSERT_EQ(device_->CreateVertexBuffer(length, 0, kScreenFvf, D3DPOOL_MANAGED, &vb_, nullptr), D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(vb_->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(ScreenVertex));
        ASSERT_EQ(vb_->Unlock(), D3D_OK);
    }

    template <class Index>
    void FillIndices(const std::vector<Index>& indices) {
        const D3DFORMAT format = sizeof(Index) == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
        ASSERT_EQ(device_->CreateIndexBuffer(static_cast<UINT>(indices.size() * sizeof(Index)), 0, format,
                                             D3DPOOL_MANAGED, &ib_, nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(ib_->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, indices.data(), indices.size() * sizeof(Index));
        ASSERT_EQ(ib_->Unlock(), D3D_OK);
    }

    void BindAll(UINT offset = 0) {
        ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, vb_, offset, sizeof(ScreenVertex)), D3D_OK);
        ASSERT_EQ(device_->SetIndices(ib_), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    }

    uint32_t PresentedPixel(int x, int y) {
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        return window_.Pixel(x, y) & 0xFFFFFF;
    }

    // A triangle over the whole 32 x 32 target in one colour, and a junk vertex.
    static std::vector<ScreenVertex> CoveringTriangle(D3DCOLOR color) {
        return {{-100, -100, 0.5f, 1, 0xFFFF00FF},  // junk, skipped by offsets and base vertex
                {-1, -1, 0.5f, 1, color},
                {100, -1, 0.5f, 1, color},
                {-1, 100, 0.5f, 1, color}};
    }

    CaptureTarget window_{1e6};
    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
};

TEST_F(DeviceDrawTest, CallsWithoutTheirBuffersFail) {
    FillVertices(CoveringTriangle(0xFF00FF00));
    FillIndices<uint16_t>({1, 2, 3});
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "nothing bound";
    ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "no indices";
    ASSERT_EQ(device_->SetIndices(ib_), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "no stream";
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, 8), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "stride shorter than the vertex format";
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ScreenVertex)), D3D_OK);
    ASSERT_EQ(device_->SetFVF(0), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "no FVF";
    ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 0, 4, 0, 1),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 0), D3D_OK) << "nothing to draw";
}

TEST_F(DeviceDrawTest, IndexRangeMustLieInTheIndexBuffer) {
    FillVertices(CoveringTriangle(0xFF00FF00));
    FillIndices<uint16_t>({1, 2, 3, 1, 2, 3});
    BindAll();
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 1), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 4, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 4), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 5), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0xFFFFFFFFu, 1), D3DERR_INVALIDCALL)
        << "start index + count wraps";
}

TEST_F(DeviceDrawTest, StreamOffsetAndBaseVertexReachTheRasteriser) {
    FillVertices(CoveringTriangle(0xFF00FF00));
    FillIndices<uint16_t>({0, 1, 2});
    BindAll(sizeof(ScreenVertex));  // the stream starts at the first real vertex
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(PresentedPixel(10, 10), 0x00FF00u);

    // The same through a base vertex instead of an offset.
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ScreenVertex)), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 3, 0, 1), D3D_OK);
    EXPECT_EQ(PresentedPixel(10, 10), 0x00FF00u);
}

TEST_F(DeviceDrawTest, ThirtyTwoBitIndices) {
    FillVertices(CoveringTriangle(0xFF0000FF));
    FillIndices<uint32_t>({1, 2, 3});
    BindAll();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(PresentedPixel(10, 10), 0x0000FFu);
}

TEST_F(DeviceDrawTest, IndicesBeyondTheVertexBufferSkipOnlyTheirPrimitive) {
    // A partial vertex at the end must not count: vertex 4 would read past the buffer.
    FillVertices(CoveringTriangle(0xFFFF0000), sizeof(ScreenVertex) - 4);
    FillIndices<uint16_t>({1, 2, 4, 1, 2, 60000, 1, 2, 3});
    BindAll();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 5, 0, 2), D3D_OK);
    EXPECT_EQ(PresentedPixel(10, 10), 0x000000u) << "both triangles name a vertex the buffer lacks";
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 5, 0, 3), D3D_OK);
    EXPECT_EQ(PresentedPixel(10, 10), 0xFF0000u) << "the good triangle is drawn";
    // An offset past the end leaves no vertex at all.
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 4096, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 3), D3D_OK);
    // A negative base vertex points before the stream: skipped as well.
    ASSERT_EQ(device_->SetStreamSource(0, vb_, 0, sizeof(ScreenVertex)), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -10, 0, 3, 6, 1), D3D_OK);
}

TEST_F(DeviceDrawTest, NonIndexedDrawsStayInsideTheStream) {
    FillVertices(CoveringTriangle(0xFF00FF00));
    BindAll();
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(PresentedPixel(10, 10), 0x00FF00u);
}

TEST(DevicePrimitiveLimitTest, DrawsAboveMaxPrimitiveCountAreRefused) {
    ProfileDevice fixture(WithMaxPrimitiveCount(DefaultAdapterProfile(), 1000));
    IDirect3DDevice9* device = fixture.device;
    ASSERT_NE(device, nullptr);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(3 * 32, 0, 0x112, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(2500 * 3 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
              D3D_OK);
    device->SetFVF(0x112);
    device->SetStreamSource(0, vb, 0, 32);
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1000), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1001), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 6000, 500), D3D_OK);
    vb->Release();
    ib->Release();
}

}  // namespace
}  // namespace wbx::testing
