#include "scene/renderingqueue.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "d3d9/d3d9.h"
#include "device/korvane.h"
#include "device/texture.h"
#include "scene/d3dmatrix.h"
#include "scene/frame.h"
#include "scene/mesh.h"
#include "scene/scene.h"

namespace wbx {

TOXRenderingQueue::TOXRenderingQueue(TKorvane* deviceComponent, TOXScene* scene)
    : DeviceComponent(deviceComponent), Scene(scene) {
    SetCapacity(kInitialCapacity);
}

void TOXRenderingQueue::SetCapacity(int32_t n) {
    Capacity = std::max(n, Count);
    const auto size = static_cast<size_t>(Capacity);
    Items.resize(size, nullptr);
    Order.resize(size, 0);
    Keys.resize(size, 0.0f);
}

void TOXRenderingQueue::AddItem(TOXFrame* frame) {
    // A capacity of 0 (SetCapacity(0) on an empty queue) would not grow by doubling.
    if (Count >= Capacity) SetCapacity(std::max(2 * Capacity, 1));
    Items[static_cast<size_t>(Count)] = frame;
    ++Count;
}

void TOXRenderingQueue::Draw(bool sorted, bool clearAfter) {
    IDirect3DDevice9* device = DeviceComponent->Device;
    if (device == nullptr) {
        if (clearAfter) Count = 0;
        return;
    }

    // Initial state of the pass, sent unconditionally; the cache starts from it.
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_WRAP0, 0);
    cache_ = StateCache{nullptr, true, true, 0, D3DFILL_SOLID, 0};
    // Blend mode 0's blending and depth writes; its alpha-test states are not re-sent.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);

    if (sorted) {
        ComputeKeys();
        SortByKey(0, Count - 1);
        for (int32_t p = 0; p < Count; ++p)
            DrawItem(device, Items[static_cast<size_t>(Order[static_cast<size_t>(p)])]);
    } else {
        for (int32_t i = 0; i < Count; ++i) DrawItem(device, Items[static_cast<size_t>(i)]);
    }
    if (clearAfter) Count = 0;
}

void TOXRenderingQueue::ComputeKeys() {
    IDirect3DDevice9* device = DeviceComponent->Device;
    D3DMATRIX projection, view;
    device->GetTransform(D3DTS_PROJECTION, &projection);
    device->GetTransform(D3DTS_VIEW, &view);
    Matrix viewProjection, toScreen;
    MatrixMultiply(FromD3DMatrix(view), FromD3DMatrix(projection), viewProjection);
    MatrixMultiply(viewProjection, Scene->ScreenMatrix, toScreen);

    for (int32_t j = 0; j < Count; ++j) {
        const auto at = static_cast<size_t>(j);
        Order[at] = j;
        TOXFrame* frame = Items[at];
        float& key = Keys[at];
        if (frame->OnSortKey) {
            frame->OnSortKey(frame, Scene, DeviceComponent, key);
        } else if (frame->Mesh == nullptr) {
            key = 0.0f;  // only a caller's own AddItem gets here: nothing to measure
        } else {
            Matrix m;
            MatrixMultiply(frame->DrawMatrix, toScreen, m);
            const TOXMesh& mesh = *frame->Mesh;
            const auto depth = [&m](const Vec3& p) {
                Vec4 point, projected;
                Vec4FromVec3(p, point);
                Vec4Transform(point, m, projected);
                return projected.w;
            };
            switch (frame->SortKeyMode) {
                case 0:
                    key = depth(mesh.Centre);
                    break;
                case 1:
                    key = depth(mesh.Centre) + std::fabs(depth(mesh.BoxMax) - depth(mesh.BoxMin)) / 2;
                    break;
                case 2:
                    key = depth(mesh.Centre) - std::fabs(depth(mesh.BoxMax) - depth(mesh.BoxMin)) / 2;
                    break;
                default:
                    key = 0.0f;
                    break;
            }
        }
        // A NaN key (a degenerate matrix, a faulty handler) has no place in the
        // order; it is drawn after every other frame, the same way every pass.
        if (std::isnan(key)) key = -std::numeric_limits<float>::infinity();
    }
}

void TOXRenderingQueue::SortByKey(int32_t lo, int32_t hi) {
    // Hoare's partition around the middle key, descending. The smaller side is
    // sorted by recursion and the larger one by the loop, so the stack depth
    // stays below log2(Count) whatever the keys; the result is the same as
    // recursing into both sides.
    while (lo < hi) {
        const float pivot = Keys[static_cast<size_t>(lo + (hi - lo) / 2)];
        int32_t i = lo - 1;
        int32_t j = hi + 1;
        for (;;) {
            do ++i;
            while (Keys[static_cast<size_t>(i)] > pivot);
            do --j;
            while (Keys[static_cast<size_t>(j)] < pivot);
            if (j <= i) break;
            std::swap(Keys[static_cast<size_t>(i)], Keys[static_cast<size_t>(j)]);
            std::swap(Order[static_cast<size_t>(i)], Order[static_cast<size_t>(j)]);
        }
        if (i - 1 - lo < hi - (j + 1)) {
            SortByKey(lo, i - 1);
            lo = j + 1;
        } else {
            SortByKey(j + 1, hi);
            hi = i - 1;
        }
    }
}

void TOXRenderingQueue::DrawItem(IDirect3DDevice9* device, TOXFrame* frame) {
    ApplyItemStates(device, frame);
    const D3DMATRIX world = ToD3DMatrix(frame->DrawMatrix);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetMaterial(&frame->Material);
    if (frame->OnDraw) {
        frame->OnDraw(frame, Scene, DeviceComponent);
        // The handler may have bound another texture.
        BindTexture(device, cache_.texture);
    } else if (frame->Mesh != nullptr) {
        frame->Mesh->Draw();
    }
}

void TOXRenderingQueue::ApplyItemStates(IDirect3DDevice9* device, const TOXFrame* frame) {
    ApplyBlendMode(device, frame->BlendMode);
    TKVTexture* texture = frame->GetTexture();
    if (texture != cache_.texture) {
        BindTexture(device, texture);
        cache_.texture = texture;
    }
    if (frame->SpecularEnable != cache_.specularEnable) {
        device->SetRenderState(D3DRS_SPECULARENABLE, frame->SpecularEnable ? TRUE : FALSE);
        cache_.specularEnable = frame->SpecularEnable;
    }
    if (frame->Lighting != cache_.lighting) {
        device->SetRenderState(D3DRS_LIGHTING, frame->Lighting ? TRUE : FALSE);
        cache_.lighting = frame->Lighting;
    }
    if (frame->Wrap0 != cache_.wrap0) {
        device->SetRenderState(D3DRS_WRAP0, static_cast<DWORD>(frame->Wrap0));
        cache_.wrap0 = frame->Wrap0;
    }
    if (frame->FillMode != cache_.fillMode) {
        device->SetRenderState(D3DRS_FILLMODE, static_cast<DWORD>(frame->FillMode));
        cache_.fillMode = frame->FillMode;
    }
}

void TOXRenderingQueue::ApplyBlendMode(IDirect3DDevice9* device, int32_t index) {
    // An index outside the table is drawn as mode 0 (opaque) rather than
    // reading past the table.
    if (!Scene->IsBlendModeIndex(index)) index = 0;
    if (index == cache_.blendMode) return;
    const TOXBlendMode& mode = Scene->BlendModes[static_cast<size_t>(index)];
    if (mode.BlendEnable) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_SRCBLEND, mode.SrcBlend);
        device->SetRenderState(D3DRS_DESTBLEND, mode.DestBlend);
        if (Scene->BlendOpSupported) device->SetRenderState(D3DRS_BLENDOP, mode.BlendOp);
    } else {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    }
    device->SetRenderState(D3DRS_ALPHATESTENABLE, mode.AlphaTest & 0x7F);
    if (mode.AlphaTest != 0) {
        device->SetRenderState(D3DRS_ALPHAFUNC, mode.AlphaFunc);
        device->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(AlphaRef));
    }
    cache_.blendMode = index;
}

void TOXRenderingQueue::BindTexture(IDirect3DDevice9* device, TKVTexture* texture) {
    device->SetTexture(0, texture != nullptr ? texture->Texture : nullptr);
}

}  // namespace wbx
