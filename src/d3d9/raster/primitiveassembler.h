#pragma once
// Primitive assembly: a draw's shaded vertices made into screen vertices
// (clip test, divide by w, viewport, snapping), and its triangles, lines and
// points clipped and handed on by the fill mode. Solid triangles become
// TriangleSetups for a sink (or are drawn at once); wireframe edges, lines
// and points are drawn pixel by pixel through the reference path.

#include <cstdint>
#include <vector>

#include "clipper.h"
#include "d3d9/raster/rasterizer.h"
#include "pixelprocessor.h"
#include "setup.h"
#include "setupbatch.h"
#include "shadedvertex.h"
#include "trianglelist.h"

namespace wbx::raster {

// The per-vertex results of a draw's vertex stage, indexed by the vertex's
// place in the draw's range (not owned; sized by the caller).
struct VertexArrays {
    ShadedVertex* Shaded = nullptr;
    ScreenVertex* Screen = nullptr;  // valid where Outcode is 0
    uint8_t* Outcode = nullptr;      // Clipper::Outcode, 0xFF for an unusable pre-transformed vertex
};

class PrimitiveAssembler {
public:
    // With `sink` set, solid triangles are appended there instead of drawn.
    // Everything referenced must outlive the assembler. `isa` picks the
    // variant of the batch set-up (the plain one where the processor lacks it).
    PrimitiveAssembler(const PipelineState& state, const PixelProcessor& pixels, const VertexArrays& vertices,
                       bool transformed, TriangleList* sink, PixelIsa isa = BestPixelIsa());
    // Flushes what is still waiting.
    ~PrimitiveAssembler();
    PrimitiveAssembler(const PrimitiveAssembler&) = delete;
    PrimitiveAssembler& operator=(const PrimitiveAssembler&) = delete;

    // Classifies and projects vertex i (after Shaded[i] is set).
    void PrepareVertex(size_t i) const;

    void Triangle(size_t a, size_t b, size_t c, size_t provoking);
    void Line(size_t a, size_t b);
    void Point(size_t a);

    // Solid triangles that need no clipping wait in a batch until it is
    // full; this sets up and draws (or appends to the sink) what waits.
    // Call it after a draw's last primitive, before the sink is read.
    void Flush();

private:
    void Project(const ShadedVertex& v, ScreenVertex& s) const;
    // A triangle with a vertex outside a clip plane. Kept out of Triangle,
    // whose common path then needs neither its stack nor its registers.
    [[gnu::noinline]] void ClippedTriangle(size_t a, size_t b, size_t c, size_t provoking);
    // A convex polygon in screen space, drawn as a fan, by the fill mode.
    void Polygon(const ScreenVertex* const* v, int count, const ScreenVertex* flat);
    // A triangle of the solid fill mode: set up, then drawn or kept.
    void Solid(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex* flat);
    void DrawLine(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex* flat);
    void DrawPoint(const ScreenVertex& v);

    // Queues a triangle of Screen (or draws it at once without batching).
    void Batch(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex* flat);

    const PixelProcessor& pixels_;
    TriangleList* sink_;  // not owned; null: draw at once
    Clipper clipper_;
    VertexArrays vertices_;
    bool transformed_;
    DWORD cullMode_, fillMode_;
    bool lastPixel_;
    bool solid_;  // the fill mode draws triangles whole (any mode but wireframe and point)
    double vpX_, vpY_, halfWidth_, halfHeight_, minZ_, depthRange_;
    BatchSetupVariant batchSetup_;
    SetupBatch batch_;                        // waiting triangles, all of the solid fill mode
    TriangleSetup batchOut_[kMaxSetupBatch];  // their set-ups when drawn at once
};

}  // namespace wbx::raster
