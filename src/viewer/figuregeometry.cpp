#include "viewer/figuregeometry.h"

#include <cmath>
#include <unordered_map>

namespace wbx {

namespace {

using TVec = std::array<float, 3>;

bool Finite(const TPdtVertex& v) {
    for (const float f : {v.X, v.Y, v.Z, v.NX, v.NY, v.NZ, v.U, v.V})
        if (!std::isfinite(f)) return false;
    return true;
}

// The right-handed counterparts of a stored position or normal.
TVec Flip(float x, float y, float z) { return {-x, y, z}; }

TVec Cross(const TVec& a, const TVec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

TVec Sub(const TVec& a, const TVec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// a scaled to length 1; false when it has no length to scale (or overflows).
bool Normalised(const TVec& a, TVec& result) {
    const double length = std::sqrt(double(a[0]) * a[0] + double(a[1]) * a[1] + double(a[2]) * a[2]);
    if (!(length > 0) || !std::isfinite(length)) return false;
    result = {static_cast<float>(a[0] / length), static_cast<float>(a[1] / length),
              static_cast<float>(a[2] / length)};
    return true;
}

// The vertices of one side: each stored vertex once, except that a corner
// whose stored normal was unusable is a vertex of its own (it carries its
// triangle's face normal).
class TSideBuilder {
public:
    explicit TSideBuilder(TFigureSide& side) : side_(side) {}

    uint32_t Add(uint16_t stored, bool ownNormal, const TVec& position, const TVec& normal,
                 const TPdtVertex& vertex) {
        if (!ownNormal) {
            const auto found = map_.find(stored);
            if (found != map_.end()) return found->second;
        }
        const auto index = static_cast<uint32_t>(side_.Positions.size());
        side_.Positions.push_back(position);
        side_.Normals.push_back(normal);
        side_.TexCoords.push_back({vertex.U, vertex.V});
        if (!ownNormal) map_.emplace(stored, index);
        return index;
    }

private:
    TFigureSide& side_;
    std::unordered_map<uint16_t, uint32_t> map_;  // stored index -> index in the side
};

}  // namespace

TFigureGeometry SplitFigure(const TPdtRec& model) {
    TFigureGeometry geometry;
    if (model.Objects.empty()) return geometry;
    const TMeshItem& object = model.Objects.front();
    const std::vector<TPdtVertex>& vertices = object.Vertices;
    TSideBuilder front(geometry.Front), back(geometry.Back);

    for (const TPdtTriangle& triangle : object.Triangles) {
        const uint16_t corners[3] = {triangle.A, triangle.B, triangle.C};
        bool usable = triangle.A != triangle.B && triangle.B != triangle.C && triangle.A != triangle.C;
        for (const uint16_t c : corners) usable = usable && c < vertices.size() && Finite(vertices[c]);
        if (!usable) {
            ++geometry.DroppedTriangles;
            continue;
        }
        TVec positions[3], normals[3];
        for (int i = 0; i < 3; ++i) {
            const TPdtVertex& v = vertices[corners[i]];
            positions[i] = Flip(v.X, v.Y, v.Z);
            normals[i] = Flip(v.NX, v.NY, v.NZ);
        }
        // Stored corners run counter-clockwise seen from outside (their face
        // normal (B - A) x (C - A) points out); mirrored, they run clockwise,
        // and the reversed order A, C, B restores it.
        const TVec face = Cross(Sub(positions[2], positions[0]), Sub(positions[1], positions[0]));
        TVec faceNormal{};
        const bool hasFace = Normalised(face, faceNormal);
        TVec unit[3];
        bool own[3] = {false, false, false};
        bool ok = true;
        for (int i = 0; i < 3; ++i) {
            if (Normalised(normals[i], unit[i])) continue;
            if (!hasFace) ok = false;
            unit[i] = faceNormal;
            own[i] = true;
        }
        if (!ok) {
            ++geometry.DroppedTriangles;
            continue;
        }
        const double facing = double(unit[0][2]) + unit[1][2] + unit[2][2];
        const bool faceFront = facing > 0 || (facing == 0 && faceNormal[2] > 0);
        TSideBuilder& builder = faceFront ? front : back;
        TFigureSide& side = faceFront ? geometry.Front : geometry.Back;
        // Reversed corner order: counter-clockwise in the right-handed space.
        for (const int i : {0, 2, 1})
            side.Indices.push_back(
                builder.Add(corners[i], own[i], positions[i], unit[i], vertices[corners[i]]));
    }
    return geometry;
}

}  // namespace wbx
