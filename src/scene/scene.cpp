#include "scene/scene.h"

#include <algorithm>
#include <cmath>

#include "d3d9/d3d9.h"
#include "device/diagnostics.h"
#include "device/korvane.h"
#include "device/ownerwindow.h"
#include "scene/d3dmatrix.h"
#include "scene/mesh.h"
#include "scene/renderingqueue.h"

namespace wbx {

namespace {

// The six modes every scene starts with, in index order.
constexpr TOXBlendMode kStandardBlendModes[] = {
    // Sorted, AlphaTest, AlphaFunc, BlendEnable, SrcBlend, DestBlend, BlendOp
    {false, 0, D3DCMP_ALWAYS, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},   // opaque
    {true, 0, D3DCMP_ALWAYS, true, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},             // additive
    {true, 0, D3DCMP_ALWAYS, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},     // alpha
    {true, 0, D3DCMP_ALWAYS, true, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD},         // darken
    {true, 0, D3DCMP_ALWAYS, true, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},            // multiply
    {false, 1, D3DCMP_GREATER, false, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},  // cut-out
};

constexpr float kDefaultFov = 1.5707964f;  // a quarter turn, horizontal
constexpr float kDefaultNearZ = 0.01f;
constexpr float kDefaultFarZ = 10000.0f;

// How much a linear map can stretch a sphere's radius: the longest of its rows
// (exact for rotations, uniform scales and scales along the axes).
float RadiusScale(const Matrix& m) {
    float longest = 0.0f;
    for (int r = 0; r < 3; ++r) longest = std::max(longest, Vec3Length({m(r, 0), m(r, 1), m(r, 2)}));
    return longest;
}

}  // namespace

TOXScene::TOXScene(TKorvane* deviceComponent, std::string name) : DeviceComponent(deviceComponent) {
    OpaqueQueue = std::make_unique<TOXRenderingQueue>(deviceComponent, this);
    BlendedQueue = std::make_unique<TOXRenderingQueue>(deviceComponent, this);
    OverlayQueue = std::make_unique<TOXRenderingQueue>(deviceComponent, this);
    ResourceID = deviceComponent->RegisterResource(
        this, "TOXScene", name, nullptr, [this] { Restore(); }, nullptr, [this] { Restore(); });
    Name = std::move(name);
    BlendModes.reserve(std::size(kStandardBlendModes));
    for (const TOXBlendMode& mode : kStandardBlendModes) AddBlendMode(mode);
    Camera = nullptr;
    SortBlended = true;
    view_ = MatrixIdentity();

    uint32_t width = 0, height = 0;
    if (const TKVOwnerWindow* window = deviceComponent->OwnerControl) {
        width = static_cast<uint32_t>(std::max(window->ClientWidth(), 0));
        height = static_cast<uint32_t>(std::max(window->ClientHeight(), 0));
    }
    SetViewport(0, 0, width, height);
    // A window without width would make the aspect infinite; any finite value
    // will do until the owner sets its own projection.
    const float aspect = width > 0 ? static_cast<float>(height) / static_cast<float>(width) : 1.0f;
    SetProjection(true, kDefaultFov, aspect, kDefaultNearZ, kDefaultFarZ);
    RefreshCaps();
}

TOXScene::~TOXScene() {
    TKVLogFailureGuard logGuard;
    DeviceComponent->UnregisterResource(ResourceID);
    BlendedQueue.reset();
    OpaqueQueue.reset();
    OverlayQueue.reset();
}

void TOXScene::SetProjection(bool fovIsHorizontal, float fov, float aspect, float nearZ, float farZ) {
    const double k = std::cos(fov / 2.0) / std::sin(fov / 2.0);
    float xs, ys;
    if (fovIsHorizontal) {
        xs = static_cast<float>(k);
        ys = xs / aspect;
        FovX = fov;
        FovY = static_cast<float>(2.0 * std::atan(1.0 / ys));
    } else {
        ys = static_cast<float>(k);
        xs = ys * aspect;
        FovY = fov;
        FovX = static_cast<float>(2.0 * std::atan(1.0 / xs));
    }
    const float q = farZ / (farZ - nearZ);
    ProjectionMatrix = MatrixIdentity();
    ProjectionMatrix(0, 0) = xs;
    ProjectionMatrix(1, 1) = ys;
    ProjectionMatrix(2, 2) = q;
    ProjectionMatrix(2, 3) = 1.0f;
    ProjectionMatrix(3, 2) = -q * nearZ;
    ProjectionMatrix(3, 3) = 0.0f;
    if (IDirect3DDevice9* device = DeviceComponent->Device) {
        const D3DMATRIX projection = ToD3DMatrix(ProjectionMatrix);
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }
    FarZ = farZ;
    NearZ = nearZ;
    Aspect = aspect;
    UpdateCullingPlanes();
}

void TOXScene::UpdateCullingPlanes() {
    halfFovH_ = {std::sin(FovX / 2.0f), std::cos(FovX / 2.0f)};
    halfFovV_ = {std::sin(FovY / 2.0f), std::cos(FovY / 2.0f)};
}

void TOXScene::SetViewport(uint32_t x, uint32_t y, uint32_t right, uint32_t bottom) {
    Viewport = D3DVIEWPORT9{x, y, right - x, bottom - y, 0.0f, 1.0f};
    ScreenMatrix = MatrixIdentity();
    ScreenMatrix(0, 0) = static_cast<float>(Viewport.Width) / 2;
    ScreenMatrix(1, 1) = -static_cast<float>(Viewport.Height) / 2;
    ScreenMatrix(2, 2) = Viewport.MaxZ - Viewport.MinZ;
    ScreenMatrix(3, 0) = static_cast<float>(Viewport.X) + static_cast<float>(Viewport.Width) / 2;
    ScreenMatrix(3, 1) = static_cast<float>(Viewport.Y) + static_cast<float>(Viewport.Height) / 2;
    ScreenMatrix(3, 2) = Viewport.MinZ;
    if (IDirect3DDevice9* device = DeviceComponent->Device) device->SetViewport(&Viewport);
}

void TOXScene::Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if (IDirect3DDevice9* device = DeviceComponent->Device)
        device->Clear(0, nullptr, flags, color, z, stencil);
}

void TOXScene::Render(TOXFrame* root, bool clearQueues) {
    IDirect3DDevice9* device = DeviceComponent->Device;
    if (device == nullptr) return;
    TOXFrame* camera = Camera;
    view_ = camera != nullptr ? camera->GetInverseWorldMatrix() : MatrixIdentity();
    const D3DMATRIX view = ToD3DMatrix(view_);
    device->SetTransform(D3DTS_VIEW, &view);

    if (root != nullptr) {
        UpdateCullingPlanes();  // FovX and FovY are public fields
        const Matrix parentWorld =
            root->Parent != nullptr ? root->Parent->GetWorldMatrix() : MatrixIdentity();
        Visit(root, parentWorld);
    }

    OpaqueQueue->Draw(false, clearQueues);
    BlendedQueue->Draw(SortBlended, clearQueues);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    OverlayQueue->Draw(false, clearQueues);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetTexture(0, nullptr);
}

void TOXScene::Visit(TOXFrame* frame, const Matrix& parentWorld) {
    frame->WorldValid = false;
    uint8_t visibility = frame->Visibility;
    if (frame->OnVisibility) {
        frame->OnVisibility(frame, this, DeviceComponent, visibility);
    } else if (visibility != kVisibilitySkipped && frame->SphereCulling) {
        Matrix world;
        MatrixMultiply(frame->LocalMatrix, parentWorld, world);
        if (!SphereVisible(world, frame->BoundingSphere.Centre, frame->BoundingSphere.Radius))
            visibility = kVisibilitySkipped;
    }
    if (visibility == kVisibilitySkipped) return;
    const bool hasChildren = frame->Children.Count() > 0;
    if (!hasChildren && (visibility == kVisibilityChildrenOnly || (frame->Mesh == nullptr && !frame->OnDraw)))
        return;

    frame->UpdateWorldMatrix(parentWorld);

    if (visibility == kVisibilityDrawn) {
        if (frame->Mesh != nullptr && !frame->OnVisibility) {
            const TOXMesh& mesh = *frame->Mesh;
            Vec3 centre = mesh.Centre;
            float radius = mesh.Radius;
            if (frame->UseOffset) {
                const Matrix& offset = frame->OffsetMatrix;
                Vec3Add(centre, {offset(3, 0), offset(3, 1), offset(3, 2)}, centre);
                radius *= RadiusScale(offset);
            }
            if (SphereVisible(frame->WorldMatrix, centre, radius)) Queue(frame);
        } else if (frame->OnDraw && (frame->Mesh != nullptr || frame->OnSortKey)) {
            // Drawn without a sphere test: a visibility handler has decided
            // already, or the draw handler stands in for the mesh (then with
            // its own sort key, as the blended queue needs one). A frame whose
            // visibility handler decides has to draw itself: with a mesh but
            // no draw handler it is not queued.
            Queue(frame);
        }
    }

    for (TOXFrame* child : frame->Children) Visit(child, frame->WorldMatrix);
}

void TOXScene::Queue(TOXFrame* frame) {
    const bool sorted =
        IsBlendModeIndex(frame->BlendMode) && BlendModes[static_cast<size_t>(frame->BlendMode)].Sorted;
    (sorted ? BlendedQueue : OpaqueQueue)->AddItem(frame);
}

bool TOXScene::SphereVisible(const Matrix& world, const Vec3& centre, float radius) const {
    if (radius <= 0.0f) return false;
    Matrix worldView;
    MatrixMultiply(world, view_, worldView);
    Vec3 p;
    Vec3Transform(centre, worldView, p);
    // Wholly behind the eye plane z = 0 (the near plane plays no part) or beyond the far plane.
    if (p.z < -radius || p.z > FarZ + radius) return false;
    const float sinH = halfFovH_.sin, cosH = halfFovH_.cos;
    const float sinV = halfFovV_.sin, cosV = halfFovV_.cos;
    // Strict comparisons: a sphere touching a side plane counts as visible.
    if (p.x * cosH + p.z * sinH < -radius) return false;
    if (-p.x * cosH + p.z * sinH < -radius) return false;
    if (-p.y * cosV + p.z * sinV < -radius) return false;
    if (p.y * cosV + p.z * sinV < -radius) return false;
    return true;
}

int32_t TOXScene::AddBlendMode(const TOXBlendMode& mode) {
    BlendModes.push_back(mode);
    return static_cast<int32_t>(BlendModes.size()) - 1;
}

void TOXScene::Restore() {
    IDirect3DDevice9* device = DeviceComponent->Device;
    if (device == nullptr) return;
    device->SetViewport(&Viewport);
    const D3DMATRIX projection = ToD3DMatrix(ProjectionMatrix);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    RefreshCaps();
}

void TOXScene::RefreshCaps() {
    D3DCAPS9 caps{};
    BlendOpSupported = DeviceComponent->D3D != nullptr &&
                       SUCCEEDED(DeviceComponent->D3D->GetDeviceCaps(DeviceComponent->Adapter,
                                                                     DeviceComponent->DeviceType, &caps)) &&
                       (caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) != 0;
}

}  // namespace wbx
