#pragma once
// A rendering queue: the frames the scene's traversal found drawable, drawn in
// one pass, optionally back to front by a depth key, through a per-pass cache
// of device states so that a state is sent only when it differs from the
// previous frame's.
//
// Each scene owns three queues (opaque, blended, overlay). A queue holds plain
// frame pointers: a frame destroyed while queued must be removed by the
// caller (Clear, or Draw with clearAfter), which the scene's Render with
// clearQueues true does every pass.
//
// Allocation: Items, Order and Keys grow by doubling and never shrink, so once
// a queue has reached its working size a frame loop allocates nothing.

#include <cstdint>
#include <vector>

#include "d3d9/d3d9types.h"

class IDirect3DDevice9;

namespace wbx {

class TKorvane;
class TKVTexture;
class TOXFrame;
class TOXScene;

class TOXRenderingQueue {
public:
    inline static constexpr int32_t kInitialCapacity = 32;
    inline static constexpr int32_t kDefaultAlphaRef = 128;

    // deviceComponent and scene are not owned and must outlive the queue.
    TOXRenderingQueue(TKorvane* deviceComponent, TOXScene* scene);
    TOXRenderingQueue(const TOXRenderingQueue&) = delete;
    TOXRenderingQueue& operator=(const TOXRenderingQueue&) = delete;

    // Resizes Items, Order and Keys to n entries, keeping their contents. The
    // queued frames are never cut off: n below Count is raised to Count.
    void SetCapacity(int32_t n);
    // Appends frame (not owned); doubles the capacity when full. A frame added
    // twice is drawn twice.
    void AddItem(TOXFrame* frame);
    void Clear() { Count = 0; }
    // One pass over the queued frames, inside the caller's BeginScene/EndScene:
    // sends the initial states, draws in insertion order or (sorted) farthest
    // first, and empties the queue when clearAfter.
    void Draw(bool sorted, bool clearAfter);

    // Fields, in the order of the design.
    TKorvane* DeviceComponent;            // its Device receives every call; not owned
    TOXScene* Scene;                      // blend modes, BlendOpSupported, ScreenMatrix; not owned
    std::vector<TOXFrame*> Items;         // Capacity entries, the first Count queued (not owned)
    std::vector<int32_t> Order;           // draw order of a sorted pass: indices into Items
    std::vector<float> Keys;              // depth key per position of Order
    int32_t Capacity = 0;                 // allocated length of Items, Order and Keys
    int32_t Count = 0;                    // queued frames
    int32_t AlphaRef = kDefaultAlphaRef;  // D3DRS_ALPHAREF of alpha-tested blend modes

private:
    // The states the previous frame of this pass left on the device.
    struct StateCache {
        TKVTexture* texture;
        bool specularEnable;
        bool lighting;
        int32_t wrap0;
        int32_t fillMode;
        int32_t blendMode;
    };

    void ComputeKeys();
    // Descending quicksort of Keys[lo..hi] moving Order along.
    void SortByKey(int32_t lo, int32_t hi);
    void DrawItem(IDirect3DDevice9* device, TOXFrame* frame);
    void ApplyItemStates(IDirect3DDevice9* device, const TOXFrame* frame);
    void ApplyBlendMode(IDirect3DDevice9* device, int32_t index);
    void BindTexture(IDirect3DDevice9* device, TKVTexture* texture);

    StateCache cache_{};
};

}  // namespace wbx
