#pragma once
// The covered pixels of a narrow box (at most kNarrowSpanWidth pixels wide)
// packed for the span kernels, in the instruction set the kernels use: row
// after row, each row's run of covered pixels appended to the batch whole,
// without branches per row. The same runs as NarrowRows::Next gives.

#include <bit>
#include <cstdint>

#include "d3d9/raster/pixelisa.h"
#include "setup.h"

namespace wbx::raster {

// The edges of a narrow box whose values fit in 32 bits over the whole box
// (EdgesFit32). Values and steps are taken modulo 2^32: they may wrap in
// lanes past the box's width, which are masked off.
struct NarrowEdges {
    uint32_t Row[3];    // at the first pixel of the next row
    uint32_t StepX[3];  // per pixel to the right
    uint32_t StepY[3];  // per row down
    int Width;          // 1 .. kNarrowSpanWidth

    // The box of `t` `width` pixels wide whose first pixel has the edge values `row`.
    NarrowEdges(const TriangleSetup& t, const int64_t* row, int width) : Width(width) {
        for (int k = 0; k < 3; ++k) {
            Row[k] = static_cast<uint32_t>(row[k]);
            StepX[k] = static_cast<uint32_t>(t.EdgeStepX[k]);
            StepY[k] = static_cast<uint32_t>(t.EdgeStepY[k]);
        }
    }

    void Down(int rows) {
        for (int k = 0; k < 3; ++k) Row[k] += StepY[k] * static_cast<uint32_t>(rows);
    }
};

// A row's run from its coverage mask: its first pixel, and its length (0
// for an empty row). From the run's ends: the x86-64 baseline has no
// population count.
struct NarrowRun {
    int Begin, Length;
};
inline NarrowRun NarrowRunOf(uint32_t covered) {
    const int begin = std::countr_zero(covered | 0x80000000u);
    const int end = 32 - std::countl_zero(covered);
    return {begin, covered != 0 ? end - begin : 0};
}

// Appends the covered pixels (x, y) of rows y, y + 1, ... of the box whose
// first column is x0 to xs and ys from entry `gathered`, which grows by
// their number; stops after `rows` rows, or after the row that takes
// `gathered` to `batch` or beyond. Each row writes kNarrowSpanWidth entries
// at the most, so the arrays need batch - 1 + kNarrowSpanWidth of them.
// Moves e.Row down by the rows done and returns their number.
using NarrowPackFunction = int (*)(NarrowEdges& e, int x0, int y, int rows, int batch, int32_t* xs,
                                   int32_t* ys, int& gathered);

// The function for `isa` (the baseline's where this build or processor
// lacks the instruction set).
NarrowPackFunction NarrowPackFor(PixelIsa isa);

}  // namespace wbx::raster
