#include "sampledata/bodymap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace wbx::sampledata {
namespace {

// Orthographic rasterisation of the mesh in texel space, keeping for every
// texel the surface nearest to the viewer of that face (largest z for the
// front, smallest for the back). Coverage is tested at texel centres.
void Rasterise(const FigureMesh& mesh, Face face, std::vector<SurfaceTexel>& out) {
    out.assign(static_cast<size_t>(kTextureWidth) * kTextureHeight, SurfaceTexel{});
    const float sign = face == Face::Front ? 1.0f : -1.0f;
    std::vector<float> nearest(out.size(), -std::numeric_limits<float>::infinity());
    for (size_t t = 0; t < mesh.Triangles.size(); ++t) {
        const uint16_t index[3] = {mesh.Triangles[t].A, mesh.Triangles[t].B, mesh.Triangles[t].C};
        float cx[3], cy[3];
        for (int k = 0; k < 3; ++k) {
            cx[k] = TexelColumnOf(mesh.Positions[index[k]].X);
            cy[k] = TexelRowOf(mesh.Positions[index[k]].Y);
        }
        const float area = (cx[1] - cx[0]) * (cy[2] - cy[0]) - (cx[2] - cx[0]) * (cy[1] - cy[0]);
        if (std::fabs(area) < 1e-9f) continue;
        const int c0 = std::max(0, static_cast<int>(std::floor(std::min({cx[0], cx[1], cx[2]}))));
        const int c1 =
            std::min(kTextureWidth - 1, static_cast<int>(std::ceil(std::max({cx[0], cx[1], cx[2]}))));
        const int r0 = std::max(0, static_cast<int>(std::floor(std::min({cy[0], cy[1], cy[2]}))));
        const int r1 =
            std::min(kTextureHeight - 1, static_cast<int>(std::ceil(std::max({cy[0], cy[1], cy[2]}))));
        for (int r = r0; r <= r1; ++r) {
            const float py = r + 0.5f;
            for (int c = c0; c <= c1; ++c) {
                const float px = c + 0.5f;
                float w[3];
                w[0] = ((cx[1] - px) * (cy[2] - py) - (cx[2] - px) * (cy[1] - py)) / area;
                w[1] = ((cx[2] - px) * (cy[0] - py) - (cx[0] - px) * (cy[2] - py)) / area;
                w[2] = 1 - w[0] - w[1];
                if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
                Vec3f position, normal;
                float spine = 0;
                for (int k = 0; k < 3; ++k) {
                    position = position + mesh.Positions[index[k]] * w[k];
                    normal = normal + mesh.Normals[index[k]] * w[k];
                    spine += mesh.SpineT[index[k]] * w[k];
                }
                const size_t at = static_cast<size_t>(r) * kTextureWidth + c;
                if (position.Z * sign <= nearest[at]) continue;
                nearest[at] = position.Z * sign;
                out[at] = {mesh.TriangleParts[t], true, spine, position, Normalized(normal)};
            }
        }
    }
}

// Grows the covered area by one texel per pass, each new texel copying its
// first covered 4-neighbour (left, right, up, down).
void Extend(std::vector<SurfaceTexel>& texels, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<SurfaceTexel> next = texels;
        for (int r = 0; r < kTextureHeight; ++r) {
            for (int c = 0; c < kTextureWidth; ++c) {
                const size_t at = static_cast<size_t>(r) * kTextureWidth + c;
                if (texels[at].Part != BodyPart::None) continue;
                const int neighbours[4][2] = {{c - 1, r}, {c + 1, r}, {c, r - 1}, {c, r + 1}};
                for (const auto& n : neighbours) {
                    if (n[0] < 0 || n[0] >= kTextureWidth || n[1] < 0 || n[1] >= kTextureHeight) continue;
                    const SurfaceTexel& source = texels[static_cast<size_t>(n[1]) * kTextureWidth + n[0]];
                    if (source.Part == BodyPart::None) continue;
                    next[at] = source;
                    next[at].Inside = false;
                    break;
                }
            }
        }
        texels.swap(next);
    }
}

}  // namespace

BodyMap::BodyMap() {
    const FigureMesh canonical = BuildFigure(FigureProportions{});
    Rasterise(canonical, Face::Front, front_);
    Rasterise(canonical, Face::Back, back_);
    Extend(front_, kMarginTexels);
    Extend(back_, kMarginTexels);
}

}  // namespace wbx::sampledata
