#include "vertexprocessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wbx::raster {

namespace {

using Matrix4 = double[4][4];

void ToDouble(const D3DMATRIX& m, Matrix4& out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out[r][c] = m.m[r][c];
}

// out = a x b (row vectors multiply on the left, as in Direct3D).
void Multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    Matrix4 result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c] + a[r][3] * b[3][c];
    std::memcpy(out, result, sizeof(result));
}

// Inverse transpose of the upper 3 x 3; a singular matrix gives zeros (its
// normals then light nothing but ambient and emissive).
void NormalMatrix(const Matrix4& m, double out[3][3]) {
    const double a = m[0][0], b = m[0][1], c = m[0][2];
    const double d = m[1][0], e = m[1][1], f = m[1][2];
    const double g = m[2][0], h = m[2][1], i = m[2][2];
    const double cof[3][3] = {{e * i - f * h, f * g - d * i, d * h - e * g},
                              {c * h - b * i, a * i - c * g, b * g - a * h},
                              {b * f - c * e, c * d - a * f, a * e - b * d}};
    const double det = a * cof[0][0] + b * cof[0][1] + c * cof[0][2];
    const double inv = det != 0.0 ? 1.0 / det : 0.0;
    // The inverse is cof^T / det, so its transpose is cof / det.
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) out[r][col] = cof[r][col] * inv;
}

void ColorToFloats(D3DCOLOR color, float out[4]) {
    out[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(color & 0xFF) / 255.0f;
    out[3] = static_cast<float>(color >> 24) / 255.0f;
}

float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }  // NaN gives 0

float Dot3(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalize3(float v[3]) {
    const float length = std::sqrt(Dot3(v, v));
    if (length > 0.0f) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

// The direction to the eye of the non-local viewer, in camera space.
constexpr float kFarViewer[3] = {0.0f, 0.0f, -1.0f};

float ReadFloat(const uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

D3DCOLOR ReadColor(const uint8_t* p) {
    D3DCOLOR v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

VertexProcessor::VertexProcessor(const PipelineState& state, const VertexFormat& format) : format_(format) {
    Matrix4 world, view, projection;
    ToDouble(state.World, world);
    ToDouble(state.View, view);
    ToDouble(state.Projection, projection);
    Multiply(world, view, worldView_);
    Multiply(worldView_, projection, worldViewProjection_);
    NormalMatrix(worldView_, normalMatrix_);

    const DWORD* rs = state.RenderStates;
    lighting_ = rs[D3DRS_LIGHTING] != FALSE;
    normalize_ = rs[D3DRS_NORMALIZENORMALS] != FALSE;
    localViewer_ = rs[D3DRS_LOCALVIEWER] != FALSE;
    specularEnabled_ = rs[D3DRS_SPECULARENABLE] != FALSE;
    float ambient[4];
    ColorToFloats(rs[D3DRS_AMBIENT], ambient);
    std::memcpy(globalAmbient_, ambient, sizeof(globalAmbient_));
    power_ = state.Material.Power;

    // Material sources: a vertex colour is used only with COLORVERTEX on and
    // when the vertex has that colour; otherwise the material's own.
    const bool colorVertex = rs[D3DRS_COLORVERTEX] != FALSE;
    auto source = [&](DWORD which, const D3DCOLORVALUE& material) {
        ColorSource s;
        s.Material[0] = material.r;
        s.Material[1] = material.g;
        s.Material[2] = material.b;
        s.Material[3] = material.a;
        if (colorVertex) {
            if (which == D3DMCS_COLOR1) s.VertexOffset = format.Diffuse;
            if (which == D3DMCS_COLOR2) s.VertexOffset = format.Specular;
        }
        return s;
    };
    diffuseSource_ = source(rs[D3DRS_DIFFUSEMATERIALSOURCE], state.Material.Diffuse);
    ambientSource_ = source(rs[D3DRS_AMBIENTMATERIALSOURCE], state.Material.Ambient);
    specularSource_ = source(rs[D3DRS_SPECULARMATERIALSOURCE], state.Material.Specular);
    emissiveSource_ = source(rs[D3DRS_EMISSIVEMATERIALSOURCE], state.Material.Emissive);

    lightCount_ = state.ActiveLightCount < 0                  ? 0
                  : state.ActiveLightCount > kMaxActiveLights ? kMaxActiveLights
                                                              : state.ActiveLightCount;
    for (int i = 0; i < lightCount_; ++i) {
        const D3DLIGHT9& in = state.ActiveLights[i];
        struct Light& out = lights_[i];
        out.Type = in.Type;
        const D3DCOLORVALUE* colors[3] = {&in.Diffuse, &in.Specular, &in.Ambient};
        float* targets[3] = {out.Diffuse, out.Specular, out.Ambient};
        for (int k = 0; k < 3; ++k) {
            targets[k][0] = colors[k]->r;
            targets[k][1] = colors[k]->g;
            targets[k][2] = colors[k]->b;
        }
        const double p[3] = {in.Position.x, in.Position.y, in.Position.z};
        const double d[3] = {in.Direction.x, in.Direction.y, in.Direction.z};
        for (int c = 0; c < 3; ++c) {
            out.Position[c] =
                static_cast<float>(p[0] * view[0][c] + p[1] * view[1][c] + p[2] * view[2][c] + view[3][c]);
            out.Direction[c] = static_cast<float>(d[0] * view[0][c] + d[1] * view[1][c] + d[2] * view[2][c]);
        }
        Normalize3(out.Direction);
        out.Range = in.Range;
        out.Attenuation0 = in.Attenuation0;
        out.Attenuation1 = in.Attenuation1;
        out.Attenuation2 = in.Attenuation2;
        out.CosHalfTheta = std::cos(in.Theta * 0.5f);
        out.CosHalfPhi = std::cos(in.Phi * 0.5f);
        out.Falloff = in.Falloff;
    }

    for (int stage = 0; stage < kRasterStages; ++stage) {
        // The low word picks the coordinate set; generated coordinates (the
        // high word) are not supported and read the set as given.
        const int set = static_cast<int>(state.StageStates[stage][D3DTSS_TEXCOORDINDEX] & 0xFFFF);
        texCoordSet_[stage] = set < format.TexCoordSetCount ? set : -1;
    }

    // The common case lit four vertices at a time: what Light computes the
    // same for every vertex is computed here once, in Light's order.
    bool directionalOnly = true;
    for (int i = 0; i < lightCount_; ++i)
        directionalOnly = directionalOnly && lights_[i].Type == D3DLIGHT_DIRECTIONAL;
    const bool materialColors = diffuseSource_.VertexOffset < 0 && ambientSource_.VertexOffset < 0 &&
                                specularSource_.VertexOffset < 0 && emissiveSource_.VertexOffset < 0;
    batchLighting_ = lighting_ && !format.Transformed && format.Normal >= 0 && directionalOnly &&
                     materialColors && (!specularEnabled_ || power_ == 0.0f);
    if (batchLighting_) {
        const float scale = 1.0f;  // a directional light is neither attenuated nor a spot
        float ambientSum[3] = {globalAmbient_[0], globalAmbient_[1], globalAmbient_[2]};
        for (int i = 0; i < lightCount_; ++i) {
            for (int c = 0; c < 3; ++c) ambientSum[c] += lights_[i].Ambient[c] * scale;
            for (int c = 0; c < 3; ++c) batchHalf_[i][c] = kFarViewer[c] + -lights_[i].Direction[c];
            Normalize3(batchHalf_[i]);
        }
        for (int c = 0; c < 3; ++c) {
            batchBase_[c] = emissiveSource_.Material[c] + ambientSource_.Material[c] * ambientSum[c];
            batchSpecularMaterial_[c] = specularSource_.Material[c];
        }
        std::memcpy(batchDiffuseMaterial_, diffuseSource_.Material, sizeof(batchDiffuseMaterial_));
    }
}

void VertexProcessor::Process(const uint8_t* vertex, ShadedVertex& out) const {
    float position[3];
    if (Transform(vertex, out, position)) Light(vertex, position, out);
}

bool VertexProcessor::Transform(const uint8_t* vertex, ShadedVertex& out, float position[3]) const {
    const double x = ReadFloat(vertex + format_.Position);
    const double y = ReadFloat(vertex + format_.Position + 4);
    const double z = ReadFloat(vertex + format_.Position + 8);
    if (format_.Transformed) {
        // Already in screen space: x, y in pixels, z depth, then 1/w.
        out.Clip[0] = static_cast<float>(x);
        out.Clip[1] = static_cast<float>(y);
        out.Clip[2] = static_cast<float>(z);
        out.Clip[3] = ReadFloat(vertex + format_.Position + 12);
    } else {
        for (int c = 0; c < 4; ++c) {
            const auto& m = worldViewProjection_;
            out.Clip[c] = static_cast<float>(x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c]);
        }
    }

    for (int stage = 0; stage < kRasterStages; ++stage) {
        const int set = texCoordSet_[stage];
        float* uv = out.Attr + kAttrTexCoord + 2 * stage;
        if (set < 0) {
            uv[0] = uv[1] = 0.0f;
            continue;
        }
        const uint8_t* tc = vertex + format_.TexCoord[set];
        uv[0] = ReadFloat(tc);
        uv[1] = format_.TexCoordSize[set] >= 2 ? ReadFloat(tc + 4) : 0.0f;
    }

    if (lighting_ && !format_.Transformed) {
        if (position != nullptr) {
            for (int c = 0; c < 3; ++c) {
                const auto& m = worldView_;
                position[c] = static_cast<float>(x * m[0][c] + y * m[1][c] + z * m[2][c] + m[3][c]);
            }
        }
        return true;
    }
    // Unlit: the vertex colours as they are, white and black when absent.
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (format_.Diffuse >= 0) ColorToFloats(ReadColor(vertex + format_.Diffuse), diffuse);
    if (format_.Specular >= 0) ColorToFloats(ReadColor(vertex + format_.Specular), specular);
    std::memcpy(out.Attr + kAttrDiffuse, diffuse, sizeof(diffuse));
    out.Attr[kAttrSpecular + 0] = specular[0];
    out.Attr[kAttrSpecular + 1] = specular[1];
    out.Attr[kAttrSpecular + 2] = specular[2];
    out.Attr[kAttrSpecular + 3] = 0.0f;
    return false;
}

void VertexProcessor::CameraNormal(const uint8_t* vertex, float normal[3]) const {
    normal[0] = normal[1] = normal[2] = 0.0f;
    if (format_.Normal < 0) return;
    const double n[3] = {ReadFloat(vertex + format_.Normal), ReadFloat(vertex + format_.Normal + 4),
                         ReadFloat(vertex + format_.Normal + 8)};
    for (int c = 0; c < 3; ++c)
        normal[c] = static_cast<float>(n[0] * normalMatrix_[0][c] + n[1] * normalMatrix_[1][c] +
                                       n[2] * normalMatrix_[2][c]);
    if (normalize_) Normalize3(normal);
}

void VertexProcessor::ProcessRange(const uint8_t* first, size_t stride, size_t count,
                                   ShadedVertex* out) const {
#if defined(__SSE2__)
    if (batchLighting_) {
        for (size_t i = 0; i < count; i += 4) {
            const int n = static_cast<int>(std::min<size_t>(4, count - i));
            // Camera-space normals and positions by component, a lane per vertex.
            alignas(16) float normals[3][4] = {}, positions[3][4] = {};
            for (int k = 0; k < n; ++k) {
                const uint8_t* vertex = first + (i + k) * stride;
                float position[3], normal[3];
                Transform(vertex, out[i + k], localViewer_ ? position : nullptr);
                CameraNormal(vertex, normal);
                for (int c = 0; c < 3; ++c) {
                    normals[c][k] = normal[c];
                    positions[c][k] = localViewer_ ? position[c] : 0.0f;
                }
            }
            LightFour(normals, positions, n, out + i);
        }
        return;
    }
#endif
    for (size_t i = 0; i < count; ++i) Process(first + i * stride, out[i]);
}

#if defined(__SSE2__)
void VertexProcessor::LightFour(const float normals[3][4], const float positions[3][4], int count,
                                ShadedVertex* out) const {
    // Light's loop with a lane per vertex: a light's terms are added only in
    // the lanes where Light adds them (not N.L <= 0, then not N.H <= 0; NaN
    // adds), each product and sum in Light's order.
    const __m128 zero = _mm_setzero_ps();
    auto select = [](__m128 mask, __m128 yes, __m128 no) {
        return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
    };
    auto dot = [](const __m128 a[3], const __m128 b[3]) {
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(a[0], b[0]), _mm_mul_ps(a[1], b[1])), _mm_mul_ps(a[2], b[2]));
    };
    // Normalize3: v / |v| where |v| > 0.
    auto normalize = [&](__m128 v[3]) {
        const __m128 length = _mm_sqrt_ps(dot(v, v));
        const __m128 positive = _mm_cmpgt_ps(length, zero);
        for (int c = 0; c < 3; ++c) v[c] = select(positive, _mm_div_ps(v[c], length), v[c]);
    };
    const __m128 normal[3] = {_mm_load_ps(normals[0]), _mm_load_ps(normals[1]), _mm_load_ps(normals[2])};
    __m128 toEye[3] = {_mm_set1_ps(kFarViewer[0]), _mm_set1_ps(kFarViewer[1]), _mm_set1_ps(kFarViewer[2])};
    if (localViewer_) {
        const __m128 sign = _mm_set1_ps(-0.0f);
        for (int c = 0; c < 3; ++c) toEye[c] = _mm_xor_ps(_mm_load_ps(positions[c]), sign);
        normalize(toEye);
    }
    __m128 diffuse[3] = {zero, zero, zero}, specular[3] = {zero, zero, zero};
    for (int i = 0; i < lightCount_; ++i) {
        const struct Light& light = lights_[i];
        const __m128 toLight[3] = {_mm_set1_ps(-light.Direction[0]), _mm_set1_ps(-light.Direction[1]),
                                   _mm_set1_ps(-light.Direction[2])};
        const __m128 nDotL = dot(normal, toLight);
        const __m128 lit = _mm_cmpnle_ps(nDotL, zero);
        for (int c = 0; c < 3; ++c) {
            const __m128 term =
                _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(light.Diffuse[c]), nDotL), _mm_set1_ps(1.0f));
            diffuse[c] = select(lit, _mm_add_ps(diffuse[c], term), diffuse[c]);
        }
        if (!specularEnabled_) continue;
        __m128 half[3];
        if (localViewer_) {
            for (int c = 0; c < 3; ++c) half[c] = _mm_add_ps(toEye[c], toLight[c]);
            normalize(half);
        } else {
            for (int c = 0; c < 3; ++c) half[c] = _mm_set1_ps(batchHalf_[i][c]);
        }
        const __m128 shiny = _mm_and_ps(lit, _mm_cmpnle_ps(dot(normal, half), zero));
        for (int c = 0; c < 3; ++c) {
            // Power 0: the highlight is 1, and so is the scale.
            const float term = light.Specular[c] * 1.0f * 1.0f;
            specular[c] = select(shiny, _mm_add_ps(specular[c], _mm_set1_ps(term)), specular[c]);
        }
    }
    const __m128 one = _mm_set1_ps(1.0f);
    auto clamp01 = [&](__m128 v) { return _mm_min_ps(_mm_max_ps(v, zero), one); };  // NaN gives 0
    alignas(16) float lanes[6][4];
    for (int c = 0; c < 3; ++c) {
        _mm_store_ps(lanes[c],
                     clamp01(_mm_add_ps(_mm_set1_ps(batchBase_[c]),
                                        _mm_mul_ps(_mm_set1_ps(batchDiffuseMaterial_[c]), diffuse[c]))));
        _mm_store_ps(lanes[3 + c], clamp01(_mm_mul_ps(_mm_set1_ps(batchSpecularMaterial_[c]), specular[c])));
    }
    const float alpha = Clamp01(batchDiffuseMaterial_[3]);
    for (int k = 0; k < count; ++k) {
        float* attr = out[k].Attr;
        for (int c = 0; c < 3; ++c) {
            attr[kAttrDiffuse + c] = lanes[c][k];
            attr[kAttrSpecular + c] = lanes[3 + c][k];
        }
        attr[kAttrDiffuse + 3] = alpha;
        attr[kAttrSpecular + 3] = 0.0f;
    }
}
#endif

void VertexProcessor::Light(const uint8_t* vertex, const float position[3], ShadedVertex& out) const {
    auto colorOf = [&](const ColorSource& source, float color[4]) {
        if (source.VertexOffset >= 0) {
            ColorToFloats(ReadColor(vertex + source.VertexOffset), color);
        } else {
            std::memcpy(color, source.Material, 4 * sizeof(float));
        }
    };
    float cd[4], ca[4], cs[4], ce[4];
    colorOf(diffuseSource_, cd);
    colorOf(ambientSource_, ca);
    colorOf(emissiveSource_, ce);
    colorOf(specularSource_, cs);

    float normal[3];
    const bool hasNormal = format_.Normal >= 0;
    CameraNormal(vertex, normal);
    float toEye[3] = {kFarViewer[0], kFarViewer[1], kFarViewer[2]};
    if (localViewer_) {
        toEye[0] = -position[0];
        toEye[1] = -position[1];
        toEye[2] = -position[2];
        Normalize3(toEye);
    }

    float ambientSum[3] = {globalAmbient_[0], globalAmbient_[1], globalAmbient_[2]};
    float diffuseSum[3] = {0.0f, 0.0f, 0.0f};
    float specularSum[3] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < lightCount_; ++i) {
        const struct Light& light = lights_[i];
        float toLight[3];
        float scale = 1.0f;  // attenuation x spot factor
        if (light.Type == D3DLIGHT_DIRECTIONAL) {
            toLight[0] = -light.Direction[0];
            toLight[1] = -light.Direction[1];
            toLight[2] = -light.Direction[2];
        } else {
            for (int c = 0; c < 3; ++c) toLight[c] = light.Position[c] - position[c];
            const float distance = std::sqrt(Dot3(toLight, toLight));
            if (!(distance <= light.Range)) continue;  // out of range: no contribution at all
            if (distance > 0.0f) {
                for (float& c : toLight) c /= distance;
            }
            const float denominator =
                light.Attenuation0 + light.Attenuation1 * distance + light.Attenuation2 * distance * distance;
            // All three factors zero is invalid in Direct3D; treat it as no
            // attenuation rather than dividing by zero.
            scale = denominator > 0.0f ? 1.0f / denominator : 1.0f;
            if (light.Type == D3DLIGHT_SPOT) {
                const float rho = -Dot3(toLight, light.Direction);
                if (rho <= light.CosHalfPhi) continue;
                if (rho <= light.CosHalfTheta) {
                    const float t = (rho - light.CosHalfPhi) / (light.CosHalfTheta - light.CosHalfPhi);
                    scale *= light.Falloff == 1.0f ? t : std::pow(t, light.Falloff);
                }
            }
        }
        for (int c = 0; c < 3; ++c) ambientSum[c] += light.Ambient[c] * scale;
        if (!hasNormal) continue;
        const float nDotL = Dot3(normal, toLight);
        if (nDotL <= 0.0f) continue;
        for (int c = 0; c < 3; ++c) diffuseSum[c] += light.Diffuse[c] * nDotL * scale;
        if (!specularEnabled_) continue;
        float half[3] = {toEye[0] + toLight[0], toEye[1] + toLight[1], toEye[2] + toLight[2]};
        Normalize3(half);
        const float nDotH = Dot3(normal, half);
        if (nDotH <= 0.0f) continue;
        const float highlight = power_ == 0.0f ? 1.0f : std::pow(nDotH, power_);
        for (int c = 0; c < 3; ++c) specularSum[c] += light.Specular[c] * highlight * scale;
    }

    for (int c = 0; c < 3; ++c) {
        out.Attr[kAttrDiffuse + c] = Clamp01(ce[c] + ca[c] * ambientSum[c] + cd[c] * diffuseSum[c]);
        out.Attr[kAttrSpecular + c] = Clamp01(cs[c] * specularSum[c]);
    }
    out.Attr[kAttrDiffuse + 3] = Clamp01(cd[3]);
    out.Attr[kAttrSpecular + 3] = 0.0f;
}

}  // namespace wbx::raster
