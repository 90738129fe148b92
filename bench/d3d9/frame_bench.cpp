// The viewer's frame on a model file: Clear (target and depth), the figure
// drawn with the viewer's states, and a Present that copies the frame out as
// the window does, repeated; prints the median frame time and its spread,
// one line per drawing-thread count. Run its OpenGL peer
// (wbx_bench_osmesa_frame) with the same arguments in the same sitting to
// compare against Mesa's llvmpipe.
//
//   wbx_bench_d3d9_frame [MODEL.pdt] [--size WxH] [--frames N] [--threads 1,2,0]
//                        [--yaw STEPS] [--pause US] [--isa scalar|sse2|avx2] [--reference] [--reuse]
//                        [--ppm OUT]
//
// Every frame draws the same figure: with draw reuse the rasteriser would
// draw its kept set-ups instead of doing the frame's vertex work, which the
// peer does every frame; so reuse is off unless --reuse asks for it.
// Thread count 0 is the rasteriser's own choice by frame size. Exit status
// 0 done, 1 the model could not be drawn, 2 bad arguments.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchargs.h"
#include "framescene.h"

namespace wbx::testing {
namespace {

// The frame as the window takes it: copied out of the target, by two
// threads where two draw it (the device copies a frame it keeps the same way).
void CopyOut(Rasterizer& r, const Canvas& canvas, std::vector<uint8_t>& window) {
    const size_t row = static_cast<size_t>(canvas.Width) * 4;
    r.CopyRows(window.data(), row, canvas.Color.data(), static_cast<size_t>(canvas.ColorSurface.Pitch), row,
               static_cast<size_t>(canvas.Height));
}

int Run(const FrameBenchArgs& args) {
    const FigureScene scene = MakeFrameScene(args.Model, args.Width, args.Height, args.Yaw);
    std::printf("frame %dx%d, %zu triangles, %d frames%s%s\n", args.Width, args.Height,
                scene.Indices.size() / 3, args.Frames, args.Reference ? ", reference pixel path" : "",
                args.Reuse ? ", draw reuse" : "");
    for (const int threads : args.Threads) {
        Canvas canvas(args.Width, args.Height, D3DFMT_D16);
        std::vector<uint8_t> window(static_cast<size_t>(args.Width) * args.Height * 4);
        Rasterizer r;
        r.SetReferencePixelPath(args.Reference);
        r.SetDrawReuse(args.Reuse);
        r.SetThreadCount(threads);
        if (!args.Isa.empty() && !r.SetPixelIsa(ParsePixelIsa(args.Isa))) {
            std::fprintf(stderr, "this processor has no %s variant\n", args.Isa.c_str());
            return 2;
        }
        TimeFrames(threads, args.Warmup, args.Frames, args.Pause, [&] {
            DrawFigureFrame(r, scene, canvas);
            CopyOut(r, canvas, window);
        });
        if (!args.Ppm.empty() && threads == args.Threads.back())
            WritePpm(args.Ppm, args.Width, args.Height, window);
    }
    return 0;
}

}  // namespace
}  // namespace wbx::testing

int main(int argc, char** argv) { return wbx::testing::FrameBenchMain(argc, argv, true, wbx::testing::Run); }
