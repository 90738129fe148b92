// Clears of colour and depth surfaces: every word inside the cleared area
// gets the clear's value, whatever its position and alignment in the row,
// and nothing outside the area changes (row padding and the memory around
// the surface included).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "d3d9/raster/rasterizer.h"
#include "surfaceclear.h"
#include "surfaceformat.h"

namespace wbx::testing {
namespace {

using raster::ClearTargets;
using raster::RenderTargets;
using raster::Surface;

constexpr int kGuard = 16;  // bytes before and after the surface

struct TestSurface {
    std::vector<uint8_t> memory;
    Surface surface;
    int bytesPerPixel = 0;

    TestSurface(D3DFORMAT format, int width, int height, int padding, std::mt19937& random) {
        bytesPerPixel = format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8
                            ? 4
                            : raster::DepthLayoutOf(format).BytesPerPixel;
        surface.Width = width;
        surface.Height = height;
        surface.Pitch = width * bytesPerPixel + padding;
        surface.Format = format;
        memory.resize(static_cast<size_t>(surface.Pitch) * height + 2 * kGuard);
        for (uint8_t& b : memory) b = static_cast<uint8_t>(random());
        surface.Bits = memory.data() + kGuard;
    }

    uint32_t Word(const std::vector<uint8_t>& bytes, int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, bytes.data() + kGuard + static_cast<size_t>(y) * surface.Pitch + x * bytesPerPixel,
                    static_cast<size_t>(bytesPerPixel));
        return v;
    }
};

D3DVIEWPORT9 WholeViewport(const Surface& s) {
    return D3DVIEWPORT9{0, 0, static_cast<DWORD>(s.Width), static_cast<DWORD>(s.Height), 0.0f, 1.0f};
}

// The word a clear writes, from a clear of a surface of one pixel (a path
// of its own: no run of words to fill).
uint32_t ClearedWord(D3DFORMAT format, bool depth, D3DCOLOR color, float z) {
    std::mt19937 random(1);
    TestSurface one(format, 1, 1, 0, random);
    RenderTargets targets;
    if (depth) {
        targets.Depth = &one.surface;
    } else {
        targets.Color = one.surface;
    }
    ClearTargets(targets, WholeViewport(one.surface), 0, nullptr, depth ? D3DCLEAR_ZBUFFER : D3DCLEAR_TARGET,
                 color, z, 0, 0, 1 << 30);
    return one.Word(one.memory, 0, 0);
}

TEST(RasterSurfaceClear, RectanglesGetTheValueInEveryAlignmentAndNothingElseChanges) {
    std::mt19937 random(12);
    struct Case {
        D3DFORMAT format;
        bool depth;
        D3DCOLOR color;
        float z;
    };
    // Values whose bytes are all alike and values whose bytes differ.
    const Case cases[] = {
        {D3DFMT_D16, true, 0, 1.0f},
        {D3DFMT_D16, true, 0, 0.0f},
        {D3DFMT_D16, true, 0, 0.3f},
        {D3DFMT_D16_LOCKABLE, true, 0, 0.71f},
        {D3DFMT_D32, true, 0, 0.3f},
        {D3DFMT_D24X8, true, 0, 1.0f},
        {D3DFMT_X8R8G8B8, false, 0xFF336699u, 0},
        {D3DFMT_A8R8G8B8, false, 0xFFFFFFFFu, 0},
        {D3DFMT_X8R8G8B8, false, 0x00000000u, 0},
        {D3DFMT_A8R8G8B8, false, 0x80FF0001u, 0},
    };
    for (const Case& c : cases) {
        const uint32_t value = ClearedWord(c.format, c.depth, c.color, c.z);
        for (int trial = 0; trial < 40; ++trial) {
            const int width = 1 + static_cast<int>(random() % 70);
            const int height = 1 + static_cast<int>(random() % 6);
            // Padding of 0, 2 or 6 bytes puts rows at alternating alignments.
            const int paddings[] = {0, 2, 6};
            TestSurface s(c.format, width, height, paddings[random() % 3], random);
            const std::vector<uint8_t> before = s.memory;
            D3DRECT rects[2];
            for (D3DRECT& r : rects) {
                r.x1 = static_cast<LONG>(random() % width);
                r.x2 = r.x1 + 1 + static_cast<LONG>(random() % (width - r.x1));
                r.y1 = static_cast<LONG>(random() % height);
                r.y2 = r.y1 + 1 + static_cast<LONG>(random() % (height - r.y1));
            }
            RenderTargets targets;
            if (c.depth) {
                targets.Depth = &s.surface;
            } else {
                targets.Color = s.surface;
            }
            ClearTargets(targets, WholeViewport(s.surface), 2, rects,
                         c.depth ? D3DCLEAR_ZBUFFER : D3DCLEAR_TARGET, c.color, c.z, 0, 0, 1 << 30);
            std::vector<uint8_t> expected = before;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    bool inside = false;
                    for (const D3DRECT& r : rects)
                        inside = inside || (x >= r.x1 && x < r.x2 && y >= r.y1 && y < r.y2);
                    if (inside)
                        std::memcpy(expected.data() + kGuard + static_cast<size_t>(y) * s.surface.Pitch +
                                        x * s.bytesPerPixel,
                                    &value, static_cast<size_t>(s.bytesPerPixel));
                }
            }
            ASSERT_EQ(s.memory, expected) << "format " << c.format << ", " << width << " x " << height
                                          << ", pitch " << s.surface.Pitch << ", trial " << trial;
        }
    }
}

// A word cleared in one field only keeps the other: the stencil of a depth
// clear, in runs of every length.
TEST(RasterSurfaceClear, ADepthClearKeepsTheStencil) {
    std::mt19937 random(5);
    for (int width : {1, 2, 3, 7, 8, 9, 33}) {
        TestSurface s(D3DFMT_D24S8, width, 3, 4, random);
        const std::vector<uint8_t> before = s.memory;
        RenderTargets targets;
        targets.Depth = &s.surface;
        ClearTargets(targets, WholeViewport(s.surface), 0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0, 0, 1 << 30);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t was = s.Word(before, x, y), now = s.Word(s.memory, x, y);
                EXPECT_EQ(now & 0xFFu, was & 0xFFu);
                EXPECT_EQ(now >> 8, 0xFFFFFFu);
            }
        }
    }
}

// The rasteriser's Clear shares the rows of a large frame between two
// threads: colour and depth come out as one ClearTargets over every row
// makes them, on one thread and on two, with a depth surface taller than
// the target and rectangles crossing the rows where bands meet.
TEST(RasterSurfaceClear, TheRasterisersClearOnOneOrTwoThreadsClearsEveryRow) {
    const D3DRECT rects[] = {{0, 0, 1280, 3}, {7, 500, 1000, 900}, {1200, 700, 1300, 1100}};
    const D3DVIEWPORT9 viewport{0, 0, 1280, 1033, 0.0f, 1.0f};
    const DWORD flags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    for (const DWORD rectCount : {0u, 3u}) {
        const D3DRECT* given = rectCount != 0 ? rects : nullptr;
        std::vector<uint8_t> expected[2];  // colour, depth
        for (const int threads : {0, 1, 2}) {
            std::mt19937 random(31);  // every run starts from the same memory
            TestSurface color(D3DFMT_X8R8G8B8, 1280, 1000, 4, random);
            TestSurface depth(D3DFMT_D24S8, 1280, 1033, 0, random);
            RenderTargets targets;
            targets.Color = color.surface;
            targets.Depth = &depth.surface;
            if (threads == 0) {
                ClearTargets(targets, viewport, rectCount, given, flags, 0xFF102030u, 0.25f, 0x5A, 0,
                             1 << 30);
                expected[0] = color.memory;
                expected[1] = depth.memory;
                continue;
            }
            raster::Rasterizer r;
            r.SetThreadCount(threads);
            r.Clear(targets, viewport, rectCount, given, flags, 0xFF102030u, 0.25f, 0x5A);
            EXPECT_EQ(color.memory, expected[0])
                << threads << " threads, " << rectCount << " rectangles: colour";
            EXPECT_EQ(depth.memory, expected[1])
                << threads << " threads, " << rectCount << " rectangles: depth";
        }
    }
}

}  // namespace
}  // namespace wbx::testing
