#pragma once
// The interpolation planes of a triangle's set-up: for every plane slot,
// (a1 - a0, a2 - a0) solved for the screen gradients and the value at the
// origin pixel, in double precision, stored as float. The routine comes in
// variants by instruction set that give the same bits: plain SSE2 (two
// slots at a time, or one without SSE2) and AVX2 (four), chosen at run time.

#include "setup.h"

namespace wbx::raster {

// What every slot's plane shares: the snapped edges from vertex 0 in pixels,
// 1 / (twice the area), and the origin pixel's offset from vertex 0.
struct PlaneBasis {
    double Ex1, Ey1, Ex2, Ey2;
    double InverseArea;
    double OffsetX, OffsetY;
};

// Fills out's PlaneOrigin, PlaneDx and PlaneDy from the vertices' depth,
// 1/w and attributes (each divided by w).
using PlaneMaker = void (*)(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                            const PlaneBasis& basis, TriangleSetup& out);

void MakePlanes(const ScreenVertex& v0, const ScreenVertex& v1, const ScreenVertex& v2,
                const PlaneBasis& basis, TriangleSetup& out);

#if defined(__x86_64__) || defined(__i386__)
// The AVX2 variant; call it only where the processor has AVX2.
PlaneMaker PlaneMakerAvx2();
#endif

// The widest variant this processor runs.
PlaneMaker BestPlaneMaker();

}  // namespace wbx::raster
