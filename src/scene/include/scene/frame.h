#pragma once
// Frames: the nodes of the scene tree, and the ordered frame list they keep
// for their children and ancestors.
//
// A frame holds its placement relative to its parent (LocalMatrix), what it
// draws (mesh, material, texture slots, blend mode, render switches) and what
// the scene's traversal writes each pass (WorldMatrix, DrawMatrix, WorldValid).
// Matrices are row-vector Direct3D matrices: a product A x B applies A first.
//
// Ownership and lifetime:
//   - A frame owns its children. `new TOXFrame(parent)` hands the new frame to
//     the parent, which deletes it: a frame with a parent must be made with
//     new. Deleting a frame deletes its whole subtree and removes it from its
//     parent's Children. A root (no parent) is owned by whoever made it.
//   - A frame never owns its mesh or its textures.
//   - A frame cannot change its parent; Ancestors is fixed at construction.
//   - Plain pointers to a frame (queue entries, the caller's own fields) must be
//     dropped by their holder when the frame goes. A TOXFrameLink (the scene's
//     Camera) is cleared by the frame itself when it is destroyed.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "d3d9/d3d9types.h"
#include "math/matrix.h"
#include "math/vector.h"

namespace wbx {

class TKorvane;
class TKVTexture;
class TOXMesh;
class TOXScene;
class TOXFrame;

// An ordered list of frame pointers in insertion order. Never owns the frames.
class TOXFrameList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // Appends frame and returns its index.
    int Add(TOXFrame* frame);
    // Removes entry index; later entries move up by one. An index outside
    // 0 .. Count() - 1 changes nothing.
    void Delete(int index);
    // Index of the first entry equal to frame (by identity), or -1.
    int IndexOf(const TOXFrame* frame) const;
    void Clear() { items_.clear(); }
    // Entry i as a frame; the caller keeps 0 <= i < Count().
    TOXFrame* Items(int i) const { return items_[static_cast<size_t>(i)]; }
    TOXFrame* operator[](int i) const { return Items(i); }
    // Clear, then append every entry of source in order.
    void Assign(const TOXFrameList& source);

    std::vector<TOXFrame*>::const_iterator begin() const { return items_.begin(); }
    std::vector<TOXFrame*>::const_iterator end() const { return items_.end(); }

private:
    std::vector<TOXFrame*> items_;
};

// A frame reference that the frame clears (sets to nullptr) when it is
// destroyed, so its holder never touches a freed frame. Reads like a plain
// pointer: assign a TOXFrame* (or nullptr), compare, dereference. Linking and
// unlinking allocate nothing (the links form an intrusive list on the frame).
class TOXFrameLink {
public:
    TOXFrameLink() = default;
    explicit TOXFrameLink(TOXFrame* frame) { Set(frame); }
    ~TOXFrameLink() { Set(nullptr); }
    TOXFrameLink(const TOXFrameLink&) = delete;
    TOXFrameLink& operator=(const TOXFrameLink& other) {
        Set(other.frame_);
        return *this;
    }
    TOXFrameLink& operator=(TOXFrame* frame) {
        Set(frame);
        return *this;
    }

    TOXFrame* Get() const { return frame_; }
    operator TOXFrame*() const { return frame_; }  // NOLINT(google-explicit-constructor)
    TOXFrame* operator->() const { return frame_; }
    void Set(TOXFrame* frame);

private:
    friend class TOXFrame;
    TOXFrame* frame_ = nullptr;  // not owned
    TOXFrameLink* prev_ = nullptr;
    TOXFrameLink* next_ = nullptr;
};

// A sphere in some frame's local space.
struct TOXSphere {
    Vec3 Centre;
    float Radius;
};

// Frame events. Each is unset (empty) until a callable is bound; callers test
// it before calling. Arguments: the frame, the scene drawing it, the scene's
// device component, and for the last two the value the handler writes.
using TOXDrawEvent = std::function<void(TOXFrame* frame, TOXScene* scene, TKorvane* deviceComponent)>;
using TOXSortKeyEvent =
    std::function<void(TOXFrame* frame, TOXScene* scene, TKorvane* deviceComponent, float& key)>;
// A frame's visibility: its Visibility field, or what its visibility handler
// decides.
inline constexpr uint8_t kVisibilityDrawn = 0;  // the frame is drawn, its children visited
inline constexpr uint8_t kVisibilitySkipped =
    1;  // neither the frame nor anything below it is drawn or visited
inline constexpr uint8_t kVisibilityChildrenOnly = 2;  // the frame is not drawn, its children are visited

// The handler stores one of the visibility values in visibility.
using TOXVisibilityEvent =
    std::function<void(TOXFrame* frame, TOXScene* scene, TKorvane* deviceComponent, uint8_t& visibility)>;

inline constexpr int kTOXTextureSlots = 8;

// The Direct3D material record from thirteen values in this argument order:
// diffuse r, g, b; specular r, g, b; ambient r, g, b; emissive r, g, b; power.
// Every alpha is 1.
D3DMATERIAL9 MakeMaterial(float diffuseR, float diffuseG, float diffuseB, float specularR, float specularG,
                          float specularB, float ambientR, float ambientG, float ambientB, float emissiveR,
                          float emissiveG, float emissiveB, float power);

class TOXFrame {
public:
    // Creates a frame below parent (nullptr: a root) and appends it to the
    // parent's Children; the parent then owns it.
    explicit TOXFrame(TOXFrame* parent);
    // Deletes every child (first entry first), clears every TOXFrameLink that
    // points here, and removes this frame from its parent's Children.
    ~TOXFrame();
    TOXFrame(const TOXFrame&) = delete;
    TOXFrame& operator=(const TOXFrame&) = delete;

    // Frame-to-world matrix computed from the local matrices of this frame and
    // its ancestors (honouring IgnoreLocal = 1). Neither reads nor writes WorldMatrix.
    Matrix GetWorldMatrix() const;
    // MatrixInverseOrthonormal(GetWorldMatrix()): exact for rotation plus translation.
    Matrix GetInverseWorldMatrix() const;

    // Sets LocalMatrix so that m is expressed relative to reference: this frame
    // (m is applied before the current placement), the parent (m is the new
    // local matrix), nullptr (world space) or any other frame.
    void SetMatrix(const TOXFrame* reference, const Matrix& m);
    // Sets the rotation rows from a forward direction and an up vector relative
    // to reference, keeping the position in parent space. Up and direction are
    // stored as given (not normalised, not made perpendicular).
    void SetOrientation(const TOXFrame* reference, const Vec3& direction, const Vec3& up);
    // Sets the position relative to reference, keeping the rotation rows.
    void SetPosition(const TOXFrame* reference, const Vec3& position);

    TKVTexture* GetTexture() const { return Textures[0]; }
    void SetTexture(TKVTexture* texture) { Textures[0] = texture; }
    // Slot index (0 .. kTOXTextureSlots - 1) := texture. An index outside the
    // slots is the caller's error and changes nothing.
    void SetTextureAt(int index, TKVTexture* texture) {
        if (index >= 0 && index < kTOXTextureSlots) Textures[static_cast<size_t>(index)] = texture;
    }

    // The traversal's step for this frame, given its parent's world matrix:
    // WorldMatrix, DrawMatrix and WorldValid.
    void UpdateWorldMatrix(const Matrix& parentWorld);

    // Fields, in the order of the design. Defaults are what the constructor sets.
    Matrix LocalMatrix;                                    // placement in the parent's space; identity
    Matrix OffsetMatrix;                                   // own drawing only, never children; identity
    std::array<TKVTexture*, kTOXTextureSlots> Textures{};  // not owned; slot 0 is bound when drawn
    TOXFrameList Ancestors;                 // root (entry 0) down to the parent (last); empty for a root
    TOXFrameList Children;                  // owned, in creation order
    TOXFrame* Parent;                       // not owned; nullptr for a root
    uint8_t Visibility = kVisibilityDrawn;  // kVisibilityDrawn, kVisibilitySkipped or kVisibilityChildrenOnly
    bool UseOffset = true;                  // OffsetMatrix applies to DrawMatrix and the mesh sphere
    uint8_t IgnoreLocal = 0;                // exactly 1: LocalMatrix counts as identity
    bool WorldValid = false;                // WorldMatrix computed in the current pass
    Matrix WorldMatrix{};                   // frame-to-world, written by the traversal
    Matrix DrawMatrix{};                    // world transform given to the device when drawn
    bool SphereCulling = false;             // test BoundingSphere before descending
    TOXMesh* Mesh = nullptr;                // not owned
    D3DMATERIAL9 Material;                  // white diffuse, specular, ambient; black emissive; power 10
    int32_t BlendMode = 0;                  // index into the scene's blend-mode table
    bool Lighting = true;                   // D3DRS_LIGHTING
    bool SpecularEnable = true;             // D3DRS_SPECULARENABLE
    int32_t Wrap0 = 0;                      // D3DRS_WRAP0
    int32_t FillMode = D3DFILL_SOLID;       // D3DRS_FILLMODE
    TOXDrawEvent OnDraw;                    // replaces Mesh->Draw when set
    TOXSortKeyEvent OnSortKey;              // replaces the computed depth key when set
    TOXVisibilityEvent OnVisibility;        // replaces Visibility and SphereCulling when set
    TOXSphere BoundingSphere{{0.0f, 0.0f, 0.0f}, 1.0f};  // local space, for SphereCulling
    uint8_t SortKeyMode = 0;  // depth key from mesh bounds: 0 centre, 1 centre + half depth, 2 centre - half

private:
    friend class TOXFrameLink;
    TOXFrameLink* links_ = nullptr;  // head of the links pointing here (not owned)
};

}  // namespace wbx
