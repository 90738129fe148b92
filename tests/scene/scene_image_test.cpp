// End to end: the viewer's scene set-up drawn by our software device, with
// pixel values checked against Direct3D 9's fixed-function lighting worked out
// by hand. On failure the frame is written next to the test program.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "colorcompare.h"
#include "device/texture.h"
#include "scene/light.h"
#include "scene/scene.h"
#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

constexpr int kTextureSize = 16;
// A1R5G5B5: opaque orange (31, 16, 0) on the left half (u < 0.5), and a
// transparent blue on the right.
constexpr uint16_t kOpaqueOrange = 0x8000 | (31 << 10) | (16 << 5);
constexpr uint16_t kTransparentBlue = 0x001F;

class SceneImageTest : public testing::DeviceTest {
protected:
    void WriteFrame(const std::string& name) const {
        const testing::CaptureTarget& capture = Window.Capture;
        std::ofstream out(std::string(WBX_TEST_BINARY_DIR) + "/" + name + ".ppm", std::ios::binary);
        out << "P6\n" << capture.Width << " " << capture.Height << "\n255\n";
        for (int y = 0; y < capture.Height; ++y) {
            for (int x = 0; x < capture.Width; ++x) {
                const std::array<int, 3> rgb = capture.Rgb(x, y);
                for (int c : rgb) out.put(static_cast<char>(c));
            }
        }
    }

    ::testing::AssertionResult PixelNear(int x, int y, std::array<int, 3> expected, int tolerance = 2) const {
        const ::testing::AssertionResult near =
            testing::RgbNear(Window.Capture.Rgb(x, y), expected, tolerance);
        if (near) return near;
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << near.message();
    }
};

TEST_F(SceneImageTest, TheViewersTexturedQuadUnderItsWhiteLight) {
    IDirect3DDevice9* device = KV->Device;
    // The viewer's fixed states.
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    TOXScene scene(KV.get(), "");
    scene.SetProjection(true, 0.7853982f, 480.0f / 640.0f, 0.01f, 10000);
    scene.SetViewport(0, 0, 640, 480);

    auto root = std::make_unique<TOXFrame>(nullptr);
    TOXFrame* model = new TOXFrame(root.get());
    TOXFrame* camera = new TOXFrame(root.get());
    scene.Camera = camera;
    testing::PlaceViewerCamera(*camera, *root);
    // The first pose: zoom 1, yaw 0, pitch 0; the model point (0, 36, 0) lands at the origin.
    Matrix scale;
    MatrixScale(scale, 1, 1, 1);
    model->SetMatrix(root.get(), scale);
    model->SetOrientation(model, {0, 0, 1}, {0, 1, 0});
    model->SetPosition(model, {0, -36, 0});

    TKVTexture texture(KV.get(), {D3DFMT_A1R5G5B5}, 0, D3DPOOL_MANAGED, 0, "");
    texture.SetSize(kTextureSize, kTextureSize);
    const D3DLOCKED_RECT locked = texture.LockRect(0, nullptr, 0);
    ASSERT_NE(locked.pBits, nullptr);
    for (int y = 0; y < kTextureSize; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < kTextureSize; ++x)
            row[x] = x < kTextureSize / 2 ? kOpaqueOrange : kTransparentBlue;
    }
    texture.UnlockRect();

    // A 40 x 40 quad facing the camera, centred on the model point (0, 36, 0).
    TOXMesh mesh(KV.get(), "", "");
    testing::FillMesh(mesh,
                      {{-20, 56, 0, 0, 0, 1, 0, 0},
                       {20, 56, 0, 0, 0, 1, 1, 0},
                       {20, 16, 0, 0, 0, 1, 1, 1},
                       {-20, 16, 0, 0, 0, 1, 0, 1}},
                      {0, 1, 2, 0, 2, 3});
    model->Mesh = &mesh;
    model->Material = MakeMaterial(0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 1, 1, 1, 0.5f, 0.5f, 0.5f, 0);
    model->SetTexture(&texture);
    model->BlendMode = TOXScene::kBlendAlpha;

    TOXLightGroup lights(KV.get(), 1, "");
    TOXLight* light = lights.GetLight(0);
    testing::SetUpViewerLight(*light);

    ASSERT_EQ(device->TestCooperativeLevel(), D3D_OK);
    device->BeginScene();
    scene.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888u, 1.0f, 0);
    scene.Render(root.get(), true);
    device->EndScene();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(Window.Capture.Frames, 1);
    ASSERT_EQ(Window.Capture.Width, 640);

    // Lighting, per vertex in camera space: the normal faces the camera and the
    // light shines along the view, so N.L = 1.
    //   diffuse colour = ambient 1 * (0 + 0.3) + diffuse 0.1 * 1 * 1 + emissive 0.5 = 0.9
    //   specular       = 0.1 * 1 * (N.H)^0 = 0.1 (power 0 does not switch it off)
    // Texel (31, 16, 0) expands to (255, 132, 0); MODULATE, then the specular added:
    //   (255 * 0.9 + 25.5, 132 * 0.9 + 25.5, 0 + 25.5) = (255, 144.3, 25.5)
    // Texel alpha 1 * material alpha 1: the blend (SRCALPHA, INVSRCALPHA) keeps it.
    // The camera looks down -z, so world -x is on the right of the screen: u = 0.25
    // (world x = -10) is at screen x = 320 + 10 / 130 * 2.4142 * 320 = 379.4.
    const std::array<int, 3> lit = {255, 144, 26};
    const std::array<int, 3> grey = {136, 136, 136};
    bool ok = true;
    const auto expectPixel = [&](int x, int y, const std::array<int, 3>& rgb) {
        const ::testing::AssertionResult result = PixelNear(x, y, rgb);
        EXPECT_TRUE(result);
        ok = ok && result;
    };
    expectPixel(379, 240, lit);
    expectPixel(379, 230, lit);
    expectPixel(427, 240, lit);   // u = 0.05, clear of the wrapped texel 15 that linear filtering reaches
    expectPixel(261, 240, grey);  // u = 0.75: alpha 0, the grey shows through
    expectPixel(445, 240, grey);  // beyond the quad's edge at 320 + 118.8
    expectPixel(5, 5, grey);      // background
    if (!ok) WriteFrame("scene_viewer_quad_actual");
}

}  // namespace
}  // namespace wbx
