#pragma once
// A figure-like scene drawn the way the viewer draws its model: a lathed body
// with FVF 0x112 vertices, a 256 x 512 A1R5G5B5 texture with see-through
// texels, the viewer's material, light, camera, projection and blend mode 2
// (SRCALPHA / INVSRCALPHA, depth tested, not written, both faces drawn).
// Shared by the reference-image test and the benchmarks.

#include <algorithm>
#include <cmath>
#include <vector>

#include "rasterfixture.h"

namespace wbx::testing {

struct FigureScene {
    std::vector<MeshVertex> Vertices;
    std::vector<uint16_t> Indices;
    TextureImage Texture{256, 512, D3DFMT_A1R5G5B5, 2};
    PipelineState State;
};

// Radius of the body at height y in [0, 72] (model units): legs, hips,
// waist, chest, shoulders, neck, head.
inline float FigureRadius(float y) {
    const float t = y / 72.0f;
    const float body = t < 0.78f ? 9.0f + 9.0f * std::sin(t * 3.14159265f * 1.3f) : 0.0f;
    const float head =
        t > 0.8f ? 7.5f * std::sqrt(std::max(0.0f, 1.0f - std::pow((t - 0.9f) / 0.1f, 2.0f))) : 0.0f;
    const float neck = (t > 0.76f && t < 0.84f) ? 3.5f : 0.0f;
    return std::max({body, head, neck, 0.5f}) + (t < 0.45f ? 3.0f * std::cos(t * 40.0f) * 0.2f : 0.0f);
}

// `rings` x `segments` quads: 2 x rings x segments triangles.
inline FigureScene MakeFigureScene(int width, int height, int rings, int segments, int yaw = 0) {
    FigureScene scene;
    // Vertices on the lathe surface; u runs around, v from head to feet.
    for (int i = 0; i <= rings; ++i) {
        const float y = 72.0f * (1.0f - static_cast<float>(i) / static_cast<float>(rings));
        const float r = FigureRadius(y);
        const float dr = (FigureRadius(y + 0.1f) - FigureRadius(y - 0.1f)) / 0.2f;
        for (int j = 0; j <= segments; ++j) {
            const float a = 2.0f * 3.14159265f * static_cast<float>(j) / static_cast<float>(segments);
            const float cx = std::sin(a), cz = std::cos(a);
            // Normal of the surface of revolution: (cos, -dr/dy, sin) normalised.
            const float len = std::sqrt(1.0f + dr * dr);
            scene.Vertices.push_back({r * cx * 1.25f, y, r * cz * 0.8f, cx / len, -dr / len, cz / len,
                                      static_cast<float>(j) / static_cast<float>(segments),
                                      static_cast<float>(i) / static_cast<float>(rings)});
        }
    }
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            const uint16_t a = static_cast<uint16_t>(i * (segments + 1) + j),
                           b = static_cast<uint16_t>(a + 1), c = static_cast<uint16_t>(a + segments + 1),
                           d = static_cast<uint16_t>(c + 1);
            scene.Indices.insert(scene.Indices.end(), {a, c, b, b, c, d});
        }
    }
    // The texture: garment-like bands and a checker, with see-through stripes
    // (alpha bit clear) as composed layers leave them.
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int band = y / 64;
            const bool seeThrough =
                (band == 3 && (x / 16) % 2 == 0) || (band == 6 && ((x + y) / 24) % 3 == 0);
            const int r = (band * 4 + 8) & 31, g = ((x / 32 + y / 32) % 2) ? 24 : 12,
                      b = (31 - band * 3) & 31;
            const uint16_t texel =
                static_cast<uint16_t>((seeThrough ? 0 : 0x8000) | (r << 10) | (g << 5) | b);
            scene.Texture.Set16(x, y, texel);
        }
    }

    PipelineState& s = scene.State;
    s = DefaultState(width, height, true);
    DWORD* rs = s.RenderStates;
    // The viewer's fixed states, its queue's per-pass states and blend mode 2.
    s.SamplerStates[0][D3DSAMP_MINFILTER] = D3DTEXF_LINEAR;
    s.SamplerStates[0][D3DSAMP_MAGFILTER] = D3DTEXF_LINEAR;
    rs[D3DRS_CULLMODE] = D3DCULL_NONE;
    rs[D3DRS_SPECULARENABLE] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_WRAP0] = 0;
    rs[D3DRS_ZENABLE] = D3DZB_TRUE;
    rs[D3DRS_ZWRITEENABLE] = FALSE;
    rs[D3DRS_ALPHABLENDENABLE] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_SRCALPHA;
    rs[D3DRS_DESTBLEND] = D3DBLEND_INVSRCALPHA;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    DWORD* ts = s.StageStates[0];
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_DIFFUSE;
    ts[D3DTSS_COLOROP] = D3DTOP_MODULATE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_DIFFUSE;
    ts[D3DTSS_ALPHAOP] = D3DTOP_MODULATE;
    Bind(s, 0, {&scene.Texture});

    // Model pose at `yaw` (4096 steps a turn), pitch 0, zoom 1: rows R, Up,
    // Dir and the translation -36 Up.
    const float angle = static_cast<float>(yaw) * 2.0f * 3.14159265f / 4096.0f;
    // Quarter turns exactly, as the angle tables give them.
    const float c = yaw % 1024 == 0
                        ? static_cast<float>((yaw / 1024) % 2 == 0 ? ((yaw / 2048) % 2 == 0 ? 1 : -1) : 0)
                        : std::cos(angle);
    const float sn = yaw % 1024 == 0
                         ? static_cast<float>((yaw / 1024) % 2 == 1 ? ((yaw / 1024) % 4 == 1 ? 1 : -1) : 0)
                         : std::sin(angle);
    s.World = Identity();
    s.World._11 = c;
    s.World._13 = -sn;
    s.World._31 = sn;
    s.World._33 = c;
    s.World._42 = -36.0f;
    // The camera at (0, 0, 130) looking at the origin.
    s.View = Identity();
    s.View._11 = -1.0f;
    s.View._33 = -1.0f;
    s.View._43 = 130.0f;
    // Horizontal field of view pi/4, aspect height / width, near 0.01, far 10000.
    const float xs = std::cos(0.3926991f) / std::sin(0.3926991f);
    const float aspect = static_cast<float>(height) / static_cast<float>(width);
    const float q = 10000.0f / (10000.0f - 0.01f);
    s.Projection = D3DMATRIX{};
    s.Projection._11 = xs;
    s.Projection._22 = xs / aspect;
    s.Projection._33 = q;
    s.Projection._34 = 1.0f;
    s.Projection._43 = -q * 0.01f;
    // The material: diffuse and specular 0.1, ambient 1, emissive 0.5, power 0.
    s.Material = {{0.1f, 0.1f, 0.1f, 1}, {1, 1, 1, 1}, {0.1f, 0.1f, 0.1f, 1}, {0.5f, 0.5f, 0.5f, 1}, 0.0f};
    // One white directional light shining into the screen, ambient 0.3.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Specular = {1, 1, 1, 1};
    light.Ambient = {0.3f, 0.3f, 0.3f, 1};
    light.Direction = {0, 0, -1};
    s.ActiveLightCount = 1;
    s.ActiveLights[0] = light;
    return scene;
}

// Draws the figure with the scene's state (no clear).
inline void DrawFigure(Rasterizer& r, const FigureScene& scene, const RenderTargets& targets) {
    VertexStream stream{reinterpret_cast<const uint8_t*>(scene.Vertices.data()), sizeof(MeshVertex),
                        static_cast<UINT>(scene.Vertices.size()), kMeshFVF};
    IndexStream index{reinterpret_cast<const uint8_t*>(scene.Indices.data()), false,
                      static_cast<UINT>(scene.Indices.size())};
    DrawCall call;
    call.PrimitiveCount = static_cast<UINT>(scene.Indices.size() / 3);
    r.Draw(scene.State, stream, &index, call, targets);
}
inline void DrawFigure(Rasterizer& r, const FigureScene& scene, const Canvas& canvas) {
    DrawFigure(r, scene, canvas.Targets());
}

// Clear and draw the scene as one frame of the viewer does. Like the
// device, the draw is told that the depth holds the clear's value all over
// when the viewport covered the whole depth buffer.
inline void DrawFigureFrame(Rasterizer& r, const FigureScene& scene, const Canvas& canvas) {
    const D3DVIEWPORT9& vp = scene.State.Viewport;
    r.Clear(canvas.Targets(), vp, 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF888888, 1.0f, 0);
    RenderTargets targets = canvas.Targets();
    Surface depth = canvas.DepthSurface;
    depth.DepthUniform = vp.X == 0 && vp.Y == 0 && static_cast<int64_t>(vp.Width) >= depth.Width &&
                         static_cast<int64_t>(vp.Height) >= depth.Height;
    depth.ClearedDepth = 1.0f;
    if (canvas.HasDepth) targets.Depth = &depth;
    DrawFigure(r, scene, targets);
}

}  // namespace wbx::testing
