// A steady frame loop allocates nothing once the queues have reached their
// working size.

#include <gtest/gtest.h>

#include "device/texture.h"
#include "heapmeter.h"
#include "matrixcompare.h"
#include "scene/light.h"
#include "scene/renderingqueue.h"
#include "scene/scene.h"
#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

using testing::MeterAllocations;

class AllocationTest : public testing::DeviceTest {};

TEST_F(AllocationTest, CountingSeesAnAllocation) {
    // Through a volatile pointer: the compiler may not leave the allocation out.
    EXPECT_GE(MeterAllocations([] {
                  int* volatile kept = new int(1);
                  delete kept;
              }).Count,
              1u);
}

TEST_F(AllocationTest, SteadyRenderLoopAllocatesNothing) {
    AttachCallLog(KV->Device, nullptr);  // the recorder allocates; a real loop has none
    TOXScene scene(KV.get(), "");
    scene.SetProjection(true, 0.7853982f, 0.75f, 0.01f, 10000);
    TOXLightGroup lights(KV.get(), 1, "");
    lights.GetLight(0)->SetEnabled(true);
    auto mesh = testing::MakeQuadMesh(KV.get(), 4);
    TKVTexture texture(KV.get(), {D3DFMT_A1R5G5B5}, 0, D3DPOOL_MANAGED, 1, "");
    texture.SetSize(16, 16);

    TOXFrame root(nullptr);
    TOXFrame* camera = new TOXFrame(&root);
    scene.Camera = camera;
    testing::PlaceViewerCamera(*camera, root);
    // More frames than a queue's first capacity, in every queue-relevant flavour.
    int drawn = 0;
    for (int i = 0; i < 100; ++i) {
        TOXFrame* frame = new TOXFrame(&root);
        frame->LocalMatrix =
            testing::Translation(static_cast<float>(i % 10 - 5) * 9, static_cast<float>(i / 10 - 5) * 9,
                                 static_cast<float>(i % 7));
        frame->Mesh = mesh.get();
        frame->BlendMode = i % 6;
        frame->SetTexture(i % 3 == 0 ? nullptr : &texture);
        frame->Lighting = i % 4 != 0;
        if (i % 10 == 0) frame->OnDraw = [&drawn](TOXFrame*, TOXScene*, TKorvane*) { ++drawn; };
    }
    const auto pass = [&] {
        KV->Device->BeginScene();
        scene.Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888u, 1.0f, 0);
        scene.Render(&root, true);
        KV->Device->EndScene();
    };
    for (int i = 0; i < 3; ++i) pass();  // warm: the queues reach their working size
    ASSERT_GT(drawn, 0);
    EXPECT_EQ(MeterAllocations([&] {
                  for (int i = 0; i < 200; ++i) pass();
              }).Count,
              0u);
}

}  // namespace
}  // namespace wbx
