#pragma once
// The scene: turns a frame tree into device calls. It owns the projection,
// the viewport, the camera reference, the blend-mode table and three rendering
// queues (opaque, blended, overlay).
//
// Per pass, between the caller's BeginScene and EndScene: Clear, then Render,
// which sets the view from the camera, walks the tree (world matrices,
// visibility, sphere culling, queueing by blend mode) and draws the opaque,
// the blended (depth-sorted) and the overlay queue with fixed depth states
// between them.
//
// Device loss: the scene registers Restore for rebuild and reset, re-sending
// the viewport and projection and re-reading the blend-op capability.
//
// Camera: a frame link, cleared by the camera frame when it is destroyed, so
// freeing the frame tree before the scene (the viewer's order) is safe and a
// scene whose camera went renders with the identity view.
//
// Allocation: once the queues have reached their working size, Render
// allocates nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d9/d3d9types.h"
#include "device/resource.h"
#include "math/matrix.h"
#include "scene/frame.h"

namespace wbx {

class TKorvane;
class TOXRenderingQueue;

// How frames of one blend mode are queued and blended (24 bytes).
struct TOXBlendMode {
    bool Sorted;         // frames go to the blended (depth-sorted) queue
    uint8_t AlphaTest;   // nonzero: alpha testing on (the low seven bits are sent)
    uint32_t AlphaFunc;  // D3DCMPFUNC of the alpha test
    bool BlendEnable;    // alpha blending on, depth writes off
    uint32_t SrcBlend;   // D3DBLEND
    uint32_t DestBlend;  // D3DBLEND
    uint32_t BlendOp;    // D3DBLENDOP, sent only when the device supports it
};
static_assert(sizeof(TOXBlendMode) == 24);

class TOXScene : public TKVResource {
public:
    // Indices of the six blend modes every scene starts with.
    enum : int32_t {
        kBlendOpaque = 0,
        kBlendAdditive = 1,
        kBlendAlpha = 2,
        kBlendDarken = 3,
        kBlendMultiply = 4,
        kBlendAlphaTest = 5,
    };

    // Creates the queues, registers Restore, adds the six blend modes, and sets
    // the viewport and a projection for the owner window's client size. The
    // device must exist. deviceComponent is not owned.
    TOXScene(TKorvane* deviceComponent, std::string name);
    // Unregisters and frees the queues; the camera and the frames are not touched.
    ~TOXScene() override;

    // Builds and sets a left-handed perspective projection. aspect is height /
    // width; fov is the full angle in radians, horizontal when fovIsHorizontal.
    void SetProjection(bool fovIsHorizontal, float fov, float aspect, float nearZ, float farZ);
    // Sets the viewport to the pixels [x, right) x [y, bottom).
    void SetViewport(uint32_t x, uint32_t y, uint32_t right, uint32_t bottom);
    // The device's Clear of the whole viewport (no rectangles).
    void Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil);
    // Draws the tree below root (nullptr: nothing, but the passes still run).
    // With clearQueues false the queues keep their frames for the next Render;
    // the caller must then not free a queued frame before the queues are cleared.
    void Render(TOXFrame* root, bool clearQueues);
    // Appends a blend mode and returns its index.
    int32_t AddBlendMode(const TOXBlendMode& mode);
    // Re-sends the viewport and projection and re-reads the capabilities.
    void Restore();
    // BlendOpSupported := the device reports D3DPMISCCAPS_BLENDOP.
    void RefreshCaps();

    // Whether the sphere (centre, radius) in the space of world can be in the
    // view volume of the current view (that of the last Render).
    bool SphereVisible(const Matrix& world, const Vec3& centre, float radius) const;
    bool IsBlendModeIndex(int32_t index) const {
        return index >= 0 && static_cast<size_t>(index) < BlendModes.size();
    }

    // Fields, in the order of the design.
    TOXFrameLink Camera;        // view = its inverse world matrix; nullptr: identity view
    TKorvane* DeviceComponent;  // its Device receives every call; not owned
    int32_t ResourceID;         // from RegisterResource
    std::string Name;           // registry name
    Matrix ProjectionMatrix{};  // the last projection set
    Matrix ScreenMatrix{};      // projected coordinates to viewport pixels
    D3DVIEWPORT9 Viewport{};    // X, Y, Width, Height in pixels; MinZ 0, MaxZ 1
    float FovX = 0.0f;          // full horizontal field of view, radians
    float FovY = 0.0f;          // full vertical field of view, radians
    float Aspect = 0.0f;        // height / width as given to SetProjection
    float NearZ = 0.0f;
    float FarZ = 0.0f;
    bool BlendOpSupported = false;  // D3DPMISCCAPS_BLENDOP
    bool SortBlended = true;        // depth-sort the blended queue
    std::vector<TOXBlendMode> BlendModes;
    std::unique_ptr<TOXRenderingQueue> OverlayQueue;  // drawn last, depth test ALWAYS; filled by callers
    std::unique_ptr<TOXRenderingQueue> OpaqueQueue;   // drawn first, in insertion order
    std::unique_ptr<TOXRenderingQueue> BlendedQueue;  // drawn second, farthest first when SortBlended

private:
    void Visit(TOXFrame* frame, const Matrix& parentWorld);
    void Queue(TOXFrame* frame);

    // Sine and cosine of half a field of view: the side planes of the view volume.
    struct HalfAngle {
        float sin;
        float cos;
    };
    void UpdateCullingPlanes();

    Matrix view_{};  // the view matrix of the current (or last) Render
    HalfAngle halfFovH_{0.0f, 1.0f};
    HalfAngle halfFovV_{0.0f, 1.0f};
};

}  // namespace wbx
