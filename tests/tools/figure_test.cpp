// The ten figure meshes: size, closure, orientation, placement and the shared
// texture projection.
#include "sampledata/figure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "formatreaders.h"

namespace wbx::testing {
namespace {

using namespace sampledata;

std::vector<FigureMesh> AllTypes() {
    std::vector<FigureMesh> meshes;
    for (const FigureProportions& p : FigureTypes()) meshes.push_back(BuildFigure(p));
    return meshes;
}

TEST(Figure, EveryTypeHasAFewThousandTrianglesWithinSixteenBitIndices) {
    for (const FigureMesh& mesh : AllTypes()) {
        EXPECT_GE(mesh.Triangles.size(), 2000u);
        EXPECT_LE(mesh.Triangles.size(), 6000u);
        EXPECT_LE(mesh.Positions.size(), 65536u);
        for (const ModelTriangle& t : mesh.Triangles) {
            ASSERT_LT(std::max({t.A, t.B, t.C}), mesh.Positions.size());
            ASSERT_TRUE(t.A != t.B && t.B != t.C && t.A != t.C);
        }
    }
}

TEST(Figure, EveryPartIsClosedAndFacesOutward) {
    for (const FigureMesh& mesh : AllTypes()) {
        // Closed: every edge is shared by exactly two triangles, once in each direction.
        std::map<std::pair<int, int>, int> directed;
        for (const ModelTriangle& t : mesh.Triangles) {
            ++directed[{t.A, t.B}];
            ++directed[{t.B, t.C}];
            ++directed[{t.C, t.A}];
        }
        for (const auto& [edge, count] : directed) {
            ASSERT_EQ(count, 1) << "edge used twice in one direction";
            ASSERT_EQ(directed.count({edge.second, edge.first}), 1u)
                << "open edge " << edge.first << "-" << edge.second;
        }
        // Outward: each part encloses a positive volume, and every vertex normal
        // agrees with the faces around it.
        std::map<BodyPart, double> volume;
        for (size_t i = 0; i < mesh.Triangles.size(); ++i) {
            const ModelTriangle& t = mesh.Triangles[i];
            const Vec3f a = mesh.Positions[t.A], b = mesh.Positions[t.B], c = mesh.Positions[t.C];
            volume[mesh.TriangleParts[i]] += Dot(a, Cross(b, c)) / 6.0;
            const Vec3f face = Normalized(Cross(b - a, c - a));
            for (const uint16_t v : {t.A, t.B, t.C}) ASSERT_GT(Dot(face, mesh.Normals[v]), 0.0f);
        }
        EXPECT_EQ(volume.size(), 9u);
        for (const auto& [part, v] : volume) EXPECT_GT(v, 1.0) << static_cast<int>(part);
        for (const Vec3f& n : mesh.Normals) ASSERT_NEAR(Length(n), 1.0f, 1e-4f);
    }
}

TEST(Figure, StandsOnTheGroundFacingPlusZWithItsRightOnPlusX) {
    for (const FigureMesh& mesh : AllTypes()) {
        float low = 1e9f, high = -1e9f, toe = -1e9f;
        for (size_t i = 0; i < mesh.Positions.size(); ++i) {
            const Vec3f p = mesh.Positions[i];
            low = std::min(low, p.Y);
            high = std::max(high, p.Y);
            if (mesh.VertexParts[i] == BodyPart::FootRight) toe = std::max(toe, p.Z);
            if (mesh.VertexParts[i] == BodyPart::ArmRight || mesh.VertexParts[i] == BodyPart::HandRight) {
                ASSERT_GT(p.X, 0.0f);
            }
            if (mesh.VertexParts[i] == BodyPart::ArmLeft || mesh.VertexParts[i] == BodyPart::HandLeft) {
                ASSERT_LT(p.X, 0.0f);
            }
        }
        EXPECT_NEAR(low, 0.0f, 0.15f);
        EXPECT_NEAR(high, 72.0f, 4.0f) << "head near y = 72";
        EXPECT_NEAR((low + high) / 2, 36.0f, 3.0f) << "the viewer turns the figure about y = 36";
        EXPECT_GT(toe, 5.0f) << "toes point to +z";
    }
}

TEST(Figure, TypesDifferButShareOneTextureLayout) {
    std::vector<ModelFile> models;
    for (int type = 0; type < kFigureTypeCount; ++type)
        models.push_back(ReadModel(EncodeModelFile(BuildFigureModel(type))));
    const auto& reference = models[0].Objects[0].Vertices;
    for (const ModelVertex& v : reference) {
        ASSERT_GE(v.U, 0.0f);
        ASSERT_LE(v.U, 1.0f);
        ASSERT_GE(v.V, 0.0f);
        ASSERT_LE(v.V, 1.0f);
    }
    for (int type = 1; type < kFigureTypeCount; ++type) {
        const auto& vertices = models[type].Objects[0].Vertices;
        ASSERT_EQ(vertices.size(), reference.size());
        int moved = 0;
        for (size_t i = 0; i < vertices.size(); ++i) {
            ASSERT_EQ(vertices[i].U, reference[i].U);
            ASSERT_EQ(vertices[i].V, reference[i].V);
            moved +=
                std::fabs(vertices[i].X - reference[i].X) + std::fabs(vertices[i].Y - reference[i].Y) > 0.1f;
        }
        EXPECT_GT(moved, static_cast<int>(vertices.size()) / 2)
            << "type" << type + 1 << " has its own proportions";
    }
    // The front projection: right (+x) on the texture's left half, head at the top.
    const FigureMesh canonical = BuildFigure(FigureProportions{});
    for (size_t i = 0; i < canonical.Positions.size(); ++i) {
        const ModelVertex& v = reference[i];
        if (canonical.VertexParts[i] == BodyPart::HandRight) {
            ASSERT_LT(v.U, 0.5f);
        } else if (canonical.VertexParts[i] == BodyPart::HandLeft) {
            ASSERT_GT(v.U, 0.5f);
        }
        if (canonical.Positions[i].Y > 68) {
            ASSERT_LT(v.V, 0.15f);
        }
    }
}

TEST(Figure, ModelFileKeepsOneObjectAndTheFillerArrays) {
    const ModelFile model = ReadModel(EncodeModelFile(BuildFigureModel(4)));
    ASSERT_EQ(model.Objects.size(), 1u);
    const ModelObject& object = model.Objects[0];
    EXPECT_EQ(object.VertexWords.size(), object.Vertices.size());
    EXPECT_EQ(object.Items4.size(), 9u) << "one entry per part";
    EXPECT_TRUE(object.VectorItems.back().Elements.empty()) << "an entry of count 0";
    EXPECT_EQ(model.Materials.size(), 1u);
    EXPECT_THROW(BuildFigureModel(10), std::out_of_range);
}

}  // namespace
}  // namespace wbx::testing
