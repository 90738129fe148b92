#include "scene/renderingqueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "device/texture.h"
#include "matrixcompare.h"
#include "scene/d3dmatrix.h"
#include "scene/frame.h"
#include "scene/scene.h"
#include "scenefixture.h"
#include "viewerscene.h"

namespace wbx {
namespace {

using testing::MakeQuadMesh;
using testing::RS;
using testing::Tex0;
using testing::Translation;
using testing::TSS;

int64_t SerialOf(IDirect3DTexture9* texture) { return static_cast<int64_t>(ObjectSerial(texture)); }

class RenderingQueueTest : public testing::DeviceTest {
protected:
    // Gives frame the mesh and a draw matrix in front of the default view, as
    // the traversal would (a queued frame is drawn with its DrawMatrix).
    static void PlaceInView(TOXFrame& frame, TOXMesh* mesh) {
        frame.Mesh = mesh;
        frame.DrawMatrix = Translation(0, 0, 5);
    }

    std::unique_ptr<TKVTexture> MakeTexture() {
        auto texture = std::make_unique<TKVTexture>(KV.get(), std::vector<D3DFORMAT>{D3DFMT_A1R5G5B5}, 0,
                                                    D3DPOOL_MANAGED, 1, "");
        texture->SetSize(16, 16);
        return texture;
    }

    // The recorded calls after the pass's initial states, which are checked.
    std::vector<std::string> CallsAfterInitialStates() {
        std::vector<std::string> calls = CompactCalls();
        const std::vector<std::string> initial = testing::QueuePassInitialStates();
        EXPECT_GE(calls.size(), initial.size());
        if (calls.size() < initial.size()) return {};
        EXPECT_EQ(
            std::vector<std::string>(calls.begin(), calls.begin() + static_cast<ptrdiff_t>(initial.size())),
            initial);
        return {calls.begin() + static_cast<ptrdiff_t>(initial.size()), calls.end()};
    }

    // Only the SetRenderState calls of CallsAfterInitialStates.
    std::vector<std::string> RenderStatesAfterInitialStates() {
        std::vector<std::string> states;
        for (const std::string& call : CallsAfterInitialStates()) {
            if (call.rfind("SetRenderState", 0) == 0) states.push_back(call);
        }
        return states;
    }

    // A child of root that records its id into order when drawn.
    TOXFrame* AddRecordingFrame(TOXFrame& root, int id, std::vector<int>& order) {
        auto* frame = new TOXFrame(&root);
        frame->OnDraw = [id, &order](TOXFrame*, TOXScene*, TKorvane*) { order.push_back(id); };
        return frame;
    }
};

TEST_F(RenderingQueueTest, CreateAndEmptyPass) {
    TOXScene scene(KV.get(), "");
    TOXRenderingQueue& queue = *scene.OpaqueQueue;
    EXPECT_EQ(queue.Capacity, 32);
    EXPECT_EQ(queue.Count, 0);
    EXPECT_EQ(queue.AlphaRef, 128);
    EXPECT_EQ(queue.Scene, &scene);
    EXPECT_GE(queue.Items.size(), 32u);
    EXPECT_GE(queue.Order.size(), 32u);
    EXPECT_GE(queue.Keys.size(), 32u);

    Calls->Clear();
    queue.Draw(false, true);
    EXPECT_EQ(CompactCalls(), testing::QueuePassInitialStates());
    Calls->Clear();
    queue.Draw(true, true);  // a sorted empty pass reads the transforms and draws nothing
    EXPECT_EQ(CompactCalls(), testing::QueuePassInitialStates());
}

TEST_F(RenderingQueueTest, SecondIdenticalFrameSendsOnlyTransformMaterialAndDraw) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    auto texture = MakeTexture();
    TOXFrame root(nullptr);
    for (int i = 0; i < 2; ++i) {
        auto* frame = new TOXFrame(&root);
        frame->Mesh = mesh.get();
        frame->SetTexture(texture.get());
        frame->Lighting = false;
        frame->DrawMatrix = Translation(static_cast<float>(i), 0, 5);
        scene.OpaqueQueue->AddItem(frame);
    }
    Calls->Clear();
    scene.OpaqueQueue->Draw(false, true);
    EXPECT_EQ(scene.OpaqueQueue->Count, 0);

    std::vector<std::string> names;
    for (const std::string& call : CallsAfterInitialStates()) names.push_back(call.substr(0, call.find('(')));
    const std::vector<std::string> expected = {
        "SetTexture",   "SetRenderState",  // first frame: its texture and lighting off
        "SetTransform", "SetMaterial",    "SetFVF", "SetIndices", "SetStreamSource", "DrawIndexedPrimitive",
        "SetTransform", "SetMaterial",    "SetFVF", "SetIndices", "SetStreamSource", "DrawIndexedPrimitive"};
    EXPECT_EQ(names, expected);
    const std::vector<std::string> calls = CallsAfterInitialStates();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], Tex0(SerialOf(texture->Texture)));
    EXPECT_EQ(calls[1], RS(D3DRS_LIGHTING, 0));
    EXPECT_EQ(calls[7], "DrawIndexedPrimitive(4,0,0,4,0,2)");

    // The world matrix sent is the frame's DrawMatrix.
    const std::vector<CallRecord> transforms = Calls->Filter("SetTransform");
    ASSERT_EQ(transforms.size(), 2u);
    EXPECT_EQ(transforms[1].Ints[0], D3DTS_WORLD);
    EXPECT_DOUBLE_EQ(transforms[1].Floats[12], 1.0);
    EXPECT_DOUBLE_EQ(transforms[1].Floats[14], 5.0);
}

TEST_F(RenderingQueueTest, EverySwitchIsSentOnlyWhenItChanges) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    TOXFrame root(nullptr);
    TOXFrame* a = new TOXFrame(&root);
    TOXFrame* b = new TOXFrame(&root);
    for (TOXFrame* f : {a, b}) PlaceInView(*f, mesh.get());
    b->SpecularEnable = false;
    b->Wrap0 = D3DWRAP_U;
    b->FillMode = D3DFILL_WIREFRAME;
    scene.OpaqueQueue->AddItem(a);
    scene.OpaqueQueue->AddItem(b);
    scene.OpaqueQueue->AddItem(a);
    Calls->Clear();
    scene.OpaqueQueue->Draw(false, true);
    const std::vector<std::string> states = RenderStatesAfterInitialStates();
    const std::vector<std::string> expected = {
        RS(D3DRS_SPECULARENABLE, 0),           RS(D3DRS_WRAP0, D3DWRAP_U),
        RS(D3DRS_FILLMODE, D3DFILL_WIREFRAME),  // b
        RS(D3DRS_SPECULARENABLE, 1),           RS(D3DRS_WRAP0, 0),
        RS(D3DRS_FILLMODE, D3DFILL_SOLID)};  // a again
    EXPECT_EQ(states, expected);
}

TEST_F(RenderingQueueTest, AlphaTestedModeThenOpaqueMode) {
    TOXScene scene(KV.get(), "");
    auto mesh = MakeQuadMesh(KV.get(), 1);
    TOXFrame root(nullptr);
    TOXFrame* cutOut = new TOXFrame(&root);
    TOXFrame* opaque = new TOXFrame(&root);
    PlaceInView(*cutOut, mesh.get());
    PlaceInView(*opaque, mesh.get());
    cutOut->BlendMode = TOXScene::kBlendAlphaTest;
    scene.OpaqueQueue->AddItem(cutOut);
    scene.OpaqueQueue->AddItem(opaque);
    Calls->Clear();
    scene.OpaqueQueue->Draw(false, true);
    const std::vector<std::string> states = RenderStatesAfterInitialStates();
    const std::vector<std::string> expected = {
        RS(D3DRS_ALPHABLENDENABLE, 0), RS(D3DRS_ZWRITEENABLE, 1),
        RS(D3DRS_ALPHATESTENABLE, 1),  RS(D3DRS_ALPHAFUNC, D3DCMP_GREATER),
        RS(D3DRS_ALPHAREF, 128),  // mode 5
        RS(D3DRS_ALPHABLENDENABLE, 0), RS(D3DRS_ZWRITEENABLE, 1),
        RS(D3DRS_ALPHATESTENABLE, 0)};  // mode 0
    EXPECT_EQ(states, expected);
}

TEST_F(RenderingQueueTest, BlendedFramesSendBlendOpOnlyWithTheCapability) {
    for (const bool supported : {true, false}) {
        AdapterProfile profile = HardwareProfile(true);
        if (!supported) profile.Find(D3DDEVTYPE_HAL)->Caps.PrimitiveMiscCaps &= ~D3DPMISCCAPS_BLENDOP;
        StartDevice(profile);
        TOXScene scene(KV.get(), "");
        EXPECT_EQ(scene.BlendOpSupported, supported);
        auto mesh = MakeQuadMesh(KV.get(), 1);
        TOXFrame root(nullptr);
        TOXFrame* blended = new TOXFrame(&root);
        PlaceInView(*blended, mesh.get());
        blended->BlendMode = TOXScene::kBlendAdditive;
        scene.BlendedQueue->AddItem(blended);
        Calls->Clear();
        scene.BlendedQueue->Draw(false, true);
        const std::vector<std::string> states = RenderStatesAfterInitialStates();
        std::vector<std::string> expected = {RS(D3DRS_ALPHABLENDENABLE, 1), RS(D3DRS_ZWRITEENABLE, 0),
                                             RS(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA),
                                             RS(D3DRS_DESTBLEND, D3DBLEND_ONE)};
        if (supported) expected.push_back(RS(D3DRS_BLENDOP, D3DBLENDOP_ADD));
        expected.push_back(RS(D3DRS_ALPHATESTENABLE, 0));
        EXPECT_EQ(states, expected) << (supported ? "with" : "without") << " BLENDOP";
    }
}

TEST_F(RenderingQueueTest, ABlendModeOutsideTheTableIsDrawnAsOpaque) {
    TOXScene scene(KV.get(), "");
    TOXFrame root(nullptr);
    std::vector<int> order;
    for (int32_t mode : {int32_t{TOXScene::kBlendAlpha}, 99, -1}) {
        TOXFrame* frame = AddRecordingFrame(root, mode, order);
        frame->BlendMode = mode;
        scene.OpaqueQueue->AddItem(frame);
    }
    scene.OpaqueQueue->Draw(false, true);
    EXPECT_EQ(order, (std::vector<int>{2, 99, -1}));
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), 1u);
}

TEST_F(RenderingQueueTest, DrawHandlerReplacesTheMeshAndTheTextureIsBoundAgain) {
    TOXScene scene(KV.get(), "");
    auto texture = MakeTexture();
    auto other = MakeTexture();
    TOXFrame root(nullptr);
    TOXFrame* frame = new TOXFrame(&root);
    frame->SetTexture(texture.get());
    TOXScene* seenScene = nullptr;
    TKorvane* seenComponent = nullptr;
    frame->OnDraw = [&](TOXFrame* f, TOXScene* s, TKorvane* kv) {
        EXPECT_EQ(f, frame);
        seenScene = s;
        seenComponent = kv;
        kv->Device->SetTexture(0, other->Texture);
    };
    scene.OpaqueQueue->AddItem(frame);
    Calls->Clear();
    scene.OpaqueQueue->Draw(false, true);
    EXPECT_EQ(seenScene, &scene);
    EXPECT_EQ(seenComponent, KV.get());
    const std::vector<std::string> expected = {Tex0(SerialOf(texture->Texture)), "SetTransform(256)",
                                               "SetMaterial()", Tex0(SerialOf(other->Texture)),
                                               Tex0(SerialOf(texture->Texture))};
    EXPECT_EQ(CallsAfterInitialStates(), expected);
}

TEST_F(RenderingQueueTest, CapacityDoublesAtThe33rdItemAndKeepsTheItems) {
    TOXScene scene(KV.get(), "");
    TOXRenderingQueue& queue = *scene.OverlayQueue;
    TOXFrame root(nullptr);
    std::vector<TOXFrame*> frames;
    for (int i = 0; i < 33; ++i) frames.push_back(new TOXFrame(&root));
    for (int i = 0; i < 32; ++i) queue.AddItem(frames[static_cast<size_t>(i)]);
    EXPECT_EQ(queue.Capacity, 32);
    queue.AddItem(frames[32]);
    EXPECT_EQ(queue.Capacity, 64);
    EXPECT_EQ(queue.Count, 33);
    EXPECT_GE(queue.Items.size(), 64u);
    EXPECT_GE(queue.Order.size(), 64u);
    EXPECT_GE(queue.Keys.size(), 64u);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(queue.Items[static_cast<size_t>(i)], frames[static_cast<size_t>(i)]);

    // Shrinking never cuts off queued frames; a capacity of 0 still grows.
    queue.SetCapacity(8);
    EXPECT_EQ(queue.Capacity, 33);
    EXPECT_EQ(queue.Items[32], frames[32]);
    queue.Clear();
    queue.SetCapacity(0);
    queue.AddItem(frames[0]);
    EXPECT_EQ(queue.Count, 1);
    EXPECT_GE(queue.Capacity, 1);
    EXPECT_EQ(queue.Items[0], frames[0]);
}

TEST_F(RenderingQueueTest, DrawWithoutClearAfterKeepsTheQueue) {
    TOXScene scene(KV.get(), "");
    TOXFrame root(nullptr);
    std::vector<int> order;
    TOXFrame* frame = AddRecordingFrame(root, 1, order);
    scene.OpaqueQueue->AddItem(frame);
    scene.OpaqueQueue->AddItem(frame);  // twice: drawn twice
    scene.OpaqueQueue->Draw(false, false);
    EXPECT_EQ(scene.OpaqueQueue->Count, 2);
    scene.OpaqueQueue->Draw(false, true);
    EXPECT_EQ(order, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(scene.OpaqueQueue->Count, 0);
}

TEST_F(RenderingQueueTest, SortedPassDrawsTheFarthestFirst) {
    TOXScene scene(KV.get(), "");
    TOXFrame root(nullptr);
    std::vector<int> order;
    for (int depth : {5, 20, 10}) {
        TOXFrame* frame = AddRecordingFrame(root, depth, order);
        frame->OnSortKey = [depth](TOXFrame*, TOXScene*, TKorvane*, float& key) {
            key = static_cast<float>(depth);
        };
        scene.BlendedQueue->AddItem(frame);
    }
    scene.BlendedQueue->Draw(true, true);
    EXPECT_EQ(order, (std::vector<int>{20, 10, 5}));
}

TEST_F(RenderingQueueTest, ComputedKeysFollowTheSortKeyMode) {
    TOXScene scene(KV.get(), "");
    // w of the projection is the view depth; the view is the identity.
    scene.SetProjection(true, 1.5707964f, 1.0f, 1.0f, 101.0f);
    const D3DMATRIX identity = ToD3DMatrix(MatrixIdentity());
    KV->Device->SetTransform(D3DTS_VIEW, &identity);
    TOXMesh mesh(KV.get(), "", "");
    testing::FillMesh(mesh, {{-1, -1, -1, 0, 0, 1, 0, 0}, {1, 1, 1, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 1, 0, 0}},
                      {0, 1, 2});
    TOXFrame root(nullptr);
    std::vector<int> order;
    struct Case {
        int mode;
        float z;
    };
    // Keys: mode 0 at 5 -> 5; mode 1 at 4.5 -> 5.5; mode 2 at 5.2 -> 4.2; mode 3 -> 0.
    for (const Case& c : {Case{0, 5.0f}, Case{1, 4.5f}, Case{2, 5.2f}, Case{3, 100.0f}}) {
        TOXFrame* frame = AddRecordingFrame(root, c.mode, order);
        frame->Mesh = &mesh;
        frame->SortKeyMode = static_cast<uint8_t>(c.mode);
        frame->DrawMatrix = Translation(0, 0, c.z);
        scene.BlendedQueue->AddItem(frame);
    }
    scene.BlendedQueue->Draw(true, false);
    EXPECT_EQ(order, (std::vector<int>{1, 0, 2, 3}));
    const std::vector<float>& keys = scene.BlendedQueue->Keys;
    EXPECT_NEAR(keys[0], 5.5f, 1e-4f);
    EXPECT_NEAR(keys[1], 5.0f, 1e-4f);
    EXPECT_NEAR(keys[2], 4.2f, 1e-4f);
    EXPECT_EQ(keys[3], 0.0f);
}

// The textbook recursion of the descending quicksort the queue uses (middle
// pivot, Hoare's scans, both sides recursed), as the reference for the order
// of equal keys, which the sort does not keep stable.
void ReferenceSortByKey(std::vector<float>& keys, std::vector<int>& order, int lo, int hi) {
    if (lo >= hi) return;
    const float pivot = keys[static_cast<size_t>((lo + hi) / 2)];
    int i = lo - 1, j = hi + 1;
    for (;;) {
        do ++i;
        while (keys[static_cast<size_t>(i)] > pivot);
        do --j;
        while (keys[static_cast<size_t>(j)] < pivot);
        if (j <= i) break;
        std::swap(keys[static_cast<size_t>(i)], keys[static_cast<size_t>(j)]);
        std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(j)]);
    }
    ReferenceSortByKey(keys, order, lo, i - 1);
    ReferenceSortByKey(keys, order, j + 1, hi);
}

TEST_F(RenderingQueueTest, SortDrawsEqualKeysInTheOrderOfTheRecursiveQuicksort) {
    TOXScene scene(KV.get(), "");
    TOXFrame root(nullptr);
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        const int count = 1 + static_cast<int>(random() % 300);
        std::vector<float> keys(static_cast<size_t>(count));
        for (float& key : keys) key = static_cast<float>(random() % 8);  // many equal keys
        std::vector<int> drawn;
        for (int i = 0; i < count; ++i) {
            TOXFrame* frame = AddRecordingFrame(root, i, drawn);
            const float key = keys[static_cast<size_t>(i)];
            frame->OnSortKey = [key](TOXFrame*, TOXScene*, TKorvane*, float& k) { k = key; };
            scene.BlendedQueue->AddItem(frame);
        }
        Calls->Clear();
        scene.BlendedQueue->Draw(true, true);
        std::vector<int> expected(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) expected[static_cast<size_t>(i)] = i;
        ReferenceSortByKey(keys, expected, 0, count - 1);
        ASSERT_EQ(drawn, expected) << "round " << round;
        while (root.Children.Count() > 0) delete root.Children[0];
    }
}

// Equal keys, NaN keys and large queues: the sort terminates with bounded
// stack, draws every frame exactly once, and orders the numbers correctly.
TEST_F(RenderingQueueTest, SortSurvivesEqualAndNaNKeys) {
    AttachCallLog(KV->Device, nullptr);  // many calls; no need to keep them
    TOXScene scene(KV.get(), "");
    TOXFrame root(nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::mt19937 random(7);

    struct Pattern {
        const char* name;
        std::function<float(int)> key;
    };
    const std::vector<Pattern> patterns = {
        {"equal", [](int) { return 1.0f; }},
        {"all NaN", [nan](int) { return nan; }},
        {"NaN mixed",
         [nan, &random](int i) { return i % 3 == 0 ? nan : static_cast<float>(random() % 1000); }},
        {"two values", [](int i) { return static_cast<float>(i % 2); }},
        {"ascending", [](int i) { return static_cast<float>(i); }},
        {"organ pipe", [](int i) { return static_cast<float>(std::min(i, 40000 - i)); }},
    };
    constexpr int kCount = 40000;
    std::vector<TOXFrame*> frames;
    std::vector<int> order;
    std::vector<float> keyOf(kCount);
    for (int i = 0; i < kCount; ++i) {
        TOXFrame* frame = AddRecordingFrame(root, i, order);
        frame->OnSortKey = [i, &keyOf](TOXFrame*, TOXScene*, TKorvane*, float& key) {
            key = keyOf[static_cast<size_t>(i)];
        };
        frames.push_back(frame);
    }
    for (const Pattern& pattern : patterns) {
        for (int i = 0; i < kCount; ++i) keyOf[static_cast<size_t>(i)] = pattern.key(i);
        order.clear();
        for (TOXFrame* frame : frames) scene.BlendedQueue->AddItem(frame);
        scene.BlendedQueue->Draw(true, true);
        ASSERT_EQ(order.size(), static_cast<size_t>(kCount)) << pattern.name;
        std::vector<int> drawn = order;
        std::sort(drawn.begin(), drawn.end());
        for (int i = 0; i < kCount; ++i) ASSERT_EQ(drawn[static_cast<size_t>(i)], i) << pattern.name;
        // Numbers descend; NaN keys come after all of them.
        bool seenNaN = false;
        float previous = std::numeric_limits<float>::infinity();
        for (int id : order) {
            const float key = keyOf[static_cast<size_t>(id)];
            if (std::isnan(key)) {
                seenNaN = true;
                continue;
            }
            ASSERT_FALSE(seenNaN) << pattern.name << ": a number after a NaN key";
            ASSERT_LE(key, previous) << pattern.name;
            previous = key;
        }
        // The same keys give the same order.
        const std::vector<int> first = order;
        order.clear();
        for (TOXFrame* frame : frames) scene.BlendedQueue->AddItem(frame);
        scene.BlendedQueue->Draw(true, true);
        EXPECT_EQ(order, first) << pattern.name;
    }
}

}  // namespace
}  // namespace wbx
