#pragma once
// Set-ups kept from recent draws, so that a draw repeating one of them goes
// straight to the pixel stage. The catalogue draws the same figure with the
// same matrices, light and viewport for every item; only the texture
// changes, and the texture is read by the pixel stage alone.
//
// A draw is found again only when every input that vertex processing,
// clipping, triangle set-up and binning read is byte for byte what it was:
//   - the draw call and the primitives it makes, the vertex and index
//     streams' layouts and sizes, and the bytes of the vertices and indices
//     it reads (compared, not hashed: a wrong match would draw a wrong
//     picture without a word);
//   - the transforms, the viewport, the material, the active lights, the
//     render states lighting, clipping and culling read, each raster stage's
//     coordinate set;
//   - what the pixel processor hands set-up: the scissor (which the target
//     and depth surfaces' sizes bound) and whether shading is flat;
//   - whether the draw was made by one thread or two (the set-ups and their
//     tile bins differ by thread).
// Texel contents, texture sizes and levels, sampler, stage, blend, alpha,
// depth and fog states are read by the pixel stage only, from the state of
// the draw being made, never from what is kept: a set-up holds planes and
// edges of the screen positions and vertex attributes alone.
//
// A draw is kept only when its small inputs (all but the vertex and index
// bytes) are those of a recent draw: a viewer turning the figure changes the
// world matrix every frame, and copying its vertices and writing its
// set-ups out for a draw that never comes again would cost every frame.
// The catalogue's views repeat from their second draw on.
//
// Memory: kEntryCount entries, each kept only while it holds at most
// kMaxKeptSetups set-ups (~340 bytes each) and kMaxKeptInputBytes of vertex
// and index bytes, plus its tile bins (4 bytes per triangle and tile it
// touches): ~10 MB an entry at most, ~2 MB for a 5,000-triangle figure.
// Entries are reused in place, so a warm cache allocates nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "d3d9/raster/rasterizer.h"
#include "setup.h"
#include "trianglelist.h"

namespace wbx::raster {

// The inputs of one draw's work before the pixel stage; everything pointed
// to must stay valid while the description is used.
struct SetupInputs {
    const PipelineState* State = nullptr;
    const VertexStream* Vertices = nullptr;
    const IndexStream* Indices = nullptr;  // null for a draw without indices
    const DrawCall* Call = nullptr;
    uint64_t Primitives = 0;               // primitives the streams hold of those the call asks for
    const uint8_t* VertexBytes = nullptr;  // the first vertex of the range the draw reads
    size_t VertexByteCount = 0;            // up to the end of the last vertex of the range
    const uint8_t* IndexBytes = nullptr;   // the indices the draw reads (indexed draws)
    size_t IndexByteCount = 0;
    PixelRect Scissor;
    bool FlatShading = false;
    bool TwoThreads = false;
};

// The set-ups of a draw and, drawn by two threads, each thread's tile bins.
struct KeptDraw {
    TriangleList Setups[2];                      // [1] only with two threads
    std::vector<std::vector<uint32_t>> Bins[2];  // per tile, indices into Setups[thread]
};

class DrawReuse {
public:
    static constexpr int kEntryCount = 4;
    static constexpr size_t kMaxKeptSetups = 16384;
    static constexpr size_t kMaxKeptInputBytes = size_t{4} << 20;

    // Whether a draw of these inputs may be kept at all.
    static bool Keepable(const SetupInputs& in);

    // The kept draw whose inputs are `in`'s, or null. Marks it most recently
    // used.
    const KeptDraw* Find(const SetupInputs& in);

    // After a Find of the same inputs that found nothing: an entry for the
    // draw, the least recently used one given over, its set-ups empty, to be
    // found after Keep; or null when its small inputs are new (then they are
    // remembered, and a draw repeating them is kept). The pointer is valid
    // until the next call to this object.
    KeptDraw* Begin(const SetupInputs& in);
    // The draw begun last is complete: it is kept when within the bounds.
    void Keep();

    // Forgets every kept draw (memory stays for the next ones).
    void Forget();

private:
    struct Entry {
        std::vector<uint8_t> State;  // StateBytes of the draw
        std::vector<uint8_t> Vertices;
        std::vector<uint8_t> Indices;
        KeptDraw Draw;
        uint64_t LastUse = 0;
        bool Valid = false;
    };

    // The small inputs, laid end to end into probe_.
    void StateBytes(const SetupInputs& in);
    bool Matches(const Entry& e, const SetupInputs& in) const;

    // The small inputs of recent draws, whether kept or not.
    struct Seen {
        std::vector<uint8_t> State;
        uint64_t LastUse = 0;
    };

    std::array<Entry, kEntryCount> entries_;
    std::array<Seen, kEntryCount> seen_;
    std::vector<uint8_t> probe_;  // StateBytes of the draw of the last Find
    uint64_t clock_ = 0;
    Entry* begun_ = nullptr;
};

}  // namespace wbx::raster
