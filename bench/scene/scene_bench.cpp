// Render of the scene library: traversal, culling, queueing, sorting and the
// state cache, measured without the rasteriser (the device is made lost, so
// its draws and clears do nothing while every state call still goes through),
// optionally with the call recorder attached; and the viewer's three-frame
// tree, also rasterised for comparison. Counters: device calls and heap
// allocations per rendered frame (the test support's heap meter).

#include <benchmark/benchmark.h>

#include <memory>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/devicecontrol.h"
#include "device/korvane.h"
#include "device/texture.h"
#include "heapmeter.h"
#include "memorywindow.h"
#include "scene/light.h"
#include "scene/scene.h"
#include "viewercomponent.h"
#include "viewerscene.h"

namespace wbx {
namespace {

enum class Device { Lost, LostRecorded, Rasterised };

// A device component at 640 x 480 with the viewer's scene: projection,
// camera, one white light, one quad mesh and two textures.
struct Fixture {
    Fixture() {
        KV = testing::StartViewerComponent(window);
        KV->Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        KV->Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        KV->Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        scene = std::make_unique<TOXScene>(KV.get(), "");
        scene->SetProjection(true, 0.7853982f, 0.75f, 0.01f, 10000);
        scene->SetViewport(0, 0, 640, 480);
        lights = std::make_unique<TOXLightGroup>(KV.get(), 1, "");
        testing::SetUpViewerLight(*lights->GetLight(0));
        mesh = testing::MakeQuadMesh(KV.get(), 4);
        for (auto& texture : textures) {
            texture = std::make_unique<TKVTexture>(KV.get(), std::vector<D3DFORMAT>{D3DFMT_A1R5G5B5}, 0,
                                                   D3DPOOL_MANAGED, 1, "");
            texture->SetSize(256, 512);
        }
        root = std::make_unique<TOXFrame>(nullptr);
        TOXFrame* camera = new TOXFrame(root.get());
        scene->Camera = camera;
        testing::PlaceViewerCamera(*camera, *root);
    }
    ~Fixture() {
        AttachCallLog(KV->Device, nullptr);
        root.reset();
        lights.reset();
        mesh.reset();
        for (auto& texture : textures) texture.reset();
        scene.reset();
        KV.reset();
    }

    void Use(Device device) {
        if (device != Device::Rasterised) LoseDevice(KV->Device);
        if (device == Device::LostRecorded) calls = AttachCallLog(KV->Device);
    }

    // One pass as the viewer's idle handler draws it (without Present).
    void Pass() {
        IDirect3DDevice9* device = KV->Device;
        device->BeginScene();
        scene->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888u, 1.0f, 0);
        scene->Render(root.get(), true);
        device->EndScene();
        if (calls) {
            callCount += static_cast<long>(calls->Size());
            calls->Clear();
        }
    }

    testing::MemoryWindow window;
    std::unique_ptr<TKorvane> KV;
    std::unique_ptr<TOXScene> scene;
    std::unique_ptr<TOXLightGroup> lights;
    std::unique_ptr<TOXMesh> mesh;
    std::unique_ptr<TKVTexture> textures[2];
    std::unique_ptr<TOXFrame> root;
    std::shared_ptr<CallLog> calls;
    long callCount = 0;
};

// device: 0 lost, 1 lost and recorded, 2 rasterised. Seven repetitions for medians.
void OnEveryDevice(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("device")->Arg(0)->Arg(1)->Arg(2)->Repetitions(7)->ReportAggregatesOnly(true);
    benchmark->Unit(benchmark::kMicrosecond);
}

void Measure(benchmark::State& state, Fixture& fixture) {
    for (int i = 0; i < 3; ++i) fixture.Pass();  // warm: queues at their working size
    fixture.callCount = 0;
    const size_t allocations = testing::MeterAllocations([&] {
                                   for (auto _ : state) fixture.Pass();
                               }).Count;
    const double frames = static_cast<double>(state.iterations());
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / frames;
    if (fixture.calls) state.counters["calls_per_frame"] = static_cast<double>(fixture.callCount) / frames;
}

// 1,000 frames below the root: 40 groups (sphere-culled as a whole) of 24
// quads each, sharing one mesh, in every blend mode, with two textures and
// alternating switches, a fifth of them behind the camera.
void BM_RenderThousandFrames(benchmark::State& state) {
    Fixture fixture;
    fixture.Use(static_cast<Device>(state.range(0)));
    for (int g = 0; g < 40; ++g) {
        TOXFrame* group = new TOXFrame(fixture.root.get());
        group->SphereCulling = true;
        group->BoundingSphere.Radius = 60;
        const float z = g % 5 == 4 ? 400.0f : static_cast<float>(g % 5) * -20.0f;  // 400: behind the camera
        group->LocalMatrix(3, 2) = z;
        for (int i = 0; i < 24; ++i) {
            TOXFrame* frame = new TOXFrame(group);
            frame->LocalMatrix(3, 0) = static_cast<float>(i % 6 - 3) * 12;
            frame->LocalMatrix(3, 1) = static_cast<float>(i / 6 - 2) * 12;
            frame->Mesh = fixture.mesh.get();
            frame->BlendMode = (g + i) % 6;
            frame->SetTexture(fixture.textures[i % 2].get());
            frame->Lighting = i % 3 != 0;
            frame->SortKeyMode = static_cast<uint8_t>(i % 3);
        }
    }
    Measure(state, fixture);
}
BENCHMARK(BM_RenderThousandFrames)->Apply(OnEveryDevice);

// The viewer's tree: root, camera and one textured model frame in blend mode 2.
void BM_RenderViewerTree(benchmark::State& state) {
    Fixture fixture;
    fixture.Use(static_cast<Device>(state.range(0)));
    TOXFrame* model = new TOXFrame(fixture.root.get());
    model->Mesh = fixture.mesh.get();
    model->Material = MakeMaterial(0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 1, 1, 1, 0.5f, 0.5f, 0.5f, 0);
    model->SetTexture(fixture.textures[0].get());
    model->BlendMode = TOXScene::kBlendAlpha;
    Measure(state, fixture);
}
BENCHMARK(BM_RenderViewerTree)->Apply(OnEveryDevice);

}  // namespace
}  // namespace wbx
