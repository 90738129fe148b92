#include "scene/frame.h"

#include <gtest/gtest.h>

#include <memory>

#include "matrixcompare.h"

namespace wbx {
namespace {

using testing::MatrixNear;
using testing::Product;
using testing::RotationY;
using testing::TransformPoint;
using testing::Translation;
using testing::Vec3Near;

TEST(FrameList, OrderDeleteIndexOfAndAssign) {
    TOXFrame a(nullptr), b(nullptr), c(nullptr);
    TOXFrameList list;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Add(&c), 2);
    EXPECT_EQ(list.Add(&a), 3);  // duplicates are kept
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&c), 2);
    list.Delete(1);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], &a);
    EXPECT_EQ(list[1], &c);
    EXPECT_EQ(list.Items(2), &a);
    EXPECT_EQ(list.IndexOf(&b), -1);
    list.Delete(3);  // outside the list: nothing happens
    list.Delete(-1);
    EXPECT_EQ(list.Count(), 3);

    TOXFrameList copy;
    copy.Add(&b);
    copy.Assign(list);  // clears first
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy[0], &a);
    EXPECT_EQ(copy[2], &a);
    copy.Assign(copy);  // self-assignment keeps the list
    EXPECT_EQ(copy.Count(), 3);
    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
}

TEST(Frame, CreateSetsDefaultsAndLinksTheTree) {
    auto root = std::make_unique<TOXFrame>(nullptr);
    TOXFrame* child = new TOXFrame(root.get());
    TOXFrame* grandchild = new TOXFrame(child);

    EXPECT_EQ(root->Parent, nullptr);
    EXPECT_EQ(root->Ancestors.Count(), 0);
    ASSERT_EQ(root->Children.Count(), 1);
    EXPECT_EQ(root->Children[0], child);
    ASSERT_EQ(grandchild->Ancestors.Count(), 2);
    EXPECT_EQ(grandchild->Ancestors[0], root.get());
    EXPECT_EQ(grandchild->Ancestors[1], child);
    EXPECT_EQ(grandchild->Parent, child);

    const TOXFrame& f = *grandchild;
    EXPECT_EQ(f.LocalMatrix, MatrixIdentity());
    EXPECT_EQ(f.OffsetMatrix, MatrixIdentity());
    EXPECT_EQ(f.WorldMatrix, Matrix{});
    EXPECT_EQ(f.DrawMatrix, Matrix{});
    for (TKVTexture* t : f.Textures) EXPECT_EQ(t, nullptr);
    EXPECT_EQ(f.Visibility, 0);
    EXPECT_TRUE(f.UseOffset);
    EXPECT_EQ(f.IgnoreLocal, 0);
    EXPECT_FALSE(f.WorldValid);
    EXPECT_FALSE(f.SphereCulling);
    EXPECT_EQ(f.Mesh, nullptr);
    EXPECT_EQ(f.BlendMode, 0);
    EXPECT_TRUE(f.Lighting);
    EXPECT_TRUE(f.SpecularEnable);
    EXPECT_EQ(f.Wrap0, 0);
    EXPECT_EQ(f.FillMode, 3);
    EXPECT_FALSE(f.OnDraw);
    EXPECT_FALSE(f.OnSortKey);
    EXPECT_FALSE(f.OnVisibility);
    EXPECT_EQ(f.BoundingSphere.Centre, (Vec3{0, 0, 0}));
    EXPECT_EQ(f.BoundingSphere.Radius, 1.0f);
    EXPECT_EQ(f.SortKeyMode, 0);
    EXPECT_EQ(f.Material.Diffuse.r, 1.0f);
    EXPECT_EQ(f.Material.Specular.g, 1.0f);
    EXPECT_EQ(f.Material.Ambient.b, 1.0f);
    EXPECT_EQ(f.Material.Emissive.r, 0.0f);
    EXPECT_EQ(f.Material.Emissive.a, 1.0f);
    EXPECT_EQ(f.Material.Power, 10.0f);
}

TEST(Frame, TextureSlots) {
    TOXFrame frame(nullptr);
    auto* a = reinterpret_cast<TKVTexture*>(0x10);  // never dereferenced
    auto* b = reinterpret_cast<TKVTexture*>(0x20);
    frame.SetTexture(a);
    EXPECT_EQ(frame.GetTexture(), a);
    EXPECT_EQ(frame.Textures[0], a);
    frame.SetTextureAt(7, b);
    EXPECT_EQ(frame.Textures[7], b);
    frame.SetTextureAt(8, a);  // outside the slots: nothing is written
    frame.SetTextureAt(-1, a);
    for (int i = 1; i < 7; ++i) EXPECT_EQ(frame.Textures[static_cast<size_t>(i)], nullptr);
    EXPECT_EQ(frame.Textures[7], b);
}

TEST(Frame, MakeMaterialPutsTheTriplesAtTheirRecordPositions) {
    const D3DMATERIAL9 m =
        MakeMaterial(0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.1f, 1.2f, 1.3f, 7);
    EXPECT_EQ(m.Diffuse.r, 0.1f);
    EXPECT_EQ(m.Diffuse.b, 0.3f);
    EXPECT_EQ(m.Specular.r, 0.4f);  // the second triple is specular
    EXPECT_EQ(m.Specular.b, 0.6f);
    EXPECT_EQ(m.Ambient.r, 0.7f);  // the third is ambient
    EXPECT_EQ(m.Ambient.b, 0.9f);
    EXPECT_EQ(m.Emissive.g, 1.2f);
    EXPECT_EQ(m.Power, 7.0f);
    EXPECT_EQ(m.Diffuse.a, 1.0f);
    EXPECT_EQ(m.Ambient.a, 1.0f);
    EXPECT_EQ(m.Specular.a, 1.0f);
    EXPECT_EQ(m.Emissive.a, 1.0f);
    static_assert(sizeof(D3DMATERIAL9) == 68);
}

TEST(Frame, DestroyingAChildLeavesTheParentValidAndTheRootFreesTheTree) {
    auto root = std::make_unique<TOXFrame>(nullptr);
    TOXFrame* a = new TOXFrame(root.get());
    TOXFrame* b = new TOXFrame(root.get());
    TOXFrame* c = new TOXFrame(root.get());
    new TOXFrame(b);
    delete b;  // takes its child with it
    ASSERT_EQ(root->Children.Count(), 2);
    EXPECT_EQ(root->Children[0], a);
    EXPECT_EQ(root->Children[1], c);

    // Links into the subtree are cleared as the frames go.
    TOXFrameLink toChild(new TOXFrame(c));
    TOXFrameLink toRoot;
    toRoot = root.get();
    root.reset();  // ASan reports anything left behind
    EXPECT_EQ(toChild.Get(), nullptr);
    EXPECT_EQ(toRoot.Get(), nullptr);
}

TEST(Frame, LinksFollowReassignmentAndTheirOwnLifetime) {
    TOXFrame a(nullptr);
    auto b = std::make_unique<TOXFrame>(nullptr);
    TOXFrameLink first(b.get());
    {
        TOXFrameLink second(b.get());
        TOXFrameLink third(b.get());
        third = &a;
        EXPECT_EQ(third.Get(), &a);
    }  // two links gone before the frame: the frame must not touch them
    TOXFrameLink fourth;
    fourth = first;
    EXPECT_EQ(fourth.Get(), b.get());
    b.reset();
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(fourth.Get(), nullptr);
    first = nullptr;
    EXPECT_TRUE(first == nullptr);
}

TEST(Frame, WorldMatrixComposesAncestorsAndHonoursIgnoreLocal) {
    TOXFrame root(nullptr);
    root.LocalMatrix = Translation(1, 0, 0);
    EXPECT_EQ(root.GetWorldMatrix(), Translation(1, 0, 0));
    root.IgnoreLocal = 1;
    EXPECT_EQ(root.GetWorldMatrix(), MatrixIdentity());
    root.IgnoreLocal = 2;  // only exactly 1 counts
    EXPECT_EQ(root.GetWorldMatrix(), Translation(1, 0, 0));
    root.IgnoreLocal = 0;

    TOXFrame* child = new TOXFrame(&root);
    child->LocalMatrix = Translation(0, 2, 0);
    EXPECT_TRUE(MatrixNear(child->GetWorldMatrix(), Translation(1, 2, 0)));

    TOXFrame* grandchild = new TOXFrame(child);
    grandchild->LocalMatrix = Translation(0, 0, 3);
    EXPECT_TRUE(MatrixNear(grandchild->GetWorldMatrix(), Translation(1, 2, 3)));
    child->IgnoreLocal = 1;  // the middle frame contributes nothing
    EXPECT_TRUE(MatrixNear(grandchild->GetWorldMatrix(), Translation(1, 0, 3)));
    child->IgnoreLocal = 0;

    // Order matters: the local rotation applies before the parent's translation.
    child->LocalMatrix = RotationY(1024);
    const Vec3 p = TransformPoint({0, 0, 0}, grandchild->GetWorldMatrix());
    EXPECT_TRUE(Vec3Near(p, {1 - 3, 0, 0}));  // (0,0,3) turned a quarter to (-3,0,0), then +1 on x
    EXPECT_TRUE(MatrixNear(Product(grandchild->GetWorldMatrix(), grandchild->GetInverseWorldMatrix()),
                           MatrixIdentity()));
    // The computed value is never cached in WorldMatrix.
    EXPECT_EQ(grandchild->WorldMatrix, Matrix{});
}

TEST(Frame, SetMatrixWithEveryKindOfReference) {
    TOXFrame root(nullptr);
    root.LocalMatrix = Translation(10, 0, 0);
    TOXFrame* parent = new TOXFrame(&root);
    parent->LocalMatrix = Product(RotationY(1024), Translation(0, 5, 0));
    TOXFrame* frame = new TOXFrame(parent);
    TOXFrame* other = new TOXFrame(&root);
    other->LocalMatrix = Translation(0, 0, 7);
    const Matrix m = Translation(1, 2, 3);

    // Self: applied in the frame's own space, before its placement; twice composes.
    frame->LocalMatrix = RotationY(512);
    frame->SetMatrix(frame, m);
    frame->SetMatrix(frame, m);
    EXPECT_TRUE(MatrixNear(frame->LocalMatrix, Product(Product(m, m), RotationY(512))));

    // Parent: m is the local matrix.
    frame->SetMatrix(parent, m);
    EXPECT_EQ(frame->LocalMatrix, m);

    // World space: the frame's world matrix becomes m.
    frame->SetMatrix(nullptr, m);
    EXPECT_TRUE(MatrixNear(frame->GetWorldMatrix(), m, 1e-4f));

    // Another frame: m relative to that frame's space.
    frame->SetMatrix(other, m);
    EXPECT_TRUE(MatrixNear(frame->GetWorldMatrix(), Product(m, other->GetWorldMatrix()), 1e-4f));

    // A root with another frame as reference.
    TOXFrame loose(nullptr);
    loose.SetMatrix(other, m);
    EXPECT_TRUE(MatrixNear(loose.LocalMatrix, Product(m, other->GetWorldMatrix())));
    // A root with nil: nil is its parent, so m is written as is.
    loose.SetMatrix(nullptr, RotationY(3));
    EXPECT_EQ(loose.LocalMatrix, RotationY(3));
}

TEST(Frame, SetOrientationInParentSpaceWritesRowsAndKeepsTheRest) {
    TOXFrame root(nullptr);
    TOXFrame* frame = new TOXFrame(&root);
    frame->LocalMatrix = Translation(4, 5, 6);
    frame->LocalMatrix(0, 3) = 0.5f;  // the fourth column is left alone
    frame->SetOrientation(&root, {0, 0, -1}, {0, 1, 0});
    Matrix expected = Translation(4, 5, 6);
    expected(0, 0) = -1;
    expected(2, 2) = -1;
    expected(0, 3) = 0.5f;
    EXPECT_TRUE(MatrixNear(frame->LocalMatrix, expected));

    // Up and direction are stored unchanged, neither normalised nor orthogonalised.
    frame->SetOrientation(&root, {0, 0, 2}, {0, 1, 1});
    EXPECT_EQ(frame->LocalMatrix(1, 2), 1.0f);
    EXPECT_EQ(frame->LocalMatrix(2, 2), 2.0f);
    EXPECT_TRUE(
        Vec3Near({frame->LocalMatrix(0, 0), frame->LocalMatrix(0, 1), frame->LocalMatrix(0, 2)}, {1, 0, 0}));
}

TEST(Frame, SetOrientationRelativeToOtherSpacesKeepsThePosition) {
    TOXFrame root(nullptr);
    TOXFrame* parent = new TOXFrame(&root);
    parent->LocalMatrix = Product(RotationY(1024), Translation(3, 0, 0));
    TOXFrame* frame = new TOXFrame(parent);
    frame->LocalMatrix = Translation(1, 2, 3);

    // World space: the world rotation rows become (right, up, direction).
    frame->SetOrientation(nullptr, {0, 0, 1}, {0, 1, 0});
    const Matrix world = frame->GetWorldMatrix();
    EXPECT_TRUE(Vec3Near({world(2, 0), world(2, 1), world(2, 2)}, {0, 0, 1}));
    EXPECT_TRUE(Vec3Near({world(0, 0), world(0, 1), world(0, 2)}, {1, 0, 0}));
    EXPECT_EQ(frame->LocalMatrix(3, 0), 1.0f);  // position kept in parent space
    EXPECT_EQ(frame->LocalMatrix(3, 1), 2.0f);
    EXPECT_EQ(frame->LocalMatrix(3, 2), 3.0f);

    // Another frame: the rotation is read in that frame's axes.
    TOXFrame* other = new TOXFrame(&root);
    other->LocalMatrix = Product(RotationY(2048), Translation(0, 9, 0));
    frame->SetOrientation(other, {0, 0, 1}, {0, 1, 0});
    const Matrix turned = frame->GetWorldMatrix();
    EXPECT_TRUE(Vec3Near({turned(2, 0), turned(2, 1), turned(2, 2)}, {0, 0, -1}));  // other's +z is world -z
    EXPECT_TRUE(Vec3Near({turned(1, 0), turned(1, 1), turned(1, 2)}, {0, 1, 0}));
    EXPECT_EQ(frame->LocalMatrix(3, 0), 1.0f);  // the position stays put
    EXPECT_EQ(frame->LocalMatrix(3, 2), 3.0f);

    // Self: composes with a scale the frame already carries.
    TOXFrame* scaled = new TOXFrame(&root);
    MatrixScale(scaled->LocalMatrix, 2, 2, 2);
    scaled->SetOrientation(scaled, {1, 0, 0}, {0, 1, 0});
    EXPECT_TRUE(Vec3Near({scaled->LocalMatrix(2, 0), scaled->LocalMatrix(2, 1), scaled->LocalMatrix(2, 2)},
                         {2, 0, 0}));
    EXPECT_TRUE(Vec3Near({scaled->LocalMatrix(0, 0), scaled->LocalMatrix(0, 1), scaled->LocalMatrix(0, 2)},
                         {0, 0, -2}));
}

TEST(Frame, SetPositionWithEveryKindOfReference) {
    TOXFrame root(nullptr);
    TOXFrame* parent = new TOXFrame(&root);
    parent->LocalMatrix =
        Product(RotationY(1024), Translation(0, 0, 5));  // rotated grandparent of `frame`'s child
    TOXFrame* frame = new TOXFrame(parent);
    frame->LocalMatrix = RotationY(512);
    const Matrix rotation = frame->LocalMatrix;

    // Parent space: row 4 only.
    frame->SetPosition(parent, {1, 2, 3});
    EXPECT_TRUE(
        Vec3Near({frame->LocalMatrix(3, 0), frame->LocalMatrix(3, 1), frame->LocalMatrix(3, 2)}, {1, 2, 3}));

    // The root as reference (the root is identity, so root space is world space):
    // the frame lands there, its rotation rows unchanged.
    frame->SetPosition(&root, {7, 8, 9});
    EXPECT_TRUE(Vec3Near(TransformPoint({0, 0, 0}, frame->GetWorldMatrix()), {7, 8, 9}));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(frame->LocalMatrix(r, c), rotation(r, c));
    }

    // World space with a translated root.
    root.LocalMatrix = Translation(100, 0, 0);
    frame->SetPosition(nullptr, {-1, -2, -3});
    EXPECT_TRUE(Vec3Near(TransformPoint({0, 0, 0}, frame->GetWorldMatrix()), {-1, -2, -3}));

    // Another frame's space.
    TOXFrame* other = new TOXFrame(&root);
    other->LocalMatrix = Product(RotationY(2048), Translation(0, 4, 0));
    frame->SetPosition(other, {1, 0, 0});
    EXPECT_TRUE(Vec3Near(TransformPoint({0, 0, 0}, frame->GetWorldMatrix()),
                         TransformPoint({1, 0, 0}, other->GetWorldMatrix())));

    // Self: the position is read in the frame's own axes.
    TOXFrame* turned = new TOXFrame(&root);
    turned->LocalMatrix = RotationY(1024);
    turned->SetPosition(turned, {0, 0, 1});
    EXPECT_TRUE(Vec3Near({turned->LocalMatrix(3, 0), turned->LocalMatrix(3, 1), turned->LocalMatrix(3, 2)},
                         {-1, 0, 0}));
}

// The viewer's pose: scale in parent space, then orientation and position in
// the frame's own space, leaves rows Zoom*R, Zoom*Up, Zoom*Dir and the
// translation -36*Zoom*Up.
TEST(Frame, TheViewersModelPoseComposesAsDescribed) {
    TOXFrame root(nullptr);
    TOXFrame* model = new TOXFrame(&root);
    const float zoom = 1.5f;
    Matrix scale;
    MatrixScale(scale, zoom, zoom, zoom);
    model->SetMatrix(&root, scale);
    Vec3 up, dir, right;
    RotateX({0, 1, 0}, 200, up);
    RotateY({0, 0, 1}, 700, dir);
    model->SetOrientation(model, dir, up);
    model->SetPosition(model, {0, -36, 0});
    Vec3Cross(up, dir, right);
    Vec3Normalize(right, right);
    const Vec3 rows[3] = {right, up, dir};
    for (int r = 0; r < 3; ++r) {
        EXPECT_TRUE(Vec3Near({model->LocalMatrix(r, 0), model->LocalMatrix(r, 1), model->LocalMatrix(r, 2)},
                             {zoom * rows[r].x, zoom * rows[r].y, zoom * rows[r].z}))
            << "row " << r;
    }
    EXPECT_TRUE(Vec3Near({model->LocalMatrix(3, 0), model->LocalMatrix(3, 1), model->LocalMatrix(3, 2)},
                         {-36 * zoom * up.x, -36 * zoom * up.y, -36 * zoom * up.z}));
}

TEST(Frame, UpdateWorldMatrixAppliesOffsetOnlyToTheDrawMatrix) {
    TOXFrame frame(nullptr);
    frame.LocalMatrix = Translation(1, 0, 0);
    MatrixScale(frame.OffsetMatrix, 2, 2, 2);
    const Matrix parentWorld = Translation(0, 10, 0);
    frame.UpdateWorldMatrix(parentWorld);
    EXPECT_TRUE(frame.WorldValid);
    EXPECT_TRUE(MatrixNear(frame.WorldMatrix, Translation(1, 10, 0)));
    EXPECT_TRUE(MatrixNear(frame.DrawMatrix, Product(frame.OffsetMatrix, Translation(1, 10, 0))));

    frame.UseOffset = false;
    frame.IgnoreLocal = 1;
    frame.UpdateWorldMatrix(parentWorld);
    EXPECT_EQ(frame.WorldMatrix, parentWorld);
    EXPECT_EQ(frame.DrawMatrix, parentWorld);
}

}  // namespace
}  // namespace wbx
