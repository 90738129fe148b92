// Small scenes drawn through the Direct3D 9 interface and read back from the
// presented frame: the last triangle of a draw, a directional light pointing
// along x, and the mip level MIPFILTER POINT picks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3d9fixture.h"

namespace wbx::testing {
namespace {

constexpr uint32_t kBlack = 0x000000;

class DeviceSceneTest : public DeviceTest {
protected:
    void SetUp() override { Create(WindowParams(32, 32, false, D3DFMT_D16, &window_)); }

    // Presents the back buffer; the pixel's colour without alpha.
    uint32_t PresentedPixel(int x, int y) {
        EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        return window_.Pixel(x, y) & 0xFFFFFF;
    }

    void ClearTo(D3DCOLOR color) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0), D3D_OK);
    }

    template <class Vertex>
    IDirect3DVertexBuffer9* VertexBuffer(const std::vector<Vertex>& vertices, DWORD fvf) {
        IDirect3DVertexBuffer9* vb = nullptr;
        const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        EXPECT_EQ(device_->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
        void* data = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), bytes);
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        return vb;
    }

    IDirect3DIndexBuffer9* IndexBuffer(const std::vector<uint16_t>& indices) {
        IDirect3DIndexBuffer9* ib = nullptr;
        const UINT bytes = static_cast<UINT>(indices.size() * sizeof(uint16_t));
        EXPECT_EQ(device_->CreateIndexBuffer(bytes, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr),
                  D3D_OK);
        void* data = nullptr;
        EXPECT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, indices.data(), bytes);
        EXPECT_EQ(ib->Unlock(), D3D_OK);
        return ib;
    }

    CaptureTarget window_{1e6};
};

// Pre-transformed vertices: screen pixels.
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// A triangle over the 8 x 8 cell (column, row) of the 32 x 32 target, its
// vertices numbered from first.
void CellTriangle(std::vector<ScreenVertex>& vertices, int column, int row, D3DCOLOR color) {
    const float x = 8.0f * static_cast<float>(column), y = 8.0f * static_cast<float>(row);
    vertices.push_back({x, y, 0.5f, 1, color});
    vertices.push_back({x + 16, y, 0.5f, 1, color});
    vertices.push_back({x, y + 16, 0.5f, 1, color});
}

TEST_F(DeviceSceneTest, TheLastTriangleOfADrawIsDrawnAlsoWhenItIsTheOnlyOne) {
    // Three triangles in three cells; the buffers hold exactly their nine vertices and indices.
    std::vector<ScreenVertex> vertices;
    CellTriangle(vertices, 0, 0, 0xFFFF0000);
    CellTriangle(vertices, 2, 0, 0xFF00FF00);
    CellTriangle(vertices, 0, 2, 0xFF0000FF);
    IDirect3DVertexBuffer9* vb = VertexBuffer(vertices, kScreenFvf);
    IDirect3DIndexBuffer9* ib = IndexBuffer({0, 1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(device_->SetFVF(kScreenFvf), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vb, 0, sizeof(ScreenVertex)), D3D_OK);
    ASSERT_EQ(device_->SetIndices(ib), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    const auto cells = [&] {
        return std::vector<uint32_t>{PresentedPixel(2, 2), PresentedPixel(18, 2), PresentedPixel(2, 18)};
    };

    ClearTo(0xFF000000);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 9, 0, 3), D3D_OK);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF}));
    // A draw of one triangle, the last of the buffers.
    ClearTo(0xFF000000);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 9, 6, 1), D3D_OK);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{kBlack, kBlack, 0x0000FF}));
    // The same without indices.
    ClearTo(0xFF000000);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 3), D3D_OK);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF}));
    ClearTo(0xFF000000);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 1), D3D_OK);
    EXPECT_EQ(cells(), (std::vector<uint32_t>{kBlack, kBlack, 0x0000FF}));
    vb->Release();
    ib->Release();
}

// Untransformed vertices with a normal.
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

// A row-major matrix (row vectors on the left, as Direct3D has them).
D3DMATRIX Matrix(std::initializer_list<float> values) {
    D3DMATRIX m{};
    std::copy(values.begin(), values.end(), &m._11);
    return m;
}
const D3DMATRIX kIdentity = Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

TEST_F(DeviceSceneTest, ADirectionalLightAlongXLightsTheFacesTurnedTowardsIt) {
    // The left half of the target faces -x, the right half +x (world, view and
    // projection identity: clip space is the world).
    std::vector<LitVertex> vertices;
    for (const float side : {-1.0f, 1.0f}) {
        const float x0 = side < 0 ? -1.0f : 0.0f, x1 = x0 + 1.0f;
        for (const auto& [x, y] :
             {std::pair{x0, -1.0f}, {x1, -1.0f}, {x0, 1.0f}, {x1, -1.0f}, {x1, 1.0f}, {x0, 1.0f}})
            vertices.push_back({x, y, 0.5f, side, 0, 0});
    }
    IDirect3DVertexBuffer9* vb = VertexBuffer(vertices, kLitFvf);
    ASSERT_EQ(device_->SetFVF(kLitFvf), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vb, 0, sizeof(LitVertex)), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_AMBIENT, 0), D3D_OK);
    for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
        ASSERT_EQ(device_->SetTransform(state, &kIdentity), D3D_OK);
    D3DMATERIAL9 material{};
    material.Diffuse = {1, 1, 1, 1};
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);

    const auto draw = [&](float x, float z, const D3DMATRIX& world, const D3DMATRIX& view) {
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Direction = {x, 0, z};
        EXPECT_EQ(device_->SetLight(0, &light), D3D_OK);
        EXPECT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
        EXPECT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
        EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
        ClearTo(0xFF808080);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4), D3D_OK);
        return std::pair{PresentedPixel(8, 16), PresentedPixel(24, 16)};
    };
    // Light travelling towards +x lights the faces turned towards -x.
    EXPECT_EQ(draw(1, 0, kIdentity, kIdentity), std::pair(0xFFFFFFu, kBlack));
    EXPECT_EQ(draw(-1, 0, kIdentity, kIdentity), std::pair(kBlack, 0xFFFFFFu));
    // Lighting happens in view space, where the light's direction is turned
    // by the view. This view turns the world's -z onto the view's +x; the
    // world matrix turns the faces back, so in view space they are as above,
    // and a light along the world's -z travels along the view's +x.
    const D3DMATRIX view = Matrix({0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1});
    const D3DMATRIX world = Matrix({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(draw(0, -1, world, view), std::pair(0xFFFFFFu, kBlack));
    EXPECT_EQ(draw(0, 1, world, view), std::pair(kBlack, 0xFFFFFFu));
    vb->Release();
}

// A pre-transformed vertex with one texture coordinate pair.
struct TexturedVertex {
    float x, y, z, rhw;
    float u, v;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;

TEST_F(DeviceSceneTest, MipFilterPointTakesTheNearestLevel) {
    // Three levels of 16, 8 and 4 texels, each one colour.
    IDirect3DTexture9* texture = NewTexture(16, 16, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, 3);
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    for (UINT level = 0; level < 3; ++level) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        const UINT side = 16u >> level;
        for (UINT y = 0; y < side; ++y)
            for (UINT x = 0; x < side; ++x)
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &colours[level],
                            4);
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
    }
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetFVF(kTexturedFvf), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT), D3D_OK);

    // The whole texture on a square of side pixels: log2(16 / side) texels a
    // pixel is the level of detail, which POINT rounds to the nearest level.
    const auto drawn = [&](float side) {
        IDirect3DVertexBuffer9* quad = VertexBuffer<TexturedVertex>({{0, 0, 0.5f, 1, 0, 0},
                                                                     {side, 0, 0.5f, 1, 1, 0},
                                                                     {0, side, 0.5f, 1, 0, 1},
                                                                     {side, side, 0.5f, 1, 1, 1}},
                                                                    kTexturedFvf);
        EXPECT_EQ(device_->SetStreamSource(0, quad, 0, sizeof(TexturedVertex)), D3D_OK);
        ClearTo(0xFF000000);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        quad->Release();
        return PresentedPixel(1, 1);
    };
    EXPECT_EQ(drawn(13), colours[0]);  // 0.30
    EXPECT_EQ(drawn(10), colours[1]);  // 0.68: nearer level 1 than level 0
    EXPECT_EQ(drawn(7), colours[1]);   // 1.19
    EXPECT_EQ(drawn(5), colours[2]);   // 1.68
    EXPECT_EQ(drawn(2), colours[2]);   // 3: beyond the last level
    texture->Release();
}

}  // namespace
}  // namespace wbx::testing
