#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>

#include "matrixcompare.h"
#include "scene/d3dmatrix.h"
#include "scene/light.h"
#include "scene/renderingqueue.h"
#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

using testing::MakeQuadMesh;
using testing::MatrixNear;
using testing::RS;
using testing::Tex0;
using testing::Translation;
using testing::TSS;

constexpr float kQuarterTurn = 1.5707964f;

class SceneTest : public testing::DeviceTest {
protected:
    Matrix DeviceTransform(D3DTRANSFORMSTATETYPE state) const {
        D3DMATRIX m;
        KV->Device->GetTransform(state, &m);
        return FromD3DMatrix(m);
    }
    D3DVIEWPORT9 DeviceViewport() const {
        D3DVIEWPORT9 viewport{};
        KV->Device->GetViewport(&viewport);
        return viewport;
    }
};

TEST_F(SceneTest, CreateRegistersAndSetsTheDefaults) {
    const size_t before = KV->Resources.size();
    TOXScene scene(KV.get(), "scene");
    ASSERT_EQ(KV->Resources.size(), before + 1);
    EXPECT_EQ(KV->Resources.back()->ID, scene.ResourceID);
    EXPECT_EQ(scene.Name, "scene");
    EXPECT_EQ(scene.Camera.Get(), nullptr);
    EXPECT_TRUE(scene.SortBlended);
    EXPECT_TRUE(scene.BlendOpSupported);  // our software device has it
    ASSERT_NE(scene.OpaqueQueue, nullptr);
    ASSERT_NE(scene.BlendedQueue, nullptr);
    ASSERT_NE(scene.OverlayQueue, nullptr);

    // The six standard modes.
    ASSERT_EQ(scene.BlendModes.size(), 6u);
    const auto row = [](const TOXBlendMode& m) {
        return std::vector<uint32_t>{m.Sorted,   m.AlphaTest, m.AlphaFunc, m.BlendEnable,
                                     m.SrcBlend, m.DestBlend, m.BlendOp};
    };
    EXPECT_EQ(row(scene.BlendModes[0]), (std::vector<uint32_t>{0, 0, 8, 0, 5, 6, 1}));
    EXPECT_EQ(row(scene.BlendModes[1]), (std::vector<uint32_t>{1, 0, 8, 1, 5, 2, 1}));
    EXPECT_EQ(row(scene.BlendModes[2]), (std::vector<uint32_t>{1, 0, 8, 1, 5, 6, 1}));
    EXPECT_EQ(row(scene.BlendModes[3]), (std::vector<uint32_t>{1, 0, 8, 1, 1, 4, 1}));
    EXPECT_EQ(row(scene.BlendModes[4]), (std::vector<uint32_t>{1, 0, 8, 1, 1, 3, 1}));
    EXPECT_EQ(row(scene.BlendModes[5]), (std::vector<uint32_t>{0, 1, 5, 0, 5, 6, 1}));
    EXPECT_EQ(scene.AddBlendMode({true, 0, D3DCMP_ALWAYS, true, D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MAX}),
              6);

    // Viewport and projection for the 640 x 480 window, on the device as well.
    EXPECT_EQ(scene.Viewport.Width, 640u);
    EXPECT_EQ(scene.Viewport.Height, 480u);
    EXPECT_EQ(DeviceViewport().Width, 640u);
    EXPECT_FLOAT_EQ(scene.Aspect, 0.75f);
    EXPECT_EQ(scene.NearZ, 0.01f);
    EXPECT_EQ(scene.FarZ, 10000.0f);
    EXPECT_EQ(scene.FovX, kQuarterTurn);
    EXPECT_NEAR(scene.ProjectionMatrix(1, 1), 1.0f / 0.75f, 1e-5f);
    EXPECT_EQ(DeviceTransform(D3DTS_PROJECTION), scene.ProjectionMatrix);
}

TEST_F(SceneTest, SetProjectionBuildsALeftHandedPerspective) {
    TOXScene scene(KV.get(), "");
    scene.SetProjection(false, kQuarterTurn, 1, 1, 101);
    const Matrix& p = scene.ProjectionMatrix;
    EXPECT_NEAR(p(0, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(p(1, 1), 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p(2, 2), 1.01f);
    EXPECT_EQ(p(2, 3), 1.0f);
    EXPECT_FLOAT_EQ(p(3, 2), -1.01f);
    EXPECT_EQ(p(3, 3), 0.0f);
    EXPECT_EQ(p(0, 1), 0.0f);
    EXPECT_NEAR(scene.FovX, kQuarterTurn, 1e-6f);
    EXPECT_EQ(scene.FovY, kQuarterTurn);
    EXPECT_EQ(scene.NearZ, 1.0f);
    EXPECT_EQ(scene.FarZ, 101.0f);
    EXPECT_EQ(DeviceTransform(D3DTS_PROJECTION), p);

    // The viewer's: a horizontal 45 degrees at 640 x 480.
    scene.SetProjection(true, 0.7853982f, 0.75f, 0.01f, 10000);
    EXPECT_NEAR(p(0, 0), 2.4142137f, 1e-5f);
    EXPECT_NEAR(p(1, 1), 2.4142137f / 0.75f, 1e-5f);
    EXPECT_EQ(scene.FovX, 0.7853982f);
    EXPECT_NEAR(scene.FovY, 2 * std::atan(0.75 / 2.4142137), 1e-6);
}

TEST_F(SceneTest, SetViewportBuildsTheScreenMatrix) {
    TOXScene scene(KV.get(), "");
    scene.SetViewport(0, 0, 640, 480);
    Matrix expected = MatrixIdentity();
    expected(0, 0) = 320;
    expected(1, 1) = -240;
    expected(3, 0) = 320;
    expected(3, 1) = 240;
    EXPECT_EQ(scene.ScreenMatrix, expected);

    scene.SetViewport(10, 20, 110, 70);
    EXPECT_EQ(scene.Viewport.X, 10u);
    EXPECT_EQ(scene.Viewport.Width, 100u);
    EXPECT_EQ(scene.Viewport.Height, 50u);
    EXPECT_EQ(scene.Viewport.MinZ, 0.0f);
    EXPECT_EQ(scene.Viewport.MaxZ, 1.0f);
    EXPECT_EQ(scene.ScreenMatrix(3, 0), 60.0f);
    EXPECT_EQ(scene.ScreenMatrix(3, 1), 45.0f);
    EXPECT_EQ(scene.ScreenMatrix(1, 1), -25.0f);
    const D3DVIEWPORT9 device = DeviceViewport();
    EXPECT_EQ(device.X, 10u);
    EXPECT_EQ(device.Y, 20u);
    EXPECT_EQ(device.Width, 100u);
    EXPECT_EQ(device.Height, 50u);

    Calls->Clear();
    scene.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888u, 1.0f, 0);
    ASSERT_EQ(Calls->Size(), 1u);
    EXPECT_EQ(testing::DeviceTest::Compact(Calls->Records()[0]), "Clear(0,3,4287137928,0)");
}

TEST_F(SceneTest, RenderWithoutARootStillRunsTheThreePasses) {
    TOXScene scene(KV.get(), "");
    KV->Device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    Calls->Clear();
    scene.Render(nullptr, true);

    const std::vector<std::string> pass = testing::QueuePassInitialStates();
    std::vector<std::string> expected = {"SetTransform(2)"};
    expected.insert(expected.end(), pass.begin(), pass.end());  // opaque
    expected.insert(expected.end(), pass.begin(), pass.end());  // blended
    for (const std::string& state :
         {RS(D3DRS_ZENABLE, 0), RS(D3DRS_ZWRITEENABLE, 0), RS(D3DRS_ZFUNC, D3DCMP_ALWAYS)})
        expected.push_back(state);
    expected.insert(expected.end(), pass.begin(), pass.end());  // overlay
    for (const std::string& state :
         {RS(D3DRS_ZENABLE, 1), RS(D3DRS_ZWRITEENABLE, 1), RS(D3DRS_ZFUNC, D3DCMP_LESSEQUAL), Tex0(0)})
        expected.push_back(state);
    EXPECT_EQ(CompactCalls(), expected);

    EXPECT_EQ(RenderState(D3DRS_ZENABLE), 1u);
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), 1u);
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    IDirect3DBaseTexture9* bound = nullptr;
    KV->Device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    // Without a camera the view is the identity.
    EXPECT_EQ(DeviceTransform(D3DTS_VIEW), MatrixIdentity());
}

TEST_F(SceneTest, TheViewComesFromTheCameraAndACameraThatGoesIsForgotten) {
    auto scene = std::make_unique<TOXScene>(KV.get(), "");
    auto root = std::make_unique<TOXFrame>(nullptr);
    TOXFrame* camera = new TOXFrame(root.get());
    scene->Camera = camera;
    testing::PlaceViewerCamera(*camera, *root);
    scene->Render(root.get(), true);
    const Matrix view = DeviceTransform(D3DTS_VIEW);
    EXPECT_TRUE(MatrixNear(view, camera->GetInverseWorldMatrix()));
    // The world origin lies 130 units ahead of the camera.
    EXPECT_TRUE(testing::Vec3Near(testing::TransformPoint({0, 0, 0}, view), {0, 0, 130}));

    // The viewer's shut-down order: the frame tree (camera included) first, then the scene.
    root.reset();
    EXPECT_EQ(scene->Camera.Get(), nullptr);
    scene->Render(nullptr, true);  // identity view, nothing touched
    EXPECT_EQ(DeviceTransform(D3DTS_VIEW), MatrixIdentity());
    scene.reset();
}

TEST_F(SceneTest, TraversalHonoursVisibilityAndSkipsWhatCannotBeDrawn) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    TOXFrame root(nullptr);
    root.LocalMatrix = Translation(0, 0, 10);

    TOXFrame* hiddenSelf = new TOXFrame(&root);  // visibility 2: children only
    hiddenSelf->Visibility = 2;
    hiddenSelf->Mesh = mesh.get();
    TOXFrame* shownChild = new TOXFrame(hiddenSelf);
    shownChild->Mesh = mesh.get();

    TOXFrame* hiddenTree = new TOXFrame(&root);  // visibility 1: nothing below
    hiddenTree->Visibility = 1;
    hiddenTree->Mesh = mesh.get();
    TOXFrame* unseenChild = new TOXFrame(hiddenTree);
    unseenChild->Mesh = mesh.get();

    TOXFrame* emptyLeaf = new TOXFrame(&root);     // nothing to draw: not computed
    TOXFrame* lonelyHidden = new TOXFrame(&root);  // visibility 2 without children
    lonelyHidden->Visibility = 2;
    lonelyHidden->Mesh = mesh.get();

    TOXFrame* ignoring = new TOXFrame(&root);  // IgnoreLocal: the parent's world matrix
    ignoring->IgnoreLocal = 1;
    ignoring->LocalMatrix = Translation(100, 0, 0);
    ignoring->Mesh = mesh.get();
    MatrixScale(ignoring->OffsetMatrix, 2, 2, 2);

    scene.Render(&root, false);
    EXPECT_EQ(scene.OpaqueQueue->Count, 2);
    EXPECT_EQ(scene.OpaqueQueue->Items[0], shownChild);
    EXPECT_EQ(scene.OpaqueQueue->Items[1], ignoring);
    EXPECT_TRUE(hiddenSelf->WorldValid);  // computed for its children
    EXPECT_TRUE(shownChild->WorldValid);
    EXPECT_FALSE(hiddenTree->WorldValid);
    EXPECT_FALSE(unseenChild->WorldValid);
    EXPECT_FALSE(emptyLeaf->WorldValid);
    EXPECT_FALSE(lonelyHidden->WorldValid);
    EXPECT_EQ(ignoring->WorldMatrix, Translation(0, 0, 10));
    EXPECT_TRUE(
        MatrixNear(ignoring->DrawMatrix, testing::Product(ignoring->OffsetMatrix, Translation(0, 0, 10))));
    // Children get the world matrix, not the draw matrix.
    EXPECT_EQ(shownChild->WorldMatrix, Translation(0, 0, 10));

    // With clearQueues false the next pass draws them again beside the new ones.
    Calls->Clear();
    scene.Render(&root, true);
    EXPECT_EQ(scene.OpaqueQueue->Count, 0);
    EXPECT_EQ(Calls->Count("DrawIndexedPrimitive"), 4u);

    // A root below another frame is placed by that frame's world matrix.
    scene.Render(shownChild, false);
    EXPECT_EQ(shownChild->WorldMatrix, Translation(0, 0, 10));
    scene.OpaqueQueue->Clear();
}

TEST_F(SceneTest, FramesAreQueuedByTheirBlendMode) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    TOXFrame root(nullptr);
    root.LocalMatrix = Translation(0, 0, 10);
    for (int32_t mode : {0, 1, 2, 3, 4, 5, 42}) {
        TOXFrame* frame = new TOXFrame(&root);
        frame->Mesh = mesh.get();
        frame->BlendMode = mode;
    }
    scene.Render(&root, false);
    EXPECT_EQ(scene.OpaqueQueue->Count, 3);  // 0, 5 and the unknown 42
    EXPECT_EQ(scene.BlendedQueue->Count, 4);
    EXPECT_EQ(scene.OverlayQueue->Count, 0);
    scene.Render(nullptr, true);
}

TEST_F(SceneTest, HandlersDecideVisibilityAndStandInForMeshes) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    TOXFrame root(nullptr);
    std::vector<std::string> seen;

    // A handler replaces culling: this mesh lies behind the eye, but its
    // draw handler is called.
    TOXFrame* decided = new TOXFrame(&root);
    decided->Mesh = mesh.get();
    decided->LocalMatrix = Translation(0, 0, -50);
    decided->SphereCulling = true;
    decided->OnVisibility = [&](TOXFrame* f, TOXScene* s, TKorvane* kv, uint8_t& v) {
        EXPECT_EQ(f, decided);
        EXPECT_EQ(s, &scene);
        EXPECT_EQ(kv, KV.get());
        v = 0;
    };
    decided->OnDraw = [&](TOXFrame*, TOXScene*, TKorvane*) { seen.push_back("decided"); };
    // A visibility handler without a draw handler: the mesh alone is not drawn.
    TOXFrame* undrawn = new TOXFrame(&root);
    undrawn->Mesh = mesh.get();
    undrawn->OnVisibility = [](TOXFrame*, TOXScene*, TKorvane*, uint8_t& v) { v = 0; };
    // A draw handler without mesh needs a sort key to be queued.
    TOXFrame* drawnByHandler = new TOXFrame(&root);
    drawnByHandler->OnDraw = [&](TOXFrame*, TOXScene*, TKorvane*) { seen.push_back("handler"); };
    drawnByHandler->OnSortKey = [](TOXFrame*, TOXScene*, TKorvane*, float& key) { key = 1; };
    TOXFrame* withoutKey = new TOXFrame(&root);
    withoutKey->OnDraw = [&](TOXFrame*, TOXScene*, TKorvane*) { seen.push_back("no key"); };
    // A handler can hide a frame, or show only its children.
    TOXFrame* hidden = new TOXFrame(&root);
    hidden->Mesh = mesh.get();
    hidden->OnVisibility = [](TOXFrame*, TOXScene*, TKorvane*, uint8_t& v) { v = 1; };

    scene.Render(&root, false);
    EXPECT_EQ(scene.OpaqueQueue->Count, 2);
    EXPECT_EQ(scene.OpaqueQueue->Items[0], decided);
    EXPECT_EQ(scene.OpaqueQueue->Items[1], drawnByHandler);
    EXPECT_TRUE(undrawn->WorldValid);     // visited and computed, but not queued
    EXPECT_TRUE(withoutKey->WorldValid);  // the same
    EXPECT_FALSE(hidden->WorldValid);
    Calls->Clear();
    scene.Render(nullptr, true);
    EXPECT_EQ(seen, (std::vector<std::string>{"decided", "handler", "decided", "handler"}));
    EXPECT_EQ(Calls->Count("DrawIndexedPrimitive"), 0u);  // no mesh drew itself
}

// Culling against the view volume of a 90-degree projection with the identity
// view (no camera): the side planes are x = +-z and y = +-z.
TEST_F(SceneTest, SphereVisibleOnTheStatedBoundaries) {
    TOXScene scene(KV.get(), "");
    scene.SetProjection(false, kQuarterTurn, 1, 1, 101);
    scene.Render(nullptr, true);
    const Matrix identity = MatrixIdentity();
    const auto visible = [&](float x, float y, float z, float r) {
        return scene.SphereVisible(identity, {x, y, z}, r);
    };
    EXPECT_TRUE(visible(0, 0, -2, 2));  // behind the eye at -r exactly: still visible
    EXPECT_FALSE(visible(0, 0, -2.001f, 2));
    EXPECT_TRUE(visible(0, 0, 103, 2));  // FarZ + r
    EXPECT_FALSE(visible(0, 0, 103.01f, 2));
    EXPECT_FALSE(visible(0, 0, 10, 0));  // no radius, never visible
    EXPECT_FALSE(visible(0, 0, 10, -1));
    const float reach = 1.4142135f;  // r / cos(45 degrees) for r = 1
    for (const float sign : {1.0f, -1.0f}) {
        EXPECT_TRUE(visible(sign * (10 + reach - 0.01f), 0, 10, 1));
        EXPECT_FALSE(visible(sign * (10 + reach + 0.01f), 0, 10, 1));
        EXPECT_TRUE(visible(0, sign * (10 + reach - 0.01f), 10, 1));
        EXPECT_FALSE(visible(0, sign * (10 + reach + 0.01f), 10, 1));
    }
    // The sphere is placed by the world matrix given.
    EXPECT_FALSE(scene.SphereVisible(Translation(0, 0, -10), {0, 0, 0}, 1));
    EXPECT_TRUE(scene.SphereVisible(Translation(0, 0, -10), {0, 0, 9}, 1));
}

TEST_F(SceneTest, CullingInTheTraversal) {
    TOXScene scene(KV.get(), "");
    scene.SetProjection(false, kQuarterTurn, 1, 1, 101);
    auto quad = MakeQuadMesh(KV.get(), 1);
    TOXMesh point(KV.get(), "", "");
    testing::FillMesh(point, {{0, 0, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 1, 0, 0}},
                      {0, 1, 2});
    TOXFrame root(nullptr);

    // SphereCulling tests BoundingSphere before descending.
    TOXFrame* culledGroup = new TOXFrame(&root);
    culledGroup->SphereCulling = true;
    culledGroup->LocalMatrix = Translation(0, 0, -5);
    TOXFrame* insideCulled = new TOXFrame(culledGroup);
    insideCulled->Mesh = quad.get();
    insideCulled->LocalMatrix = Translation(0, 0, 20);  // would be visible on its own

    // Every mesh frame is tested with its mesh sphere.
    TOXFrame* behind = new TOXFrame(&root);
    behind->Mesh = quad.get();
    behind->LocalMatrix = Translation(0, 0, -20);
    TOXFrame* degenerate = new TOXFrame(&root);  // all vertices coincide: radius 0
    degenerate->Mesh = &point;
    degenerate->LocalMatrix = Translation(0, 0, 20);

    // The offset scales the mesh sphere: half size, radius sqrt(2)/2, so a
    // centre at z = -0.7 still touches the eye plane; a determinant (1/8)
    // would have culled it.
    TOXFrame* scaled = new TOXFrame(&root);
    scaled->Mesh = quad.get();
    MatrixScale(scaled->OffsetMatrix, 0.5f, 0.5f, 0.5f);
    scaled->LocalMatrix = Translation(0, 0, -0.7f);
    TOXFrame* offsetAway = new TOXFrame(&root);  // the offset's translation moves the sphere
    offsetAway->Mesh = quad.get();
    offsetAway->OffsetMatrix = Translation(0, 0, -30);
    offsetAway->LocalMatrix = Translation(0, 0, 10);

    scene.Render(&root, false);
    EXPECT_FALSE(insideCulled->WorldValid);
    EXPECT_FALSE(culledGroup->WorldValid);
    EXPECT_TRUE(behind->WorldValid);  // computed, then culled
    ASSERT_EQ(scene.OpaqueQueue->Count, 1);
    EXPECT_EQ(scene.OpaqueQueue->Items[0], scaled);
    scene.OpaqueQueue->Clear();

    culledGroup->LocalMatrix = Translation(0, 0, 5);
    scene.Render(&root, false);
    EXPECT_TRUE(insideCulled->WorldValid);
    EXPECT_EQ(scene.OpaqueQueue->Count, 2);
    scene.OpaqueQueue->Clear();
}

// Restore through a real reset, which returns every device state to its default.
TEST_F(SceneTest, ResetDeviceRestoresViewportAndProjection) {
    TOXScene scene(KV.get(), "");
    scene.SetProjection(true, 0.7853982f, 0.75f, 0.01f, 10000);
    scene.SetViewport(10, 20, 330, 260);
    scene.BlendOpSupported = false;
    KV->Device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);

    ASSERT_TRUE(LoseDevice(KV->Device));
    ASSERT_TRUE(EndDeviceLoss(KV->Device));
    KV->ResetDevice();
    ASSERT_EQ(KV->Device->TestCooperativeLevel(), D3D_OK);

    EXPECT_EQ(DeviceTransform(D3DTS_PROJECTION), scene.ProjectionMatrix);
    const D3DVIEWPORT9 viewport = DeviceViewport();
    EXPECT_EQ(viewport.X, 10u);
    EXPECT_EQ(viewport.Y, 20u);
    EXPECT_EQ(viewport.Width, 320u);
    EXPECT_EQ(viewport.Height, 240u);
    EXPECT_TRUE(scene.BlendOpSupported);  // read again
    // States no one restores are back at their defaults: the reset was real.
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
}

// A new device (SetWindowMode) gets the scene's states and the enabled lights
// through the rebuild notifications.
TEST_F(SceneTest, ANewDeviceGetsTheViewportProjectionAndLightsBack) {
    TOXScene scene(KV.get(), "");
    scene.SetProjection(false, kQuarterTurn, 1, 1, 101);
    scene.SetViewport(0, 0, 320, 240);
    TOXLightGroup lights(KV.get(), 2, "");
    testing::SetUpViewerLight(*lights.GetLight(1));
    KV->Device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);

    KV->SetWindowMode(640, 480, DefaultDepthFormats, 0, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(KV->Device, nullptr);
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));  // a fresh device
    EXPECT_EQ(DeviceTransform(D3DTS_PROJECTION), scene.ProjectionMatrix);
    EXPECT_EQ(DeviceViewport().Width, 320u);
    BOOL enabled = FALSE;
    KV->Device->GetLightEnable(1, &enabled);
    EXPECT_NE(enabled, FALSE);
    D3DLIGHT9 light{};
    KV->Device->GetLight(1, &light);
    EXPECT_EQ(light.Direction.z, -1.0f);
}

TEST_F(SceneTest, DestroyUnregistersAndLeavesTheFramesAlone) {
    const size_t before = KV->Resources.size();
    TOXFrame camera(nullptr);
    {
        TOXScene scene(KV.get(), "");
        scene.Camera = &camera;
    }
    EXPECT_EQ(KV->Resources.size(), before);
    camera.SetPosition(nullptr, {1, 2, 3});  // still a valid frame
    EXPECT_EQ(camera.LocalMatrix(3, 2), 3.0f);
}

}  // namespace
}  // namespace wbx
