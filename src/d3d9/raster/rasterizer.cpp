#include "d3d9/raster/rasterizer.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "d3d9/raster/primitivecount.h"
#include "d3d9/raster/vertexformat.h"
#include "drawreuse.h"
#include "pixelprocessor.h"
#include "primitiveassembler.h"
#include "setup.h"
#include "surfaceclear.h"
#include "trianglelist.h"
#include "vertexprocessor.h"
#include "workerthread.h"

namespace wbx::raster {

namespace {

// The largest primitive count whose vertices fit in `available`.
uint64_t PrimitivesFitting(D3DPRIMITIVETYPE type, uint64_t available) {
    switch (type) {
        case D3DPT_POINTLIST:
            return available;
        case D3DPT_LINELIST:
            return available / 2;
        case D3DPT_LINESTRIP:
            return available >= 2 ? available - 1 : 0;
        case D3DPT_TRIANGLELIST:
            return available / 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return available >= 3 ? available - 2 : 0;
        default:
            return 0;
    }
}

// The smallest and largest of `count` indices of type Index from `data`.
template <class Index>
void IndexBounds(const uint8_t* data, uint64_t count, uint32_t& smallest, uint32_t& largest) {
    Index low = static_cast<Index>(~Index{0}), high = 0;
    for (uint64_t k = 0; k < count; ++k) {
        Index value;
        std::memcpy(&value, data + k * sizeof(Index), sizeof(Index));
        low = value < low ? value : low;
        high = value > high ? value : high;
    }
    smallest = low;
    largest = high;
}

// Triangles [begin, end) of a list whose indices (of type Index, from
// `data`) all name vertices of the draw's range: index + offset is the
// vertex's place in the range.
template <class Index>
void TriangleListOf(const uint8_t* data, uint64_t begin, uint64_t end, int64_t offset,
                    PrimitiveAssembler& assembler) {
    for (uint64_t p = begin; p < end; ++p) {
        Index v[3];
        std::memcpy(v, data + 3 * p * sizeof(Index), sizeof(v));
        const size_t a = static_cast<size_t>(v[0] + offset), b = static_cast<size_t>(v[1] + offset),
                     c = static_cast<size_t>(v[2] + offset);
        assembler.Triangle(a, b, c, a);
    }
}

// Screen tiles of two-thread drawing: kTileWidth x kTileHeight pixels.
// Larger tiles cut fewer triangles in two (each piece costs a coverage walk
// of its own); at 1920 x 1080 there are still 135 of them to share.
constexpr int kTileShiftX = 7, kTileShiftY = 7;
constexpr int kTileWidth = 1 << kTileShiftX, kTileHeight = 1 << kTileShiftY;

// With the automatic thread count, targets of at least this many pixels are
// drawn by two threads. Below it a second thread does not pay: the frame's
// serial parts and the hand-overs cost more than the pixels it takes over.
constexpr int64_t kTwoThreadArea = 1280 * 720;

// Clears and frame copies on two threads go in about kBands bands of rows,
// each at least kMinBandRows high.
constexpr size_t kBands = 16, kMinBandRows = 16;

// Solid triangles of at most this many primitives are drawn by one thread.
constexpr uint64_t kTwoThreadPrimitives = 256;

// A draw whose set-ups are kept is set up this many primitives at a time,
// each batch drawn at once, while its set-ups are still in the cache.
constexpr uint64_t kSetupBatch = 64;

}  // namespace

struct Rasterizer::Impl {
    // Scratch, kept between draws so a steady scene allocates nothing.
    std::vector<ShadedVertex> shaded;  // per vertex of the draw's range
    std::vector<ScreenVertex> screen;  // projected, for vertices inside every plane
    std::vector<uint8_t> outcode;      // Clipper::Outcode per vertex
    // Two-thread drawing of a draw that is not kept: each thread's triangles
    // in submission order, and per screen tile the indices of those that
    // touch it.
    KeptDraw scratch;
    DrawReuse reuse;
    bool reuseOn = true;
    bool referenceOnly = false;
    bool lastFast = false;
    bool lastReused = false;
    int threads = 0;  // see SetThreadCount
    PixelIsa isa = BestPixelIsa();
    std::unique_ptr<WorkerThread> worker;  // created on first use

    // Threads for work over `area` pixels.
    int ThreadsFor(int64_t area) const {
        if (threads != 0) return threads;
        return area >= kTwoThreadArea && std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    }
    WorkerThread& Worker() {
        if (!worker) worker = std::make_unique<WorkerThread>();
        return *worker;
    }
    // Calls rows(begin, end) over rows [0, count): once on this thread, or,
    // where work over `area` pixels gets two threads, band by band on this
    // thread and the worker, each taking the next band when done with one.
    // A thread that starts late (a worker waking from sleep) or runs slow
    // (a busy machine) then takes fewer bands instead of holding the other
    // up at the end, as fixed halves would.
    template <class Rows>
    void ByRows(int64_t area, size_t count, const Rows& rows) {
        if (ThreadsFor(area) < 2 || count < 2) {
            rows(size_t{0}, count);
            return;
        }
        const size_t band = std::max<size_t>(kMinBandRows, (count + kBands - 1) / kBands);
        std::atomic<size_t> next{0};
        const auto job = [&](int) {
            for (size_t begin = next.fetch_add(band, std::memory_order_relaxed); begin < count;
                 begin = next.fetch_add(band, std::memory_order_relaxed)) {
                rows(begin, std::min(begin + band, count));
            }
        };
        // Handed over by reference: a function object holding the captures
        // themselves would be allocated anew every call.
        Worker().Run(std::ref(job));
    }
};

bool IsColorTargetFormat(D3DFORMAT format) { return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8; }

Rasterizer::Rasterizer() : impl_(std::make_unique<Impl>()) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::SetReferencePixelPath(bool on) { impl_->referenceOnly = on; }
bool Rasterizer::LastDrawUsedFastPath() const { return impl_->lastFast; }
void Rasterizer::SetDrawReuse(bool on) {
    impl_->reuseOn = on;
    if (!on) impl_->reuse.Forget();
}
bool Rasterizer::LastDrawReused() const { return impl_->lastReused; }
void Rasterizer::SetThreadCount(int count) { impl_->threads = count <= 0 ? 0 : (count > 1 ? 2 : 1); }
bool Rasterizer::SetPixelIsa(PixelIsa isa) {
    if (SpanKernelFor(isa, TexelKind::None) == nullptr) return false;
    impl_->isa = isa;
    return true;
}

void Rasterizer::Draw(const PipelineState& state, const VertexStream& vertices, const IndexStream* indices,
                      const DrawCall& call, const RenderTargets& targets) {
    impl_->lastFast = false;
    impl_->lastReused = false;
    const VertexFormat format = DecodeFVF(vertices.FVF);
    if (!format.Valid || vertices.Data == nullptr || vertices.VertexCount == 0 ||
        vertices.Stride < static_cast<UINT>(format.Size)) {
        return;
    }
    const bool indexed = call.Indexed;
    if (indexed && (indices == nullptr || indices->Data == nullptr)) return;

    // Primitives whose vertices (or indices) lie beyond the streams are dropped.
    // Counting them off up front also bounds the loop below by the streams'
    // sizes, whatever count the caller passes.
    const uint64_t streamLength = indexed ? indices->IndexCount : vertices.VertexCount;
    const uint64_t available = streamLength > call.StartIndex ? streamLength - call.StartIndex : 0;
    const uint64_t primitives =
        std::min<uint64_t>(call.PrimitiveCount, PrimitivesFitting(call.Type, available));
    const uint64_t used = VerticesFor(call.Type, primitives);
    if (primitives == 0 || used == 0) return;

    // The k-th vertex of the primitive stream, as an index into the vertex
    // stream; -1 when it lies outside it.
    const int64_t vertexCount = vertices.VertexCount;
    auto vertexAt = [&](uint64_t k) -> int64_t {
        int64_t v;
        if (indexed) {
            const uint64_t position = call.StartIndex + k;
            if (indices->Is32Bit) {
                uint32_t raw;
                std::memcpy(&raw, indices->Data + 4 * position, 4);
                v = static_cast<int64_t>(raw) + call.BaseVertexIndex;
            } else {
                uint16_t raw;
                std::memcpy(&raw, indices->Data + 2 * position, 2);
                v = static_cast<int64_t>(raw) + call.BaseVertexIndex;
            }
        } else {
            v = static_cast<int64_t>(call.StartIndex) + static_cast<int64_t>(k);
        }
        return (v >= 0 && v < vertexCount) ? v : -1;
    };

    // The range of vertices the draw reads. Usually every index names a
    // vertex of the stream: then the range comes from the indices' bounds
    // and the triangles of a list need no check per index.
    int64_t first = vertexCount, last = -1;
    bool allInside = false;
    const uint8_t* firstIndex = nullptr;
    if (indexed) {
        firstIndex = indices->Data + static_cast<size_t>(call.StartIndex) * (indices->Is32Bit ? 4 : 2);
        uint32_t smallest, largest;
        if (indices->Is32Bit) {
            IndexBounds<uint32_t>(firstIndex, used, smallest, largest);
        } else {
            IndexBounds<uint16_t>(firstIndex, used, smallest, largest);
        }
        first = static_cast<int64_t>(smallest) + call.BaseVertexIndex;
        last = static_cast<int64_t>(largest) + call.BaseVertexIndex;
        allInside = first >= 0 && last < vertexCount;
        if (!allInside) first = vertexCount, last = -1;
    }
    if (indexed && !allInside) {
        for (uint64_t k = 0; k < used; ++k) {
            const int64_t v = vertexAt(k);
            if (v < 0) continue;
            first = std::min(first, v);
            last = std::max(last, v);
        }
    } else if (!indexed) {
        first = std::min<int64_t>(call.StartIndex, vertexCount);
        last = std::min<int64_t>(static_cast<int64_t>(call.StartIndex) + static_cast<int64_t>(used),
                                 vertexCount) -
               1;
    }
    if (last < first) return;

    const PixelProcessor pixels(state, targets, impl_->referenceOnly, impl_->isa);
    if (!pixels.CanDraw()) return;
    impl_->lastFast = pixels.UsesFastPath();

    const size_t rangeSize = static_cast<size_t>(last - first + 1);
    if (impl_->shaded.size() < rangeSize) {
        impl_->shaded.resize(rangeSize);
        impl_->screen.resize(rangeSize);
        impl_->outcode.resize(rangeSize);
    }
    const VertexArrays arrays{impl_->shaded.data(), impl_->screen.data(), impl_->outcode.data()};
    const VertexProcessor processor(state, format);
    auto shade = [&](const PrimitiveAssembler& assembler, size_t begin, size_t end) {
        // In runs short enough that the shaded vertices are still in the
        // cache when they are projected.
        constexpr size_t kRun = 64;
        for (size_t run = begin; run < end; run += kRun) {
            const size_t runEnd = std::min(run + kRun, end);
            processor.ProcessRange(vertices.Data + (static_cast<size_t>(first) + run) * vertices.Stride,
                                   vertices.Stride, runEnd - run, arrays.Shaded + run);
            for (size_t i = run; i < runEnd; ++i) assembler.PrepareVertex(i);
        }
    };
    auto slot = [&](uint64_t k, size_t& out) {
        const int64_t v = vertexAt(k);
        if (v < 0) return false;
        out = static_cast<size_t>(v - first);
        return true;
    };
    // Primitives [begin, end) of the draw, in order.
    auto walk = [&](PrimitiveAssembler& assembler, uint64_t begin, uint64_t end) {
        if (allInside && call.Type == D3DPT_TRIANGLELIST) {
            const int64_t offset = call.BaseVertexIndex - first;
            if (indices->Is32Bit) {
                TriangleListOf<uint32_t>(firstIndex, begin, end, offset, assembler);
            } else {
                TriangleListOf<uint16_t>(firstIndex, begin, end, offset, assembler);
            }
            return;
        }
        for (uint64_t p = begin; p < end; ++p) {
            size_t a, b, c;
            switch (call.Type) {
                case D3DPT_TRIANGLELIST:
                    if (slot(3 * p, a) && slot(3 * p + 1, b) && slot(3 * p + 2, c))
                        assembler.Triangle(a, b, c, a);
                    break;
                case D3DPT_TRIANGLESTRIP:
                    // Odd triangles swap their last two vertices so that every
                    // triangle of the strip has the same winding.
                    if (slot(p, a) && slot(p + 1, b) && slot(p + 2, c)) {
                        if (p % 2 == 0) {
                            assembler.Triangle(a, b, c, a);
                        } else {
                            assembler.Triangle(a, c, b, a);
                        }
                    }
                    break;
                case D3DPT_TRIANGLEFAN:
                    // Triangle i is (v[i+1], v[i+2], v[0]); flat shading takes v[i+1].
                    if (slot(0, a) && slot(p + 1, b) && slot(p + 2, c)) assembler.Triangle(b, c, a, b);
                    break;
                case D3DPT_LINELIST:
                    if (slot(2 * p, a) && slot(2 * p + 1, b)) assembler.Line(a, b);
                    break;
                case D3DPT_LINESTRIP:
                    if (slot(p, a) && slot(p + 1, b)) assembler.Line(a, b);
                    break;
                case D3DPT_POINTLIST:
                    if (slot(p, a)) assembler.Point(a);
                    break;
                default:
                    return;
            }
        }
    };

    // Solid triangles of a large target are drawn by two threads; lines,
    // points and wireframes by one.
    const bool solidTriangles =
        call.Type == D3DPT_TRIANGLELIST || call.Type == D3DPT_TRIANGLESTRIP || call.Type == D3DPT_TRIANGLEFAN;
    const DWORD fill = state.RenderStates[D3DRS_FILLMODE];
    const PixelRect& scissor = pixels.Scissor();
    const int64_t area = static_cast<int64_t>(scissor.X1 - scissor.X0) * (scissor.Y1 - scissor.Y0);
    const bool solidFill = solidTriangles && fill != D3DFILL_WIREFRAME && fill != D3DFILL_POINT;
    const bool twoThreads = solidFill && primitives > kTwoThreadPrimitives && impl_->ThreadsFor(area) > 1;
    // Solid triangles may be kept for a draw that repeats this one; the
    // inputs are compared in full before the kept set-ups are drawn.
    const KeptDraw* replay = nullptr;
    KeptDraw* keep = nullptr;
    if (impl_->reuseOn && solidFill) {
        SetupInputs in;
        in.State = &state;
        in.Vertices = &vertices;
        in.Indices = indexed ? indices : nullptr;
        in.Call = &call;
        in.Primitives = primitives;
        in.VertexBytes = vertices.Data + static_cast<size_t>(first) * vertices.Stride;
        in.VertexByteCount = (rangeSize - 1) * vertices.Stride + static_cast<size_t>(format.Size);
        if (indexed) {
            in.IndexBytes = firstIndex;
            in.IndexByteCount = static_cast<size_t>(used) * (indices->Is32Bit ? 4 : 2);
        }
        in.Scissor = scissor;
        in.FlatShading = pixels.FlatShading();
        in.TwoThreads = twoThreads;
        if (DrawReuse::Keepable(in)) {
            replay = impl_->reuse.Find(in);
            if (replay == nullptr) keep = impl_->reuse.Begin(in);
        }
    }
    impl_->lastReused = replay != nullptr;

    if (!twoThreads) {
        if (replay != nullptr) {
            const TriangleList& setups = replay->Setups[0];
            for (size_t i = 0; i < setups.Size(); ++i) pixels.DrawTriangle(setups[i]);
            return;
        }
        if (keep == nullptr) {
            PrimitiveAssembler assembler(state, pixels, arrays, format.Transformed, nullptr, impl_->isa);
            shade(assembler, 0, rangeSize);
            walk(assembler, 0, primitives);
            assembler.Flush();
            return;
        }
        TriangleList& setups = keep->Setups[0];
        PrimitiveAssembler assembler(state, pixels, arrays, format.Transformed, &setups, impl_->isa);
        shade(assembler, 0, rangeSize);
        size_t drawn = 0;
        for (uint64_t p = 0; p < primitives; p += kSetupBatch) {
            walk(assembler, p, std::min(p + kSetupBatch, primitives));
            assembler.Flush();
            for (; drawn < setups.Size(); ++drawn) pixels.DrawTriangle(setups[drawn]);
        }
        impl_->reuse.Keep();
        return;
    }

    // Two threads: each shades half of the vertices, then sets up half of the
    // triangles (in order) and bins them by screen tile; then both draw whole
    // tiles, each tile's triangles in submission order, so every pixel sees
    // the same sequence of writes as with one thread. A repeated draw starts
    // at the tiles, with the set-ups and bins it kept.
    const int tilesX = (scissor.X1 - scissor.X0 + kTileWidth - 1) >> kTileShiftX;
    const int tilesY = (scissor.Y1 - scissor.Y0 + kTileHeight - 1) >> kTileShiftY;
    const size_t tileCount = static_cast<size_t>(tilesX) * static_cast<size_t>(tilesY);
    std::atomic<size_t> nextTile{0};
    WorkerThread& worker = impl_->Worker();
    KeptDraw& made = keep != nullptr ? *keep : impl_->scratch;
    const KeptDraw& drawn = replay != nullptr ? *replay : made;
    const auto job = [&](int index) {
        if (replay == nullptr) {
            TriangleList& setups = made.Setups[index];
            std::vector<std::vector<uint32_t>>& bins = made.Bins[index];
            setups.Clear();
            if (bins.size() < tileCount) bins.resize(tileCount);
            for (size_t tile = 0; tile < tileCount; ++tile) bins[tile].clear();
            PrimitiveAssembler assembler(state, pixels, arrays, format.Transformed, &setups, impl_->isa);
            const size_t vertexSplit = rangeSize / 2;
            shade(assembler, index == 0 ? 0 : vertexSplit, index == 0 ? vertexSplit : rangeSize);
            worker.Sync();
            const uint64_t primitiveSplit = primitives / 2;
            walk(assembler, index == 0 ? 0 : primitiveSplit, index == 0 ? primitiveSplit : primitives);
            assembler.Flush();
            for (size_t i = 0; i < setups.Size(); ++i) {
                const TriangleSetup& t = setups[i];
                const int tx0 = (t.MinX - scissor.X0) >> kTileShiftX,
                          tx1 = (t.MaxX - scissor.X0) >> kTileShiftX;
                const int ty0 = (t.MinY - scissor.Y0) >> kTileShiftY,
                          ty1 = (t.MaxY - scissor.Y0) >> kTileShiftY;
                for (int ty = ty0; ty <= ty1; ++ty)
                    for (int tx = tx0; tx <= tx1; ++tx)
                        bins[static_cast<size_t>(ty) * tilesX + tx].push_back(static_cast<uint32_t>(i));
            }
            worker.Sync();
        }
        for (size_t tile = nextTile.fetch_add(1); tile < tileCount; tile = nextTile.fetch_add(1)) {
            const int tx = static_cast<int>(tile % static_cast<size_t>(tilesX));
            const int ty = static_cast<int>(tile / static_cast<size_t>(tilesX));
            PixelRect clip;
            clip.X0 = scissor.X0 + (tx << kTileShiftX);
            clip.Y0 = scissor.Y0 + (ty << kTileShiftY);
            clip.X1 = std::min(clip.X0 + kTileWidth, scissor.X1);
            clip.Y1 = std::min(clip.Y0 + kTileHeight, scissor.Y1);
            for (int k = 0; k < 2; ++k) {
                const TriangleList& triangles = drawn.Setups[k];
                for (const uint32_t i : drawn.Bins[k][tile]) pixels.DrawTriangle(triangles[i], clip);
            }
        }
    };
    // Handed over by reference: a function object holding the captures
    // themselves would be allocated anew every draw.
    worker.Run(std::ref(job));
    if (keep != nullptr) impl_->reuse.Keep();
}

void Rasterizer::CopyRows(uint8_t* target, size_t targetPitch, const uint8_t* source, size_t sourcePitch,
                          size_t rowBytes, size_t rows) {
    const auto copy = [&](size_t begin, size_t end) {
        if (targetPitch == rowBytes && sourcePitch == rowBytes) {
            if (end > begin)
                std::memcpy(target + begin * rowBytes, source + begin * rowBytes, (end - begin) * rowBytes);
            return;
        }
        for (size_t y = begin; y < end; ++y)
            std::memcpy(target + y * targetPitch, source + y * sourcePitch, rowBytes);
    };
    // Frames are counted in pixels of four bytes, as Clear counts a target's.
    const uint64_t bytes = static_cast<uint64_t>(rowBytes) * rows;
    impl_->ByRows(static_cast<int64_t>(std::min<uint64_t>(bytes / 4, INT64_MAX)), rows, copy);
}

void Rasterizer::Clear(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
                       const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    const int64_t area = static_cast<int64_t>(targets.Color.Width) * targets.Color.Height;
    const int rows = std::max(targets.Color.Height, targets.Depth != nullptr ? targets.Depth->Height : 0);
    impl_->ByRows(area, static_cast<size_t>(std::max(rows, 0)), [&](size_t begin, size_t end) {
        ClearTargets(targets, viewport, rectCount, rects, flags, color, z, stencil, static_cast<int>(begin),
                     end == static_cast<size_t>(rows) ? INT_MAX : static_cast<int>(end));
    });
}

}  // namespace wbx::raster
