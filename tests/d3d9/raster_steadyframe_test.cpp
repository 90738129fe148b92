// A steady scene allocates nothing: once the first frames have sized the
// rasteriser's scratch, clearing and drawing the figure again, with one
// thread or two, takes no memory from the heap on the drawing thread.

#include <gtest/gtest.h>

#include "figurescene.h"
#include "heapmeter.h"
#include "rasterfixture.h"

namespace wbx::testing {
namespace {

TEST(RasterSteadyFrame, FramesAfterTheFirstAllocateNothing) {
    const FigureScene scene = MakeFigureScene(320, 240, 40, 40, 500);
    for (const int threads : {1, 2}) {
        Canvas canvas(320, 240);
        Rasterizer r;
        r.SetThreadCount(threads);
        for (int frame = 0; frame < 3; ++frame) DrawFigureFrame(r, scene, canvas);
        const AllocationReport steady = MeterAllocations([&] {
            for (int frame = 0; frame < 5; ++frame) DrawFigureFrame(r, scene, canvas);
        });
        EXPECT_EQ(steady.Count, 0u) << threads << " threads";
        EXPECT_GT(canvas.CountNot(0x888888), 5000);
    }
}

}  // namespace
}  // namespace wbx::testing
