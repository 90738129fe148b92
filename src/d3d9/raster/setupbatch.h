#pragma once
// Triangle set-up of several triangles at once: the assembler gathers the
// solid triangles of a draw that need no clipping and sets them up together,
// one vector lane per triangle, with exactly the arithmetic of SetupTriangle
// (64-bit integer edges, double planes, in the same order of operations),
// so that every variant gives the bits SetupTriangle gives. The variants
// follow the span kernels' instruction sets (PixelIsa): the scalar one sets
// the triangles up one by one, the AVX2 one four at a time.

#include "d3d9/raster/pixelisa.h"
#include "setup.h"

namespace wbx::raster {

// The most triangles any variant sets up at once.
constexpr int kMaxSetupBatch = 4;

// Triangles waiting for set-up, in submission order. The vertices are not
// owned: they must stay in place until the batch is set up.
struct SetupBatch {
    const ScreenVertex* V[kMaxSetupBatch][3];
    const ScreenVertex* Flat[kMaxSetupBatch];  // provoking vertex, or nullptr (Gouraud)
    int Count = 0;                             // 1 .. the variant's width when set up
};

// Sets up batch.V[i] into out[i] as SetupTriangle(V[i][0], V[i][1],
// V[i][2], cullMode, scissor, Flat[i], out[i]) would, for every i below
// batch.Count. Returns the triangles SetupTriangle keeps as a mask (bit i:
// triangle i); the slots of the others hold anything.
using BatchSetup = unsigned (*)(const SetupBatch& batch, DWORD cullMode, const PixelRect& scissor,
                                TriangleSetup* out);

struct BatchSetupVariant {
    BatchSetup Run = nullptr;  // nullptr: the processor lacks the instruction set
    int Width = 1;             // triangles per call, at most kMaxSetupBatch
};

// The plain variant: SetupTriangle for each triangle (any count up to
// kMaxSetupBatch).
unsigned SetupTrianglesOneByOne(const SetupBatch& batch, DWORD cullMode, const PixelRect& scissor,
                                TriangleSetup* out);

#if defined(__x86_64__) || defined(__i386__)
// Four triangles at a time; call only where the processor has AVX2.
unsigned SetupTrianglesAvx2(const SetupBatch& batch, DWORD cullMode, const PixelRect& scissor,
                            TriangleSetup* out);
#endif

// The variant for `isa`; the plain one where no wider variant of it exists,
// Run == nullptr where this processor cannot run it.
BatchSetupVariant BatchSetupFor(PixelIsa isa);

}  // namespace wbx::raster
