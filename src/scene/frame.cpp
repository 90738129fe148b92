#include "scene/frame.h"

namespace wbx {

// ---------------------------------------------------------------------------
// TOXFrameList

int TOXFrameList::Add(TOXFrame* frame) {
    items_.push_back(frame);
    return Count() - 1;
}

void TOXFrameList::Delete(int index) {
    if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

int TOXFrameList::IndexOf(const TOXFrame* frame) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i] == frame) return static_cast<int>(i);
    }
    return -1;
}

void TOXFrameList::Assign(const TOXFrameList& source) {
    if (&source == this) return;
    items_.assign(source.items_.begin(), source.items_.end());
}

// ---------------------------------------------------------------------------
// TOXFrameLink

void TOXFrameLink::Set(TOXFrame* frame) {
    if (frame == frame_) return;
    if (frame_ != nullptr) {
        if (prev_ != nullptr) {
            prev_->next_ = next_;
        } else {
            frame_->links_ = next_;
        }
        if (next_ != nullptr) next_->prev_ = prev_;
        prev_ = next_ = nullptr;
    }
    frame_ = frame;
    if (frame_ != nullptr) {
        next_ = frame_->links_;
        if (next_ != nullptr) next_->prev_ = this;
        frame_->links_ = this;
    }
}

// ---------------------------------------------------------------------------
// Material

D3DMATERIAL9 MakeMaterial(float diffuseR, float diffuseG, float diffuseB, float specularR, float specularG,
                          float specularB, float ambientR, float ambientG, float ambientB, float emissiveR,
                          float emissiveG, float emissiveB, float power) {
    D3DMATERIAL9 material{};
    material.Diffuse = {diffuseR, diffuseG, diffuseB, 1.0f};
    material.Ambient = {ambientR, ambientG, ambientB, 1.0f};
    material.Specular = {specularR, specularG, specularB, 1.0f};
    material.Emissive = {emissiveR, emissiveG, emissiveB, 1.0f};
    material.Power = power;
    return material;
}

// ---------------------------------------------------------------------------
// TOXFrame

namespace {

// R := A x B where R may be A or B.
Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    MatrixMultiply(a, b, r);
    return r;
}

Matrix InverseOrthonormal(const Matrix& m) {
    Matrix r;
    MatrixInverseOrthonormal(m, r);
    return r;
}

}  // namespace

TOXFrame::TOXFrame(TOXFrame* parent)
    : LocalMatrix(MatrixIdentity()),
      OffsetMatrix(MatrixIdentity()),
      Parent(parent),
      Material(MakeMaterial(1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 10)) {
    if (parent != nullptr) {
        Ancestors.Assign(parent->Ancestors);
        Ancestors.Add(parent);
        parent->Children.Add(this);
    }
}

TOXFrame::~TOXFrame() {
    // Each child removes itself from Children as it goes.
    while (Children.Count() > 0) delete Children.Items(0);
    while (links_ != nullptr) links_->Set(nullptr);
    if (Parent != nullptr) {
        const int index = Parent->Children.IndexOf(this);
        if (index >= 0) Parent->Children.Delete(index);
    }
}

Matrix TOXFrame::GetWorldMatrix() const {
    Matrix w = IgnoreLocal == 1 ? MatrixIdentity() : LocalMatrix;
    for (int i = Ancestors.Count() - 1; i >= 0; --i) {
        const TOXFrame* ancestor = Ancestors.Items(i);
        if (ancestor->IgnoreLocal != 1) w = Multiply(w, ancestor->LocalMatrix);
    }
    return w;
}

Matrix TOXFrame::GetInverseWorldMatrix() const { return InverseOrthonormal(GetWorldMatrix()); }

void TOXFrame::SetMatrix(const TOXFrame* reference, const Matrix& m) {
    if (reference == this) {
        LocalMatrix = Multiply(m, LocalMatrix);
    } else if (reference == Parent) {
        LocalMatrix = m;
    } else if (Parent != nullptr && reference != nullptr) {
        LocalMatrix =
            Multiply(Multiply(m, reference->GetWorldMatrix()), InverseOrthonormal(Parent->GetWorldMatrix()));
    } else if (Parent != nullptr) {
        LocalMatrix = Multiply(m, InverseOrthonormal(Parent->GetWorldMatrix()));
    } else {
        LocalMatrix = Multiply(m, reference->GetWorldMatrix());
    }
}

void TOXFrame::SetOrientation(const TOXFrame* reference, const Vec3& direction, const Vec3& up) {
    Vec3 right;
    Vec3Cross(up, direction, right);
    Vec3Normalize(right, right);
    if (reference == Parent) {
        const Vec3 rows[3] = {right, up, direction};
        for (int r = 0; r < 3; ++r) {
            LocalMatrix(r, 0) = rows[r].x;
            LocalMatrix(r, 1) = rows[r].y;
            LocalMatrix(r, 2) = rows[r].z;
        }
        return;
    }
    const Vec3 translation{LocalMatrix(3, 0), LocalMatrix(3, 1), LocalMatrix(3, 2)};
    const Matrix m{{right.x, right.y, right.z, 0.0f,  //
                    up.x, up.y, up.z, 0.0f,           //
                    direction.x, direction.y, direction.z, 0.0f, translation.x, translation.y, translation.z,
                    1.0f}};
    SetMatrix(reference, m);
    LocalMatrix(3, 0) = translation.x;
    LocalMatrix(3, 1) = translation.y;
    LocalMatrix(3, 2) = translation.z;
}

void TOXFrame::SetPosition(const TOXFrame* reference, const Vec3& position) {
    if (reference == Parent) {
        LocalMatrix(3, 0) = position.x;
        LocalMatrix(3, 1) = position.y;
        LocalMatrix(3, 2) = position.z;
        return;
    }
    const Matrix rotation = LocalMatrix;
    Matrix placed = LocalMatrix;
    placed(3, 0) = position.x;
    placed(3, 1) = position.y;
    placed(3, 2) = position.z;
    SetMatrix(reference, placed);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) LocalMatrix(r, c) = rotation(r, c);
    }
}

void TOXFrame::UpdateWorldMatrix(const Matrix& parentWorld) {
    if (IgnoreLocal == 1) {
        WorldMatrix = parentWorld;
    } else {
        MatrixMultiply(LocalMatrix, parentWorld, WorldMatrix);
    }
    if (UseOffset) {
        MatrixMultiply(OffsetMatrix, WorldMatrix, DrawMatrix);
    } else {
        DrawMatrix = WorldMatrix;
    }
    WorldValid = true;
}

}  // namespace wbx
