// Fixed-function lighting against hand-computed Direct3D 9 formulas.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "rasterfixture.h"
#include "vertexprocessor.h"

namespace wbx::testing {
namespace {

D3DCOLORVALUE Rgba(float r, float g, float b, float a = 1.0f) { return {r, g, b, a}; }

D3DLIGHT9 Directional(D3DVECTOR direction, D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = {},
                      D3DCOLORVALUE ambient = {}) {
    D3DLIGHT9 l{};
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Direction = direction;
    l.Diffuse = diffuse;
    l.Specular = specular;
    l.Ambient = ambient;
    return l;
}

struct Lit {
    float Diffuse[4];
    float Specular[3];
};

// Lights one vertex of the viewer's format at `position` with `normal`.
Lit LightVertex(const PipelineState& s, D3DVECTOR position, D3DVECTOR normal) {
    const MeshVertex v{position.x, position.y, position.z, normal.x, normal.y, normal.z, 0, 0};
    const VertexFormat format = DecodeFVF(kMeshFVF);
    const VertexProcessor processor(s, format);
    ShadedVertex out;
    processor.Process(reinterpret_cast<const uint8_t*>(&v), out);
    Lit lit;
    for (int i = 0; i < 4; ++i) lit.Diffuse[i] = out.Attr[kAttrDiffuse + i];
    for (int i = 0; i < 3; ++i) lit.Specular[i] = out.Attr[kAttrSpecular + i];
    return lit;
}

PipelineState LitState() {
    PipelineState s = DefaultState(16, 16, false);
    s.Material = {};
    s.RenderStates[D3DRS_SPECULARENABLE] = TRUE;
    return s;
}

void AddLight(PipelineState& s, const D3DLIGHT9& light) { s.ActiveLights[s.ActiveLightCount++] = light; }

const float kCos60 = 0.5f, kSin60 = 0.8660254f;

TEST(RasterLighting, AmbientDiffuseSpecularEmissive) {
    PipelineState s = LitState();
    s.RenderStates[D3DRS_AMBIENT] = 0x00404040;  // 64/255
    s.RenderStates[D3DRS_LOCALVIEWER] = FALSE;
    s.Material.Ambient = Rgba(0.5f, 0.25f, 1.0f);
    s.Material.Diffuse = Rgba(0.8f, 0.4f, 0.2f, 0.6f);
    s.Material.Specular = Rgba(1.0f, 0.5f, 0.25f);
    s.Material.Emissive = Rgba(0.05f, 0.1f, 0.0f);
    s.Material.Power = 4.0f;
    AddLight(s, Directional({0, 0, 1}, Rgba(1, 0.5f, 1), Rgba(1, 1, 0.5f), Rgba(0.2f, 0.2f, 0.2f)));
    // N at 60 degrees from L = (0, 0, -1): N.L = 0.5. The non-local viewer's
    // H = normalize(L + (0, 0, -1)) = (0, 0, -1), so N.H = 0.5 too.
    const Lit lit = LightVertex(s, {0, 0, 5}, {0, kSin60, -kCos60});
    const float ga = 64.0f / 255.0f;
    const float expected[3] = {0.05f + 0.5f * (ga + 0.2f) + 0.8f * 1.0f * 0.5f,
                               0.1f + 0.25f * (ga + 0.2f) + 0.4f * 0.5f * 0.5f,
                               0.0f + 1.0f * (ga + 0.2f) + 0.2f * 1.0f * 0.5f};
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(lit.Diffuse[c], std::min(expected[c], 1.0f), 1e-5f) << c;
    EXPECT_NEAR(lit.Diffuse[3], 0.6f, 1e-6f);  // the material's diffuse alpha
    const float highlight = std::pow(0.5f, 4.0f);
    EXPECT_NEAR(lit.Specular[0], 1.0f * 1.0f * highlight, 1e-5f);
    EXPECT_NEAR(lit.Specular[1], 0.5f * 1.0f * highlight, 1e-5f);
    EXPECT_NEAR(lit.Specular[2], 0.25f * 0.5f * highlight, 1e-5f);
}

TEST(RasterLighting, PowerZeroGivesFullSpecularOnlyWhereTheLightReaches) {
    PipelineState s = LitState();
    s.Material.Specular = Rgba(1, 1, 1);
    s.Material.Power = 0.0f;
    AddLight(s, Directional({0, 0, 1}, Rgba(1, 1, 1), Rgba(1, 1, 1)));
    const Lit facing = LightVertex(s, {0, 0, 5}, {0, kSin60, -kCos60});
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(facing.Specular[c], 1.0f);
    const Lit away = LightVertex(s, {0, 0, 5}, {0, 0, 1});
    for (int c = 0; c < 3; ++c) {
        EXPECT_FLOAT_EQ(away.Specular[c], 0.0f);
        EXPECT_FLOAT_EQ(away.Diffuse[c], 0.0f);
    }
    // SPECULARENABLE off: no specular is computed.
    s.RenderStates[D3DRS_SPECULARENABLE] = FALSE;
    EXPECT_FLOAT_EQ(LightVertex(s, {0, 0, 5}, {0, 0, -1}).Specular[0], 0.0f);
}

TEST(RasterLighting, LocalViewerUsesTheDirectionToTheEye) {
    PipelineState s = LitState();
    s.Material.Specular = Rgba(1, 1, 1);
    s.Material.Power = 10.0f;
    AddLight(s, Directional({0, 0, 1}, Rgba(0, 0, 0), Rgba(1, 1, 1)));
    // Vertex at (2, 0, 2): the eye lies along (-1, 0, -1); H between it and L.
    s.RenderStates[D3DRS_LOCALVIEWER] = TRUE;
    const double hx = -std::sqrt(0.5), hz = -std::sqrt(0.5) - 1.0;
    const double nDotH = -hz / std::sqrt(hx * hx + hz * hz);
    EXPECT_NEAR(LightVertex(s, {2, 0, 2}, {0, 0, -1}).Specular[0], std::pow(nDotH, 10.0), 1e-5);
    s.RenderStates[D3DRS_LOCALVIEWER] = FALSE;
    EXPECT_NEAR(LightVertex(s, {2, 0, 2}, {0, 0, -1}).Specular[0], 1.0, 1e-6);
}

TEST(RasterLighting, ColoursClampAndVertexColourSources) {
    PipelineState s = LitState();
    s.Material.Emissive = Rgba(0.9f, 0.9f, 0.9f);
    s.Material.Diffuse = Rgba(0.5f, 0.5f, 0.5f, 0.25f);
    AddLight(s, Directional({0, 0, 1}, Rgba(1, 1, 1)));
    EXPECT_FLOAT_EQ(LightVertex(s, {0, 0, 1}, {0, 0, -1}).Diffuse[0], 1.0f);  // 0.9 + 0.5 clamps

    // A vertex with a diffuse colour feeds Cd (and its alpha) under the
    // default COLOR1 source; COLORVERTEX FALSE goes back to the material.
    struct ColoredVertex {
        float X, Y, Z, NX, NY, NZ;
        D3DCOLOR Diffuse;
    };
    s.Material.Emissive = Rgba(0, 0, 0);
    const ColoredVertex v{0, 0, 1, 0, 0, -1, 0x80FF0000};
    const VertexFormat format = DecodeFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    ShadedVertex out;
    VertexProcessor(s, format).Process(reinterpret_cast<const uint8_t*>(&v), out);
    EXPECT_FLOAT_EQ(out.Attr[0], 1.0f);
    EXPECT_FLOAT_EQ(out.Attr[1], 0.0f);
    EXPECT_NEAR(out.Attr[3], 128.0f / 255.0f, 1e-6f);
    s.RenderStates[D3DRS_COLORVERTEX] = FALSE;
    VertexProcessor(s, format).Process(reinterpret_cast<const uint8_t*>(&v), out);
    EXPECT_FLOAT_EQ(out.Attr[0], 0.5f);
    EXPECT_FLOAT_EQ(out.Attr[3], 0.25f);
    // A source naming a colour the vertex lacks falls back to the material.
    s.RenderStates[D3DRS_COLORVERTEX] = TRUE;
    s.RenderStates[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR2;
    VertexProcessor(s, format).Process(reinterpret_cast<const uint8_t*>(&v), out);
    EXPECT_FLOAT_EQ(out.Attr[0], 0.5f);
}

TEST(RasterLighting, NormalsFollowTheWorldViewMatrix) {
    PipelineState s = LitState();
    s.Material.Diffuse = Rgba(1, 1, 1);
    AddLight(s, Directional({0, 0, 1}, Rgba(1, 1, 1)));
    // A world scale of 2 shrinks inverse-transposed normals to half length.
    s.World._11 = s.World._22 = s.World._33 = 2.0f;
    EXPECT_NEAR(LightVertex(s, {0, 0, 1}, {0, 0, -1}).Diffuse[0], 0.5f, 1e-6f);
    s.RenderStates[D3DRS_NORMALIZENORMALS] = TRUE;
    EXPECT_NEAR(LightVertex(s, {0, 0, 1}, {0, 0, -1}).Diffuse[0], 1.0f, 1e-6f);

    // The view turns the light with the normals: a view rotated a quarter
    // turn about y keeps a light along -x lighting a normal along +x.
    PipelineState t = LitState();
    t.Material.Diffuse = Rgba(1, 1, 1);
    AddLight(t, Directional({-1, 0, 0}, Rgba(1, 1, 1)));
    t.View = Identity();
    t.View._11 = 0;
    t.View._13 = -1;
    t.View._31 = 1;
    t.View._33 = 0;
    EXPECT_NEAR(LightVertex(t, {0, 0, 1}, {1, 0, 0}).Diffuse[0], 1.0f, 1e-6f);

    // Without normals only ambient and emissive remain.
    t.Material.Emissive = Rgba(0.25f, 0.25f, 0.25f);
    struct Bare {
        float X, Y, Z;
    } bare{0, 0, 1};
    ShadedVertex out;
    const VertexFormat format = DecodeFVF(D3DFVF_XYZ);
    VertexProcessor(t, format).Process(reinterpret_cast<const uint8_t*>(&bare), out);
    EXPECT_FLOAT_EQ(out.Attr[0], 0.25f);
}

TEST(RasterLighting, PointAndSpotLightsAttenuateAndCut) {
    PipelineState s = LitState();
    s.Material.Diffuse = Rgba(1, 1, 1);
    D3DLIGHT9 point{};
    point.Type = D3DLIGHT_POINT;
    point.Diffuse = Rgba(1, 1, 1);
    point.Position = {0, 0, -1};
    point.Range = 10;
    point.Attenuation1 = 1;  // 1 / d
    AddLight(s, point);
    EXPECT_NEAR(LightVertex(s, {0, 0, 1}, {0, 0, -1}).Diffuse[0], 0.5f, 1e-6f);  // d = 2
    s.ActiveLights[0].Range = 1.5f;
    EXPECT_FLOAT_EQ(LightVertex(s, {0, 0, 1}, {0, 0, -1}).Diffuse[0], 0.0f);  // out of range

    D3DLIGHT9 spot = point;
    spot.Type = D3DLIGHT_SPOT;
    spot.Range = 100;
    spot.Attenuation1 = 0;
    spot.Attenuation0 = 1;
    spot.Direction = {0, 0, 1};
    spot.Theta = 0.5f;  // full inside +-0.25 rad
    spot.Phi = 1.0f;    // nothing outside +-0.5 rad
    spot.Falloff = 1.0f;
    s.ActiveLights[0] = spot;
    auto lightAt = [&](double angle) {  // vertex 2 units from the light, `angle` off the axis
        const float x = static_cast<float>(2 * std::sin(angle)),
                    z = static_cast<float>(-1 + 2 * std::cos(angle));
        const float nx = static_cast<float>(-std::sin(angle)), nz = static_cast<float>(-std::cos(angle));
        return LightVertex(s, {x, 0, z}, {nx, 0, nz}).Diffuse[0];
    };
    EXPECT_NEAR(lightAt(0.1), 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(lightAt(0.6), 0.0f);
    const double rho = std::cos(0.375), inner = std::cos(0.25), outer = std::cos(0.5);
    EXPECT_NEAR(lightAt(0.375), (rho - outer) / (inner - outer), 1e-4);
}

// Vertices lit four at a time (as draws light them) get exactly the bits of
// vertices lit one at a time, over random lights, materials, matrices and
// states, with odd counts, normals of zero length or NaN, negative light and
// a vertex at the eye; states the four-wide lighting leaves to the other
// (a point light, a specular power) are in the mix as well.
TEST(RasterLighting, FourAtATimeGivesTheBitsOfOneAtATime) {
    std::mt19937 rng(20261208);
    auto uniform = [&](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(rng);
    };
    auto color = [&] {
        return Rgba(uniform(-0.5f, 1.5f), uniform(-0.5f, 1.5f), uniform(-0.5f, 1.5f), uniform(0, 1));
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const VertexFormat format = DecodeFVF(kMeshFVF);
    for (int round = 0; round < 200; ++round) {
        PipelineState s = LitState();
        DWORD* rs = s.RenderStates;
        rs[D3DRS_LOCALVIEWER] = rng() % 2;
        rs[D3DRS_SPECULARENABLE] = rng() % 4 != 0;
        rs[D3DRS_NORMALIZENORMALS] = rng() % 2;
        rs[D3DRS_AMBIENT] = rng();
        s.Material = {color(), color(), color(), color(), rng() % 8 == 0 ? 5.0f : 0.0f};
        const int lights = static_cast<int>(rng() % 4);
        for (int i = 0; i < lights; ++i) {
            D3DLIGHT9 light =
                Directional({uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)}, color(), color(), color());
            if (rng() % 10 == 0) {
                light.Type = D3DLIGHT_POINT;
                light.Position = {uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)};
                light.Range = 100.0f;
                light.Attenuation0 = 1.0f;
            }
            AddLight(s, light);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                s.World.m[r][c] = uniform(-2, 2);
                s.View.m[r][c] = r == c ? 1.0f : uniform(-0.3f, 0.3f);
            }
        s.World.m[3][0] = uniform(-3, 3);
        std::vector<MeshVertex> vertices(1 + rng() % 23);
        for (MeshVertex& v : vertices) {
            v = {uniform(-4, 4), uniform(-4, 4), uniform(-4, 4), uniform(-1, 1),
                 uniform(-1, 1), uniform(-1, 1), uniform(0, 1),  uniform(0, 1)};
            const unsigned odd = rng() % 12;
            if (odd == 0) v.NX = v.NY = v.NZ = 0.0f;
            if (odd == 1) v.NY = nan;
            if (odd == 2) v.NX = 1e30f;
        }
        // A vertex at the eye: the camera-space origin.
        if (rng() % 3 == 0) {
            s.World = Identity();
            s.View = Identity();
            vertices[0].X = vertices[0].Y = vertices[0].Z = 0.0f;
        }
        const VertexProcessor processor(s, format);
        std::vector<ShadedVertex> one(vertices.size()), four(vertices.size());
        for (size_t i = 0; i < vertices.size(); ++i)
            processor.Process(reinterpret_cast<const uint8_t*>(&vertices[i]), one[i]);
        processor.ProcessRange(reinterpret_cast<const uint8_t*>(vertices.data()), sizeof(MeshVertex),
                               vertices.size(), four.data());
        for (size_t i = 0; i < vertices.size(); ++i)
            ASSERT_EQ(std::memcmp(&one[i], &four[i], sizeof(ShadedVertex)), 0)
                << "round " << round << " vertex " << i;
    }
}

TEST(RasterLighting, UnlitVerticesKeepTheirColours) {
    PipelineState s = LitState();
    s.RenderStates[D3DRS_LIGHTING] = FALSE;
    ShadedVertex out;
    const MeshVertex v{0, 0, 1, 0, 0, -1, 0, 0};
    VertexProcessor(s, DecodeFVF(kMeshFVF)).Process(reinterpret_cast<const uint8_t*>(&v), out);
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(out.Attr[c], 1.0f);  // no diffuse: white
    for (int c = 4; c < 7; ++c) EXPECT_FLOAT_EQ(out.Attr[c], 0.0f);  // no specular: black
    // Lighting on, no lights, no ambient: black.
    s.RenderStates[D3DRS_LIGHTING] = TRUE;
    s.Material.Diffuse = Rgba(1, 1, 1);
    VertexProcessor(s, DecodeFVF(kMeshFVF)).Process(reinterpret_cast<const uint8_t*>(&v), out);
    EXPECT_FLOAT_EQ(out.Attr[0], 0.0f);
}

// A processor keeps its own copy of the vertex format: one built from a
// temporary format reads the vertices as one built from a kept format does.
TEST(RasterLighting, AProcessorBuiltFromATemporaryFormatKeepsIt) {
    PipelineState s = DefaultState(8, 8, false);
    AddLight(s, Directional({0, 0, -1}, Rgba(1, 1, 1), Rgba(1, 1, 1), Rgba(0.3f, 0.3f, 0.3f)));
    s.World._41 = 0.25f;
    const VertexProcessor fromTemporary(s, DecodeFVF(kMeshFVF));
    // Other formats decoded on the same stack after the temporary has gone.
    const VertexFormat others[3] = {DecodeFVF(kTLFVF),
                                    DecodeFVF(D3DFVF_XYZRHW | D3DFVF_SPECULAR | D3DFVF_TEX3),
                                    DecodeFVF(D3DFVF_XYZB5 | D3DFVF_DIFFUSE)};
    const VertexFormat kept = DecodeFVF(kMeshFVF);
    const VertexProcessor fromKept(s, kept);
    const MeshVertex v{0.5f, -0.25f, 0.75f, 0, 0.6f, 0.8f, 0.3f, 0.7f};
    ShadedVertex a{}, b{};
    fromTemporary.Process(reinterpret_cast<const uint8_t*>(&v), a);
    fromKept.Process(reinterpret_cast<const uint8_t*>(&v), b);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(a)), 0);
    EXPECT_FLOAT_EQ(a.Clip[0], 0.75f);
    EXPECT_FLOAT_EQ(a.Attr[kAttrTexCoord], 0.3f);
    EXPECT_GT(others[1].Size, 0);
}

TEST(RasterLighting, TheViewersMaterialAndLightOnScreen) {
    // The viewer's material (diffuse 0.1, specular 0.1, ambient 1, emissive
    // 0.5, power 0) under its white directional light with ambient 0.3, on a
    // surface facing the light: 0.5 + 0.3 + 0.1 = 0.9 diffuse plus 0.1
    // specular, added per pixel: white.
    Rasterizer r;
    Canvas c(8, 8, D3DFMT_UNKNOWN);
    PipelineState s = DefaultState(8, 8, false);
    s.RenderStates[D3DRS_SPECULARENABLE] = TRUE;
    s.RenderStates[D3DRS_CULLMODE] = D3DCULL_NONE;
    s.Material = {Rgba(0.1f, 0.1f, 0.1f), Rgba(1, 1, 1), Rgba(0.1f, 0.1f, 0.1f), Rgba(0.5f, 0.5f, 0.5f),
                  0.0f};
    AddLight(s, Directional({0, 0, -1}, Rgba(1, 1, 1), Rgba(1, 1, 1), Rgba(0.3f, 0.3f, 0.3f)));
    // Normals face the light (towards +z, the light shines along -z).
    const std::vector<MeshVertex> facing{
        {-1, 1, 0.5f, 0, 0, 1, 0, 0}, {3, 1, 0.5f, 0, 0, 1, 0, 0}, {-1, -3, 0.5f, 0, 0, 1, 0, 0}};
    DrawList(r, s, c, facing, kMeshFVF);
    EXPECT_NEAR(static_cast<int>(c.Rgb(2, 2) & 0xFF), 255, 1);
    // Turned away: emissive and ambient only, 0.8.
    const std::vector<MeshVertex> away{
        {-1, 1, 0.5f, 0, 0, -1, 0, 0}, {3, 1, 0.5f, 0, 0, -1, 0, 0}, {-1, -3, 0.5f, 0, 0, -1, 0, 0}};
    DrawList(r, s, c, away, kMeshFVF);
    EXPECT_NEAR(static_cast<int>(c.Rgb(2, 2) & 0xFF), 204, 1);
}

}  // namespace
}  // namespace wbx::testing
