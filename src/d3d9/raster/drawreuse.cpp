#include "drawreuse.h"

#include <algorithm>
#include <cstring>

#include "shadedvertex.h"

namespace wbx::raster {

namespace {

// The bytes of each value, one after another.
template <class... T>
void Append(std::vector<uint8_t>& out, const T&... values) {
    const auto one = [&out](const auto& value) {
        const size_t at = out.size();
        out.resize(at + sizeof(value));
        std::memcpy(out.data() + at, &value, sizeof(value));
    };
    (one(values), ...);
}

// Copies `count` bytes into `out`, reusing its memory.
void Assign(std::vector<uint8_t>& out, const uint8_t* bytes, size_t count) {
    out.resize(count);
    if (count != 0) std::memcpy(out.data(), bytes, count);
}

bool Same(const std::vector<uint8_t>& kept, const uint8_t* bytes, size_t count) {
    return kept.size() == count && (count == 0 || std::memcmp(kept.data(), bytes, count) == 0);
}

// The render states that vertex processing (lighting) and primitive
// assembly (culling, fill mode) read. The pixel stage's states are not here:
// it reads them from the draw being made.
constexpr D3DRENDERSTATETYPE kSetupRenderStates[] = {
    D3DRS_CULLMODE,
    D3DRS_FILLMODE,
    D3DRS_LASTPIXEL,
    D3DRS_LIGHTING,
    D3DRS_NORMALIZENORMALS,
    D3DRS_LOCALVIEWER,
    D3DRS_SPECULARENABLE,
    D3DRS_AMBIENT,
    D3DRS_COLORVERTEX,
    D3DRS_DIFFUSEMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_EMISSIVEMATERIALSOURCE,
};

}  // namespace

bool DrawReuse::Keepable(const SetupInputs& in) {
    // Set-ups come one per primitive unless clipping cuts a triangle into a
    // polygon; Keep drops a draw that clipping took past the bound.
    return in.Primitives <= kMaxKeptSetups &&
           in.VertexByteCount <= kMaxKeptInputBytes - std::min(in.IndexByteCount, kMaxKeptInputBytes) &&
           in.IndexByteCount <= kMaxKeptInputBytes;
}

void DrawReuse::StateBytes(const SetupInputs& in) {
    std::vector<uint8_t>& out = probe_;
    out.clear();
    const DrawCall& call = *in.Call;
    Append(out, call.Type, call.Indexed, call.BaseVertexIndex, call.StartIndex, call.PrimitiveCount,
           in.Primitives);
    const VertexStream& vertices = *in.Vertices;
    Append(out, vertices.Stride, vertices.VertexCount, vertices.FVF);
    const bool indexed = in.Indices != nullptr;
    Append(out, indexed);
    if (indexed) Append(out, in.Indices->Is32Bit, in.Indices->IndexCount);
    Append(out, in.VertexByteCount, in.IndexByteCount);
    Append(out, in.Scissor.X0, in.Scissor.Y0, in.Scissor.X1, in.Scissor.Y1, in.FlatShading, in.TwoThreads);

    const PipelineState& s = *in.State;
    for (const D3DRENDERSTATETYPE state : kSetupRenderStates) Append(out, s.RenderStates[state]);
    for (int stage = 0; stage < kRasterStages; ++stage)
        Append(out, s.StageStates[stage][D3DTSS_TEXCOORDINDEX]);
    Append(out, s.World, s.View, s.Projection);
    // Structures field by field: none has padding today, but a byte of
    // padding would make equal values differ only by chance.
    const D3DVIEWPORT9& vp = s.Viewport;
    Append(out, vp.X, vp.Y, vp.Width, vp.Height, vp.MinZ, vp.MaxZ);
    const D3DMATERIAL9& m = s.Material;
    for (const D3DCOLORVALUE* c : {&m.Diffuse, &m.Ambient, &m.Specular, &m.Emissive})
        Append(out, c->r, c->g, c->b, c->a);
    Append(out, m.Power, s.ActiveLightCount);
    const int lights = std::clamp(s.ActiveLightCount, 0, kMaxActiveLights);
    for (int i = 0; i < lights; ++i) {
        const D3DLIGHT9& l = s.ActiveLights[i];
        Append(out, l.Type);
        for (const D3DCOLORVALUE* c : {&l.Diffuse, &l.Specular, &l.Ambient})
            Append(out, c->r, c->g, c->b, c->a);
        for (const D3DVECTOR* v : {&l.Position, &l.Direction}) Append(out, v->x, v->y, v->z);
        Append(out, l.Range, l.Falloff, l.Attenuation0, l.Attenuation1, l.Attenuation2, l.Theta, l.Phi);
    }
}

bool DrawReuse::Matches(const Entry& e, const SetupInputs& in) const {
    return e.Valid && Same(e.State, probe_.data(), probe_.size()) &&
           Same(e.Indices, in.IndexBytes, in.IndexByteCount) &&
           Same(e.Vertices, in.VertexBytes, in.VertexByteCount);
}

const KeptDraw* DrawReuse::Find(const SetupInputs& in) {
    StateBytes(in);
    for (Entry& e : entries_) {
        if (Matches(e, in)) {
            e.LastUse = ++clock_;
            return &e.Draw;
        }
    }
    return nullptr;
}

KeptDraw* DrawReuse::Begin(const SetupInputs& in) {
    Seen* oldest = &seen_[0];
    bool repeats = false;
    for (Seen& seen : seen_) {
        if (Same(seen.State, probe_.data(), probe_.size())) {
            seen.LastUse = ++clock_;
            repeats = true;
            break;
        }
        if (seen.LastUse < oldest->LastUse) oldest = &seen;
    }
    if (!repeats) {
        oldest->State = probe_;  // within the capacity kept from before once warm
        oldest->LastUse = ++clock_;
        return nullptr;
    }
    Entry* victim = &entries_[0];
    for (Entry& e : entries_) {
        if (!e.Valid) {
            victim = &e;
            break;
        }
        if (e.LastUse < victim->LastUse) victim = &e;
    }
    victim->Valid = false;
    victim->State = probe_;
    Assign(victim->Vertices, in.VertexBytes, in.VertexByteCount);
    Assign(victim->Indices, in.IndexBytes, in.IndexByteCount);
    victim->Draw.Setups[0].Clear();
    victim->Draw.Setups[1].Clear();
    victim->LastUse = ++clock_;
    begun_ = victim;
    return &victim->Draw;
}

void DrawReuse::Keep() {
    if (begun_ == nullptr) return;
    Entry& e = *begun_;
    begun_ = nullptr;
    if (e.Draw.Setups[0].Size() + e.Draw.Setups[1].Size() <= kMaxKeptSetups) {
        e.Valid = true;
        return;
    }
    // Clipping took the draw past the bound: give its memory back.
    e = Entry{};
}

void DrawReuse::Forget() {
    for (Entry& e : entries_) e.Valid = false;
    for (Seen& seen : seen_) seen.State.clear();
    begun_ = nullptr;
}

}  // namespace wbx::raster
