// Copying a frame's rows out of a target: every row arrives whole, on one
// thread or two (the bands the threads take fall between rows, wherever the
// row count puts them), with the pitches of both sides respected and nothing
// written beside the rows (row padding and the memory around the target
// included).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "d3d9/raster/rasterizer.h"

namespace wbx::raster {
namespace {

constexpr size_t kGuard = 32;  // bytes before and after the target

TEST(RasterCopyRows, EveryRowArrivesAndNothingBesideItChanges) {
    std::mt19937 random(7);
    struct Shape {
        size_t RowBytes, SourcePitch, TargetPitch, Rows;
    };
    // Packed rows (one block), padded rows on either side, odd and tiny row
    // counts, and a frame large enough for the automatic choice of two threads.
    const Shape shapes[] = {{40, 40, 40, 0},
                            {40, 40, 40, 1},
                            {40, 40, 40, 2},
                            {12, 16, 20, 3},
                            {1, 1, 1, 7},
                            {64, 96, 64, 33},
                            {64, 64, 80, 34},
                            {2560, 2560, 2560, 480},
                            {5120, 5184, 5120, 721},
                            {5120, 5120, 5120, 1080},
                            {7680, 7700, 7690, 1081}};
    for (const int threads : {0, 1, 2}) {
        for (const Shape& s : shapes) {
            SCOPED_TRACE(::testing::Message()
                         << "threads " << threads << ", " << s.RowBytes << " bytes x " << s.Rows
                         << " rows, pitches " << s.SourcePitch << "/" << s.TargetPitch);
            std::vector<uint8_t> source(s.SourcePitch * s.Rows + 1);
            for (uint8_t& b : source) b = static_cast<uint8_t>(random());
            std::vector<uint8_t> target(s.TargetPitch * s.Rows + 2 * kGuard);
            for (uint8_t& b : target) b = static_cast<uint8_t>(random());
            std::vector<uint8_t> expected = target;
            for (size_t y = 0; y < s.Rows; ++y)
                std::memcpy(expected.data() + kGuard + y * s.TargetPitch, source.data() + y * s.SourcePitch,
                            s.RowBytes);

            Rasterizer r;
            r.SetThreadCount(threads);
            r.CopyRows(target.data() + kGuard, s.TargetPitch, source.data(), s.SourcePitch, s.RowBytes,
                       s.Rows);
            ASSERT_EQ(target, expected);
        }
    }
}

}  // namespace
}  // namespace wbx::raster
