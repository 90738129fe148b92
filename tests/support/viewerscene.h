#pragma once
// The viewer's scene rebuilt in code for tests and benchmarks: meshes in the
// viewer's vertex layout, and its camera and light set-up steps.

#include <cstring>
#include <memory>
#include <vector>

#include "d3d9/d3d9types.h"
#include "device/indexbuffer.h"
#include "device/vertexbuffer.h"
#include "scene/frame.h"
#include "scene/light.h"
#include "scene/mesh.h"

namespace wbx::testing {

// The viewer's vertex: D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 32 bytes.
struct ModelVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(ModelVertex) == 32);
inline constexpr uint32_t kModelFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Allocates mesh for these vertices and indices in the managed pool, fills
// both buffers and computes the bounds.
inline void FillMesh(TOXMesh& mesh, const std::vector<ModelVertex>& vertices,
                     const std::vector<uint16_t>& indices) {
    mesh.Allocate(static_cast<uint32_t>(vertices.size()), static_cast<uint32_t>(indices.size()), kModelFVF,
                  sizeof(ModelVertex), D3DPOOL_MANAGED);
    if (!vertices.empty()) {
        void* data = mesh.VertexBuffer->Lock(0, 0, 0);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(ModelVertex));
        mesh.VertexBuffer->Unlock();
    }
    if (!indices.empty()) {
        void* data = mesh.IndexBuffer->Lock(0, 0, 0);
        std::memcpy(data, indices.data(), indices.size() * sizeof(uint16_t));
        mesh.IndexBuffer->Unlock();
    }
    mesh.ComputeBounds();
}

// A square of side 2 * half in the plane z = 0 facing +z, texture u from 0 at
// x = -half to 1 at x = +half, v from 0 at the top to 1 at the bottom.
inline std::unique_ptr<TOXMesh> MakeQuadMesh(TKorvane* kv, float half) {
    auto mesh = std::make_unique<TOXMesh>(kv, "", "");
    FillMesh(*mesh,
             {{-half, half, 0, 0, 0, 1, 0, 0},
              {half, half, 0, 0, 0, 1, 1, 0},
              {half, -half, 0, 0, 0, 1, 1, 1},
              {-half, -half, 0, 0, 0, 1, 0, 1}},
             {0, 1, 2, 0, 2, 3});
    return mesh;
}

// The camera 130 units out on +z, looking at the origin, placed in root's space.
inline void PlaceViewerCamera(TOXFrame& camera, TOXFrame& root) {
    camera.SetPosition(&root, {0, 0, 130});
    camera.SetOrientation(&root, {0, 0, -1}, {0, 1, 0});
}

// One white directional light shining into the screen, enabled.
inline void SetUpViewerLight(TOXLight& light) {
    light.SetDiffuse(1, 1, 1);
    light.SetSpecular(1, 1, 1);
    light.SetAmbient(0.3f, 0.3f, 0.3f);
    light.SetDirection({0, 0, -1});
    light.SetEnabled(true);
}

}  // namespace wbx::testing
