// The packing of narrow boxes into batches, in every instruction-set
// variant: the same pixels, in the same order, as the row-by-row walk of
// ForEachSpan, and each call stopping at the row that fills the batch.

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "narrowpacking.h"
#include "setup.h"
#include "snappedvertex.h"

namespace wbx::raster {
namespace {

using Pixels = std::vector<std::pair<int, int>>;

// The pixels of the narrow box of `t` inside `clip`, packed by `pack` in
// batches of `batch`; also checks where each call stopped.
Pixels Packed(NarrowPackFunction pack, const TriangleSetup& t, const PixelRect& clip, int batch) {
    Pixels pixels;
    ForEachCoverageBox(
        t, clip,
        [&](const int64_t* row, int x0, int x1, int y0, int y1) {
            NarrowEdges e(t, row, x1 - x0);
            std::vector<int32_t> xs(static_cast<size_t>(batch - 1 + kNarrowSpanWidth), -7);
            std::vector<int32_t> ys(xs.size(), -7);
            for (int y = y0; y < y1;) {
                int gathered = static_cast<int>(pixels.size()) % batch;  // a batch already begun
                const int begun = gathered;
                const int rows = pack(e, x0, y, y1 - y, batch, xs.data(), ys.data(), gathered);
                ASSERT_GT(rows, 0);
                ASSERT_LE(rows, y1 - y);
                // It stops at the end of the box, or at the first row that fills the batch.
                if (y + rows < y1) EXPECT_GE(gathered, batch) << "stopped early";
                for (int i = begun; i < gathered; ++i) pixels.emplace_back(xs[i], ys[i]);
                y += rows;
            }
        },
        [&](int, int, int) { ADD_FAILURE() << "not a narrow box"; });
    return pixels;
}

TEST(RasterNarrowPacking, EveryVariantPacksTheRunsOfTheRowWalk) {
    std::mt19937 random(99);
    std::uniform_real_distribution<float> coordinate(0.0f, 1.0f);
    int boxes = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        // Boxes from 1 to 32 pixels wide, some clipped at the edges of the clip.
        const float width = 1.0f + 32.0f * coordinate(random), height = 1.0f + 60.0f * coordinate(random);
        const float x = -4.0f + 40.0f * coordinate(random), y = -4.0f + 40.0f * coordinate(random);
        const ScreenVertex a = SnappedAt(x + width * coordinate(random), y),
                           b = SnappedAt(x + width, y + height * coordinate(random)),
                           c = SnappedAt(x + width * coordinate(random), y + height);
        const PixelRect clip{0, 0, 30 + static_cast<int>(random() % 20),
                             30 + static_cast<int>(random() % 60)};
        TriangleSetup t{};
        if (!SetupTriangle(a, b, c, D3DCULL_NONE, clip, nullptr, t)) continue;
        const int x0 = std::max(t.MinX, clip.X0), x1 = std::min(t.MaxX + 1, clip.X1);
        if (x1 - x0 > kNarrowSpanWidth) continue;
        ++boxes;
        Pixels walked;
        ForEachSpan(t, clip, [&](int row, int begin, int end) {
            for (int px = begin; px < end; ++px) walked.emplace_back(px, row);
        });
        for (PixelIsa isa : {PixelIsa::Scalar, PixelIsa::Sse2, PixelIsa::Avx2}) {
            for (int batch : {1, 5, 64}) {
                EXPECT_EQ(Packed(NarrowPackFor(isa), t, clip, batch), walked)
                    << "variant " << static_cast<int>(isa) << ", batch " << batch << ", trial " << trial;
            }
        }
    }
    EXPECT_GT(boxes, 2000);
}

}  // namespace
}  // namespace wbx::raster
