#include "sampledata/figure.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <stdexcept>

#include "sampledata/layerfile.h"

namespace wbx::sampledata {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTextureWidthF = kTextureWidth;
constexpr float kTextureHeightF = kTextureHeight;
constexpr float kChinY = 61.0f;  // canonical y where the head's proportions take over from the body's

// One cross-section key of a loft: at parameter T the ring is a superellipse
// with half-width Width along the side axis, and extents Front / Back along
// +/- the forward axis, its centre moved by Shift along the forward axis.
struct SectionKey {
    float T;
    float Width, Front, Back;
    float Shift = 0;
};

struct Ring {
    Vec3f Centre, Side, Forward;
    float Width, Front, Back, Shift;
};

// Cubic Hermite interpolation of the keys at t with Catmull-Rom tangents,
// member by member; t outside the keys clamps.
SectionKey Interpolate(std::span<const SectionKey> keys, float t) {
    if (t <= keys.front().T) return keys.front();
    if (t >= keys.back().T) return keys.back();
    size_t i = 0;
    while (keys[i + 1].T < t) ++i;
    const SectionKey& k0 = keys[i == 0 ? 0 : i - 1];
    const SectionKey& k1 = keys[i];
    const SectionKey& k2 = keys[i + 1];
    const SectionKey& k3 = keys[std::min(i + 2, keys.size() - 1)];
    const float span = k2.T - k1.T;
    const float u = (t - k1.T) / span;
    const float h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
    const float h01 = -2 * u * u * u + 3 * u * u, h11 = u * u * u - u * u;
    auto blend = [&](float SectionKey::*m) {
        const float m1 = (k2.*m - k0.*m) / std::max(k2.T - k0.T, 1e-6f) * span;
        const float m2 = (k3.*m - k1.*m) / std::max(k3.T - k1.T, 1e-6f) * span;
        // Tangents are limited so a section never overshoots below zero between keys.
        return std::max(0.02f, h00 * (k1.*m) + h10 * m1 + h01 * (k2.*m) + h11 * m2);
    };
    SectionKey out;
    out.T = t;
    out.Width = blend(&SectionKey::Width);
    out.Front = blend(&SectionKey::Front);
    out.Back = blend(&SectionKey::Back);
    out.Shift = k1.Shift + (k2.Shift - k1.Shift) * u;
    return out;
}

float SignedPower(float v, float exponent) { return std::copysign(std::pow(std::fabs(v), exponent), v); }

// Appends a closed tube through the rings, with a cap vertex beyond each end,
// and smooth normals. The winding is made outward per triangle against the
// tube's axis, so frames of either handedness work.
void AppendLoft(FigureMesh& mesh, BodyPart part, std::span<const Ring> rings, std::span<const float> ringT,
                int segments, float squareness) {
    const size_t base = mesh.Positions.size();
    if (base + rings.size() * segments + 2 > 65536) throw std::length_error("figure exceeds 16-bit indices");
    const float exponent = 2.0f / squareness;
    for (size_t r = 0; r < rings.size(); ++r) {
        const Ring& ring = rings[r];
        for (int k = 0; k < segments; ++k) {
            const float angle = 2 * kPi * static_cast<float>(k) / static_cast<float>(segments);
            const float across = SignedPower(std::cos(angle), exponent);
            const float along = SignedPower(std::sin(angle), exponent);
            const float depth = along >= 0 ? ring.Front : ring.Back;
            mesh.Positions.push_back(ring.Centre + ring.Side * (ring.Width * across) +
                                     ring.Forward * (depth * along + ring.Shift));
            mesh.SpineT.push_back(ringT[r]);
        }
    }
    auto capOf = [&](const Ring& ring, const Ring& neighbour) {
        const Vec3f outward = Normalized(ring.Centre - neighbour.Centre);
        const float reach = 0.3f * std::min(ring.Width, 0.5f * (ring.Front + ring.Back));
        return ring.Centre + ring.Forward * ring.Shift + outward * reach;
    };
    const uint16_t startCap = static_cast<uint16_t>(mesh.Positions.size());
    mesh.Positions.push_back(capOf(rings.front(), rings[1]));
    mesh.SpineT.push_back(ringT.front());
    const uint16_t endCap = static_cast<uint16_t>(mesh.Positions.size());
    mesh.Positions.push_back(capOf(rings.back(), rings[rings.size() - 2]));
    mesh.SpineT.push_back(ringT.back());
    mesh.VertexParts.resize(mesh.Positions.size(), part);

    auto at = [&](size_t r, int k) { return static_cast<uint16_t>(base + r * segments + (k % segments)); };
    auto emit = [&](uint16_t a, uint16_t b, uint16_t c, Vec3f inside) {
        const Vec3f pa = mesh.Positions[a], pb = mesh.Positions[b], pc = mesh.Positions[c];
        const Vec3f normal = Cross(pb - pa, pc - pa);
        const Vec3f centroid = (pa + pb + pc) * (1.0f / 3);
        if (Dot(normal, centroid - inside) < 0) std::swap(b, c);
        mesh.Triangles.push_back({a, b, c});
        mesh.TriangleParts.push_back(part);
    };
    for (size_t r = 0; r + 1 < rings.size(); ++r) {
        const Vec3f inside = (rings[r].Centre + rings[r + 1].Centre) * 0.5f +
                             rings[r].Forward * (0.5f * (rings[r].Shift + rings[r + 1].Shift));
        for (int k = 0; k < segments; ++k) {
            emit(at(r, k), at(r + 1, k), at(r + 1, k + 1), inside);
            emit(at(r, k), at(r + 1, k + 1), at(r, k + 1), inside);
        }
    }
    const Vec3f firstCentre = rings.front().Centre + rings.front().Forward * rings.front().Shift;
    const Vec3f lastCentre = rings.back().Centre + rings.back().Forward * rings.back().Shift;
    for (int k = 0; k < segments; ++k) {
        emit(startCap, at(0, k + 1), at(0, k), firstCentre + (firstCentre - mesh.Positions[startCap]));
        emit(endCap, at(rings.size() - 1, k), at(rings.size() - 1, k + 1),
             lastCentre + (lastCentre - mesh.Positions[endCap]));
    }
}

// Rings along a straight spine from start to end, sections from keys scaled
// by widthScale (side) and depthScale (front/back).
std::vector<Ring> SpineRings(Vec3f start, Vec3f end, Vec3f side, Vec3f forward,
                             std::span<const SectionKey> keys, int count, float widthScale, float depthScale,
                             std::vector<float>& ringT) {
    std::vector<Ring> rings;
    ringT.clear();
    for (int i = 0; i < count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count - 1);
        const SectionKey s = Interpolate(keys, t);
        rings.push_back({start + (end - start) * t, side, forward, s.Width * widthScale, s.Front * depthScale,
                         s.Back * depthScale, s.Shift * depthScale});
        ringT.push_back(t);
    }
    return rings;
}

// The trunk's keys use canonical y as their parameter; Region says which
// proportion scales the width there.
enum class Region { Hip, Waist, Chest, Neck, Head };
struct TrunkKey {
    SectionKey Section;
    Region Where;
};
constexpr TrunkKey kTrunkKeys[] = {
    {{30.5f, 2.0f, 1.6f, 1.8f}, Region::Hip},          {{31.6f, 4.9f, 3.0f, 3.4f}, Region::Hip},
    {{33.0f, 6.3f, 3.7f, 4.4f}, Region::Hip},          {{36.0f, 7.0f, 3.9f, 4.8f}, Region::Hip},
    {{39.5f, 6.5f, 3.7f, 4.2f}, Region::Hip},          {{43.0f, 5.7f, 3.4f, 3.4f}, Region::Waist},
    {{46.5f, 6.2f, 3.7f, 3.5f}, Region::Chest},        {{50.0f, 7.0f, 4.4f, 3.7f}, Region::Chest},
    {{53.0f, 7.6f, 4.0f, 3.8f}, Region::Chest},        {{55.3f, 8.0f, 3.2f, 3.4f, -0.1f}, Region::Chest},
    {{56.4f, 6.6f, 2.7f, 2.9f, -0.2f}, Region::Chest}, {{57.3f, 3.9f, 2.3f, 2.5f, -0.2f}, Region::Neck},
    {{58.5f, 2.35f, 2.2f, 2.3f}, Region::Neck},        {{60.3f, 2.3f, 2.2f, 2.4f, 0.1f}, Region::Neck},
    {{61.0f, 2.9f, 3.0f, 2.6f, 0.3f}, Region::Head},   {{61.8f, 3.6f, 3.9f, 3.5f, 0.3f}, Region::Head},
    {{63.5f, 4.05f, 4.4f, 4.3f, 0.2f}, Region::Head},  {{66.0f, 4.3f, 4.6f, 4.8f, 0.1f}, Region::Head},
    {{68.7f, 4.2f, 4.3f, 4.8f}, Region::Head},         {{70.8f, 3.5f, 3.3f, 3.9f}, Region::Head},
    {{72.0f, 2.2f, 2.0f, 2.5f}, Region::Head},         {{72.6f, 0.6f, 0.5f, 0.7f}, Region::Head},
};

void AppendTrunk(FigureMesh& mesh, const FigureProportions& p) {
    std::vector<SectionKey> keys;
    std::vector<float> heights;  // the figure's own y of each key
    for (const TrunkKey& key : kTrunkKeys) {
        float width = 1, depth = p.Bulk;
        switch (key.Where) {
            case Region::Hip:
                width = p.Hips;
                break;
            case Region::Waist:
                width = 0.5f * (p.Hips + p.Shoulders) * p.Bulk;
                break;
            case Region::Chest:
                width = p.Shoulders;
                break;
            case Region::Neck:
                width = std::sqrt(p.Bulk);
                depth = width;
                break;
            case Region::Head:
                width = depth = p.Head;
                break;
        }
        SectionKey s = key.Section;
        s.Width *= width;
        s.Front *= depth;
        s.Back *= depth;
        s.Shift *= depth;
        keys.push_back(s);
        const float y = s.T;
        heights.push_back(y <= kChinY ? y * p.Height : kChinY * p.Height + (y - kChinY) * p.Head);
    }
    // Two rings per key interval; the parameter is the canonical y, which the
    // figure's own height follows piecewise linearly.
    std::vector<Ring> rings;
    std::vector<float> ringT;
    const int perInterval = 2;
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        const int steps = (i + 2 == keys.size()) ? perInterval + 1 : perInterval;
        for (int j = 0; j < steps; ++j) {
            const float u = static_cast<float>(j) / perInterval;
            const float t = keys[i].T + (keys[i + 1].T - keys[i].T) * u;
            const SectionKey s = Interpolate(keys, t);
            const float y = heights[i] + (heights[i + 1] - heights[i]) * u;
            rings.push_back({{0, y, 0}, {1, 0, 0}, {0, 0, 1}, s.Width, s.Front, s.Back, s.Shift});
            ringT.push_back(t / 100);
        }
    }
    AppendLoft(mesh, BodyPart::Trunk, rings, ringT, 28, 2.2f);
}

constexpr SectionKey kArmKeys[] = {
    {0.00f, 1.3f, 1.3f, 1.3f},  {0.05f, 2.3f, 2.2f, 2.2f},    {0.15f, 2.45f, 2.3f, 2.3f},
    {0.32f, 1.95f, 1.9f, 1.9f}, {0.48f, 1.5f, 1.55f, 1.55f},  {0.58f, 1.65f, 1.6f, 1.7f},
    {0.80f, 1.35f, 1.3f, 1.3f}, {1.00f, 1.05f, 1.05f, 1.05f},
};
constexpr SectionKey kHandKeys[] = {
    {0.00f, 0.65f, 0.95f, 0.95f}, {0.12f, 0.8f, 1.25f, 1.1f}, {0.45f, 0.85f, 1.4f, 1.2f},
    {0.75f, 0.7f, 1.25f, 1.05f},  {0.92f, 0.5f, 0.9f, 0.8f},  {1.00f, 0.25f, 0.4f, 0.35f},
};
constexpr SectionKey kLegKeys[] = {
    {0.00f, 3.3f, 3.2f, 3.6f},  {0.10f, 3.75f, 3.6f, 3.9f}, {0.30f, 3.2f, 3.1f, 3.2f},
    {0.50f, 2.2f, 2.2f, 2.1f},  {0.62f, 2.25f, 2.0f, 2.8f}, {0.80f, 1.75f, 1.6f, 1.9f},
    {0.93f, 1.35f, 1.3f, 1.4f}, {1.00f, 1.3f, 1.3f, 1.3f},
};
// Feet run from the heel (T = 0) to the toes (T = 1) along +z; Front is the
// height above the section centre, Back the depth below it, and Shift lifts
// the centre off the ground.
constexpr SectionKey kFootKeys[] = {
    {0.00f, 0.5f, 0.6f, 0.5f, 1.3f},    {0.04f, 1.15f, 1.5f, 1.05f, 1.1f}, {0.14f, 1.45f, 2.4f, 1.0f, 1.0f},
    {0.29f, 1.6f, 2.6f, 1.0f, 1.0f},    {0.48f, 1.8f, 1.5f, 0.95f, 0.95f}, {0.68f, 1.9f, 0.95f, 0.85f, 0.85f},
    {0.84f, 1.75f, 0.7f, 0.75f, 0.75f}, {0.95f, 1.2f, 0.5f, 0.55f, 0.6f},  {1.00f, 0.5f, 0.25f, 0.3f, 0.6f},
};
constexpr float kFootStartZ = -2.4f, kFootLength = 10.2f;

void AppendLimbs(FigureMesh& mesh, const FigureProportions& p) {
    const float armAngle = 14.0f * kPi / 180;
    std::vector<float> ringT;
    for (const float side : {1.0f, -1.0f}) {
        const bool right = side > 0;
        // Arms hang down and out from the shoulders (an A pose), so that the
        // front projection keeps arms, hands and body apart.
        const Vec3f shoulder{side * 7.7f * p.Shoulders, 54.0f * p.Height, -0.2f};
        const Vec3f down{side * std::sin(armAngle), -std::cos(armAngle), 0};
        const Vec3f outward{side * std::cos(armAngle), std::sin(armAngle), 0};
        const Vec3f wrist = shoulder + down * (22.0f * p.Height);
        auto rings = SpineRings(shoulder, wrist, outward, {0, 0, 1}, kArmKeys, 14, p.Bulk, p.Bulk, ringT);
        AppendLoft(mesh, right ? BodyPart::ArmRight : BodyPart::ArmLeft, rings, ringT, 12, 2.0f);

        const Vec3f handStart = wrist - down * 0.4f;
        rings = SpineRings(handStart, handStart + down * (6.0f * p.Height), outward, {0, 0, 1}, kHandKeys, 10,
                           p.Bulk, std::sqrt(p.Bulk), ringT);
        AppendLoft(mesh, right ? BodyPart::HandRight : BodyPart::HandLeft, rings, ringT, 10, 2.4f);
    }
    for (const float side : {1.0f, -1.0f}) {
        const bool right = side > 0;
        const Vec3f hip{side * 3.7f * p.Hips, 37.5f * p.Height, 0};
        const Vec3f ankle{side * (3.9f + 1.5f * (p.Hips - 1)), 2.6f * p.Height, 0};
        const Vec3f axis = Normalized(ankle - hip);
        const Vec3f across = Normalized(Vec3f{-axis.Y, axis.X, 0});  // perpendicular to the leg, in x-y
        const Vec3f legSide = across.X * side > 0 ? across : across * -1.0f;
        auto rings = SpineRings(hip, ankle, legSide, {0, 0, 1}, kLegKeys, 20, p.Bulk, p.Bulk, ringT);
        AppendLoft(mesh, right ? BodyPart::LegRight : BodyPart::LegLeft, rings, ringT, 14, 2.0f);

        const Vec3f heel{ankle.X + side * 0.25f, 0, kFootStartZ * p.Height};
        const Vec3f toe{heel.X, 0, (kFootStartZ + kFootLength) * p.Height};
        rings = SpineRings(heel, toe, {side, 0, 0}, {0, 1, 0}, kFootKeys, 12, p.Bulk, p.Height, ringT);
        AppendLoft(mesh, right ? BodyPart::FootRight : BodyPart::FootLeft, rings, ringT, 12, 2.6f);
    }
}

void ComputeNormals(FigureMesh& mesh) {
    std::vector<Vec3f> sums(mesh.Positions.size());
    for (const ModelTriangle& t : mesh.Triangles) {
        const Vec3f a = mesh.Positions[t.A], b = mesh.Positions[t.B], c = mesh.Positions[t.C];
        const Vec3f areaNormal = Cross(b - a, c - a);  // length is twice the area: area-weighted
        sums[t.A] = sums[t.A] + areaNormal;
        sums[t.B] = sums[t.B] + areaNormal;
        sums[t.C] = sums[t.C] + areaNormal;
    }
    mesh.Normals.resize(sums.size());
    for (size_t i = 0; i < sums.size(); ++i) mesh.Normals[i] = Normalized(sums[i]);
}

template <class T>
void PutBytes(std::array<uint8_t, 64>& block, size_t at, const T& value) {
    std::memcpy(block.data() + at, &value, sizeof value);
}

// The viewer draws the figure alpha-blended without writing depth and with
// both faces of every triangle, so triangles land in index order and a later
// one covers an earlier one wherever both are opaque. Within each part the
// triangles therefore go from the back (-z) to the front (+z): seen from the
// front (yaw 0) the near surface is drawn last and covers the far one; seen
// from behind (yaw 2048) the far surface is drawn last, and as front and back
// share texels in the planar projection it shows the back texture almost where
// the near surface would. Interleaved near and far strips instead give
// stripes wherever a hem crosses a limb.
void SortBackToFront(FigureMesh& mesh) {
    const auto depth = [&](const ModelTriangle& t) {
        return mesh.Positions[t.A].Z + mesh.Positions[t.B].Z + mesh.Positions[t.C].Z;
    };
    size_t start = 0;
    while (start < mesh.Triangles.size()) {
        size_t end = start + 1;
        while (end < mesh.Triangles.size() && mesh.TriangleParts[end] == mesh.TriangleParts[start]) ++end;
        std::stable_sort(mesh.Triangles.begin() + static_cast<std::ptrdiff_t>(start),
                         mesh.Triangles.begin() + static_cast<std::ptrdiff_t>(end),
                         [&](const ModelTriangle& a, const ModelTriangle& b) { return depth(a) < depth(b); });
        start = end;
    }
}

}  // namespace

FigureMesh BuildFigure(const FigureProportions& proportions) {
    FigureMesh mesh;
    AppendTrunk(mesh, proportions);
    AppendLimbs(mesh, proportions);
    ComputeNormals(mesh);
    SortBackToFront(mesh);
    return mesh;
}

const std::array<FigureProportions, kFigureTypeCount>& FigureTypes() {
    // Height, Shoulders, Hips, Head, Bulk.
    static const std::array<FigureProportions, kFigureTypeCount> types{{
        {1.00f, 1.00f, 1.00f, 1.00f, 1.00f},  // type1: the canonical figure
        {1.04f, 0.95f, 0.95f, 0.95f, 0.90f},  // type2: tall and slender
        {1.02f, 1.15f, 1.00f, 1.00f, 1.10f},  // type3: broad
        {0.95f, 1.08f, 1.08f, 1.08f, 1.15f},  // type4: short and stocky
        {0.98f, 0.92f, 1.15f, 1.00f, 1.00f},  // type5: narrow shoulders, wide hips
        {0.94f, 0.90f, 0.92f, 1.15f, 0.90f},  // type6: small body, large head
        {1.03f, 1.18f, 0.92f, 0.97f, 1.05f},  // type7: athletic
        {0.95f, 0.90f, 0.98f, 1.05f, 0.88f},  // type8: petite
        {1.00f, 1.10f, 1.15f, 1.02f, 1.25f},  // type9: heavy
        {1.05f, 1.00f, 0.90f, 0.92f, 0.85f},  // type10: lanky
    }};
    return types;
}

ModelFile BuildFigureModel(int typeIndex) {
    if (typeIndex < 0 || typeIndex >= kFigureTypeCount) throw std::out_of_range("figure type index");
    const FigureMesh figure = BuildFigure(FigureTypes()[typeIndex]);
    const FigureMesh canonical = typeIndex == 0 ? figure : BuildFigure(FigureProportions{});

    ModelObject object;
    object.Vertices.reserve(figure.Positions.size());
    Vec3f low = figure.Positions.front(), high = low;
    for (size_t i = 0; i < figure.Positions.size(); ++i) {
        const Vec3f p = figure.Positions[i], n = figure.Normals[i], c = canonical.Positions[i];
        object.Vertices.push_back({p.X, p.Y, p.Z, n.X, n.Y, n.Z, TexelColumnOf(c.X) / kTextureWidthF,
                                   TexelRowOf(c.Y) / kTextureHeightF});
        object.VertexWords.push_back(static_cast<uint16_t>(figure.VertexParts[i]));
        low = {std::min(low.X, p.X), std::min(low.Y, p.Y), std::min(low.Z, p.Z)};
        high = {std::max(high.X, p.X), std::max(high.Y, p.Y), std::max(high.Z, p.Z)};
    }
    object.Triangles = figure.Triangles;

    // The arrays below are kept by the viewer but not used; they carry
    // plausible bookkeeping so that readers meet non-empty arrays.
    Block32 bounds{};
    const float box[6] = {low.X, low.Y, low.Z, high.X, high.Y, high.Z};
    std::memcpy(bounds.data(), box, sizeof box);
    object.Blocks32.push_back(bounds);
    BodyPart current = BodyPart::None;
    for (size_t i = 0; i < figure.TriangleParts.size(); ++i) {
        if (figure.TriangleParts[i] == current) continue;
        current = figure.TriangleParts[i];
        object.Items4.push_back(static_cast<uint32_t>(i));  // first triangle of each part
        ModelVectorItem item;
        Element8 element{};
        const uint32_t range[2] = {static_cast<uint32_t>(i), static_cast<uint32_t>(current)};
        std::memcpy(element.data(), range, sizeof range);
        item.Elements.push_back(element);
        object.VectorItems.push_back(item);
    }
    object.VectorItems.push_back({});  // an empty entry: one count byte of 0

    ModelMaterial material;
    material.Value0 = 1;
    const float diffuse[4] = {1, 1, 1, 1};
    PutBytes(material.Blocks[0], 0, diffuse);

    ModelFile model;
    model.HeaderValue = 1;
    model.Objects.push_back(std::move(object));
    model.Materials.push_back(material);
    return model;
}

}  // namespace wbx::sampledata
