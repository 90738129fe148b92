#include "d3d9/raster/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "bandworker.h"
#include "clipper.h"
#include "d3d9/raster/primitivecount.h"
#include "d3d9/raster/setup.h"
#include "d3d9/raster/vertexformat.h"
#include "pixelprocessor.h"
#include "surfaceformat.h"
#include "vertexprocessor.h"

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

bool Finite4(const float v[4]) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
}

}  // namespace

struct Rasterizer::Impl {
    // Scratch, kept between draws so a steady scene allocates nothing.
    std::vector<ShadedVertex> shaded;   // per vertex of the draw's range
    std::vector<ScreenVertex> screen;   // projected, for vertices inside every plane
    std::vector<uint8_t> outcode;       // Clipper::Outcode per vertex
    std::vector<TriangleSetup> binned;  // a draw's triangles, when they are drawn by two threads
    bool referenceOnly = false;
    bool lastFast = false;
    int threads = 1;  // see SetThreadCount
    PixelIsa isa = BestPixelIsa();
    std::unique_ptr<BandWorker> worker;  // created on first use
};

Rasterizer::Rasterizer() : impl_(std::make_unique<Impl>()) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::SetReferencePixelPath(bool on) { impl_->referenceOnly = on; }
bool Rasterizer::LastDrawUsedFastPath() const { return impl_->lastFast; }
void Rasterizer::SetThreadCount(int count) { impl_->threads = count > 1 ? 2 : 1; }
bool Rasterizer::SetPixelIsa(PixelIsa isa) {
    if (isa != PixelIsa::Scalar && QuadSpanFor(isa) == nullptr) return false;
    impl_->isa = isa;
    return true;
}

namespace {

// Everything one draw needs while it walks its primitives.
class DrawContext {
public:
    // With `bin` set, solid triangles are collected there instead of drawn.
    DrawContext(const PipelineState& state, const PixelProcessor& pixels, std::vector<ShadedVertex>& shaded,
                std::vector<ScreenVertex>& screen, std::vector<uint8_t>& outcode, bool transformed,
                std::vector<TriangleSetup>* bin)
        : pixels_(pixels),
          bin_(bin),
          clipper_(state.Viewport),
          shaded_(shaded),
          screen_(screen),
          outcode_(outcode),
          transformed_(transformed) {
        const DWORD* rs = state.RenderStates;
        cullMode_ = rs[D3DRS_CULLMODE];
        fillMode_ = rs[D3DRS_FILLMODE];
        lastPixel_ = rs[D3DRS_LASTPIXEL] != FALSE;
        const D3DVIEWPORT9& vp = state.Viewport;
        vpX_ = static_cast<double>(vp.X);
        vpY_ = static_cast<double>(vp.Y);
        halfWidth_ = static_cast<double>(vp.Width) * 0.5;
        halfHeight_ = static_cast<double>(vp.Height) * 0.5;
        minZ_ = vp.MinZ;
        depthRange_ = static_cast<double>(vp.MaxZ) - vp.MinZ;
    }

    // Classifies and projects vertex i of the range (after shaded_[i] is set).
    void Prepare(size_t i) {
        const ShadedVertex& v = shaded_[i];
        if (transformed_) {
            // Pre-transformed vertices are not clipped; the guard band still
            // bounds them so the fixed-point setup cannot overflow.
            const bool usable = Finite4(v.Clip) && v.Clip[3] > 0.0f && std::fabs(v.Clip[0]) <= kGuardBand &&
                                std::fabs(v.Clip[1]) <= kGuardBand;
            outcode_[i] = usable ? 0 : 0xFF;
            ScreenVertex& s = screen_[i];
            s.X = v.Clip[0];
            s.Y = v.Clip[1];
            s.Z = v.Clip[2];
            s.Rhw = v.Clip[3];
            std::memcpy(s.Attr, v.Attr, sizeof(s.Attr));
            return;
        }
        outcode_[i] = static_cast<uint8_t>(clipper_.Outcode(v));
        if (outcode_[i] == 0) Project(v, screen_[i]);
    }

    void Triangle(size_t a, size_t b, size_t c, size_t provoking) {
        const uint8_t codeA = outcode_[a], codeB = outcode_[b], codeC = outcode_[c];
        const ScreenVertex* flat = pixels_.FlatShading() ? &screen_[provoking] : nullptr;
        if ((codeA | codeB | codeC) == 0) {
            ScreenVertex provokingCopy;
            if (flat != nullptr) {
                provokingCopy = screen_[provoking];
                flat = &provokingCopy;
            }
            const ScreenVertex polygon[3] = {screen_[a], screen_[b], screen_[c]};
            Polygon(polygon, 3, flat);
            return;
        }
        if (transformed_ || (codeA & codeB & codeC) != 0) return;  // unusable, or wholly outside one plane
        if (!Finite4(shaded_[a].Clip) || !Finite4(shaded_[b].Clip) || !Finite4(shaded_[c].Clip)) return;
        ShadedVertex clipped[kMaxClippedVertices];
        const int count = clipper_.ClipTriangle(shaded_[a], shaded_[b], shaded_[c], clipped);
        if (count < 3) return;
        ScreenVertex polygon[kMaxClippedVertices];
        for (int i = 0; i < count; ++i) {
            if (!(clipped[i].Clip[3] > 0.0f)) return;  // degenerate projection (w = 0 on the near plane)
            Project(clipped[i], polygon[i]);
        }
        // Flat colours come from the provoking vertex even when it was clipped away.
        ScreenVertex provokingColors;
        if (flat != nullptr) {
            std::memcpy(provokingColors.Attr, shaded_[provoking].Attr, sizeof(provokingColors.Attr));
            flat = &provokingColors;
        }
        Polygon(polygon, count, flat);
    }

    void Line(size_t a, size_t b) {
        ShadedVertex va = shaded_[a], vb = shaded_[b];
        ScreenVertex sa, sb;
        if ((outcode_[a] | outcode_[b]) == 0) {
            sa = screen_[a];
            sb = screen_[b];
        } else {
            if (transformed_ || !Finite4(va.Clip) || !Finite4(vb.Clip)) return;
            if (!clipper_.ClipSegment(va, vb) || !(va.Clip[3] > 0.0f) || !(vb.Clip[3] > 0.0f)) return;
            Project(va, sa);
            Project(vb, sb);
        }
        const ScreenVertex* flat = pixels_.FlatShading() ? &sa : nullptr;
        DrawLine(sa, sb, flat);
    }

    void Point(size_t a) {
        if (outcode_[a] != 0) return;
        DrawPoint(screen_[a]);
    }

private:
    void Project(const ShadedVertex& v, ScreenVertex& s) const {
        const double inverseW = 1.0 / static_cast<double>(v.Clip[3]);
        s.X = static_cast<float>(vpX_ + (1.0 + v.Clip[0] * inverseW) * halfWidth_);
        s.Y = static_cast<float>(vpY_ + (1.0 - v.Clip[1] * inverseW) * halfHeight_);
        s.Z = static_cast<float>(minZ_ + v.Clip[2] * inverseW * depthRange_);
        s.Rhw = static_cast<float>(inverseW);
        std::memcpy(s.Attr, v.Attr, sizeof(s.Attr));
    }

    // A convex polygon in screen space, drawn as a fan, by the fill mode.
    void Polygon(const ScreenVertex* v, int count, const ScreenVertex* flat) {
        if (fillMode_ == D3DFILL_SOLID || (fillMode_ != D3DFILL_WIREFRAME && fillMode_ != D3DFILL_POINT)) {
            for (int i = 1; i + 1 < count; ++i) {
                TriangleSetup setup;
                if (!SetupTriangle(v[0], v[i], v[i + 1], cullMode_, pixels_.Scissor(), flat,
                                   pixels_.AttributeMask(), setup)) {
                    continue;
                }
                if (bin_ != nullptr) {
                    bin_->push_back(setup);
                } else {
                    pixels_.DrawTriangle(setup);
                }
            }
            return;
        }
        // Wireframe and point modes cull as the solid mode does.
        int64_t area = 0;
        for (int i = 1; i + 1 < count; ++i) area += SnappedArea2(v[0], v[i], v[i + 1]);
        if (area == 0 || (cullMode_ == D3DCULL_CCW && area < 0) || (cullMode_ == D3DCULL_CW && area > 0))
            return;
        if (fillMode_ == D3DFILL_POINT) {
            for (int i = 0; i < count; ++i) DrawPoint(v[i]);
            return;
        }
        for (int i = 0; i < count; ++i) DrawLine(v[i], v[(i + 1) % count], flat);
    }

    void DrawLine(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex* flat) {
        const uint32_t mask = pixels_.AttributeMask();
        ForEachLinePixel(a, b, lastPixel_, pixels_.Scissor(), [&](int x, int y, float t) {
            Fragment f;
            f.X = x;
            f.Y = y;
            f.Z = a.Z + (b.Z - a.Z) * t;
            // Perspective-correct along the segment: interpolate attr / w and 1 / w.
            const float rhw = a.Rhw + (b.Rhw - a.Rhw) * t;
            auto attribute = [&](int i) {
                return (a.Attr[i] * a.Rhw + (b.Attr[i] * b.Rhw - a.Attr[i] * a.Rhw) * t) / rhw;
            };
            for (int i = 0; i < kAttrTexCoord; ++i) {
                if (mask & (1u << i)) f.Color[i] = flat != nullptr ? flat->Attr[i] : attribute(i);
            }
            for (int s = 0; s < kRasterStages; ++s) {
                f.Tex[s][0] = attribute(kAttrTexCoord + 2 * s);
                f.Tex[s][1] = attribute(kAttrTexCoord + 2 * s + 1);
            }
            pixels_.ShadeFragment(f);
        });
    }

    // A one-pixel point covers the pixel whose centre is nearest, ties going
    // to the top-left as the fill rule does.
    void DrawPoint(const ScreenVertex& v) {
        const float px = std::ceil(v.X - 0.5f), py = std::ceil(v.Y - 0.5f);
        const PixelRect& r = pixels_.Scissor();
        if (!(px >= static_cast<float>(r.X0) && px < static_cast<float>(r.X1) &&
              py >= static_cast<float>(r.Y0) && py < static_cast<float>(r.Y1))) {
            return;
        }
        Fragment f;
        f.X = static_cast<int>(px);
        f.Y = static_cast<int>(py);
        f.Z = v.Z;
        std::memcpy(f.Color, v.Attr, sizeof(f.Color));
        for (int s = 0; s < kRasterStages; ++s) {
            f.Tex[s][0] = v.Attr[kAttrTexCoord + 2 * s];
            f.Tex[s][1] = v.Attr[kAttrTexCoord + 2 * s + 1];
        }
        pixels_.ShadeFragment(f);
    }

    const PixelProcessor& pixels_;
    std::vector<TriangleSetup>* bin_;  // not owned; null: draw at once
    Clipper clipper_;
    std::vector<ShadedVertex>& shaded_;
    std::vector<ScreenVertex>& screen_;
    std::vector<uint8_t>& outcode_;
    bool transformed_;
    DWORD cullMode_, fillMode_;
    bool lastPixel_;
    double vpX_, vpY_, halfWidth_, halfHeight_, minZ_, depthRange_;
};

}  // namespace

void Rasterizer::Draw(const PipelineState& state, const VertexStream& vertices, const IndexStream* indices,
                      const DrawCall& call, const RenderTargets& targets) {
    impl_->lastFast = false;
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

    // The range of vertices the draw reads.
    int64_t first = vertexCount, last = -1;
    if (indexed) {
        for (uint64_t k = 0; k < used; ++k) {
            const int64_t v = vertexAt(k);
            if (v < 0) continue;
            first = std::min(first, v);
            last = std::max(last, v);
        }
    } else {
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
    // Solid triangles of a draw with two threads are set up first, then
    // drawn by both threads, each over its own bands of rows.
    const bool solidTriangles =
        call.Type == D3DPT_TRIANGLELIST || call.Type == D3DPT_TRIANGLESTRIP || call.Type == D3DPT_TRIANGLEFAN;
    const DWORD fill = state.RenderStates[D3DRS_FILLMODE];
    const bool binning =
        impl_->threads > 1 && solidTriangles && fill != D3DFILL_WIREFRAME && fill != D3DFILL_POINT;
    impl_->binned.clear();
    DrawContext context(state, pixels, impl_->shaded, impl_->screen, impl_->outcode, format.Transformed,
                        binning ? &impl_->binned : nullptr);
    const VertexProcessor processor(state, format);
    for (size_t i = 0; i < rangeSize; ++i) {
        processor.Process(vertices.Data + (static_cast<size_t>(first) + i) * vertices.Stride,
                          impl_->shaded[i]);
        context.Prepare(i);
    }

    auto slot = [&](uint64_t k, size_t& out) {
        const int64_t v = vertexAt(k);
        if (v < 0) return false;
        out = static_cast<size_t>(v - first);
        return true;
    };
    for (uint64_t p = 0; p < primitives; ++p) {
        size_t a, b, c;
        switch (call.Type) {
            case D3DPT_TRIANGLELIST:
                if (slot(3 * p, a) && slot(3 * p + 1, b) && slot(3 * p + 2, c)) context.Triangle(a, b, c, a);
                break;
            case D3DPT_TRIANGLESTRIP:
                // Odd triangles swap their last two vertices so that every
                // triangle of the strip has the same winding.
                if (slot(p, a) && slot(p + 1, b) && slot(p + 2, c)) {
                    if (p % 2 == 0) {
                        context.Triangle(a, b, c, a);
                    } else {
                        context.Triangle(a, c, b, a);
                    }
                }
                break;
            case D3DPT_TRIANGLEFAN:
                // Triangle i is (v[i+1], v[i+2], v[0]); flat shading takes v[i+1].
                if (slot(0, a) && slot(p + 1, b) && slot(p + 2, c)) context.Triangle(b, c, a, b);
                break;
            case D3DPT_LINELIST:
                if (slot(2 * p, a) && slot(2 * p + 1, b)) context.Line(a, b);
                break;
            case D3DPT_LINESTRIP:
                if (slot(p, a) && slot(p + 1, b)) context.Line(a, b);
                break;
            case D3DPT_POINTLIST:
                if (slot(p, a)) context.Point(a);
                break;
            default:
                return;
        }
    }
    if (binning) DrawBinned(pixels);
}

void Rasterizer::DrawBinned(const PixelProcessor& pixels) {
    const std::vector<TriangleSetup>& triangles = impl_->binned;
    int64_t area = 0;
    for (const TriangleSetup& t : triangles)
        area += static_cast<int64_t>(t.MaxX - t.MinX + 1) * static_cast<int64_t>(t.MaxY - t.MinY + 1);
    // Waking the worker costs more than a few thousand pixels.
    if (area < 8192) {
        for (const TriangleSetup& t : triangles) pixels.DrawTriangle(t);
        return;
    }
    if (!impl_->worker) impl_->worker = std::make_unique<BandWorker>();
    const std::function<void(int)> job = [&](int index) {
        RowBands bands;
        bands.Count = 2;
        bands.Index = index;
        for (const TriangleSetup& t : triangles) pixels.DrawTriangle(t, bands);
    };
    impl_->worker->Run(job);
}

// ---------------------------------------------------------------------------
// Clear.

namespace {

// The rectangle [x0, x1) x [y0, y1) clipped to `bounds`.
PixelRect Intersect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const PixelRect& bounds) {
    PixelRect r;
    r.X0 = static_cast<int>(std::clamp<int64_t>(x0, bounds.X0, bounds.X1));
    r.Y0 = static_cast<int>(std::clamp<int64_t>(y0, bounds.Y0, bounds.Y1));
    r.X1 = static_cast<int>(std::clamp<int64_t>(x1, r.X0, bounds.X1));
    r.Y1 = static_cast<int>(std::clamp<int64_t>(y1, r.Y0, bounds.Y1));
    return r;
}

template <class T>
void FillRows(const Surface& s, const PixelRect& r, T value, T keepMask) {
    for (int y = r.Y0; y < r.Y1; ++y) {
        T* row = reinterpret_cast<T*>(s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch);
        if (keepMask == 0) {
            std::fill(row + r.X0, row + r.X1, value);
        } else {
            for (int x = r.X0; x < r.X1; ++x) row[x] = static_cast<T>((row[x] & keepMask) | value);
        }
    }
}

}  // namespace

void Rasterizer::Clear(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
                       const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    // The areas to clear: the viewport, or the given rectangles within it.
    const int64_t vx0 = viewport.X, vy0 = viewport.Y;
    const PixelRect viewportRect{static_cast<int>(std::min<int64_t>(vx0, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vy0, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vx0 + viewport.Width, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vy0 + viewport.Height, INT32_MAX))};
    auto forEachArea = [&](const Surface& surface, auto&& fill) {
        const PixelRect surfaceRect{0, 0, surface.Width, surface.Height};
        const PixelRect limit =
            Intersect(viewportRect.X0, viewportRect.Y0, viewportRect.X1, viewportRect.Y1, surfaceRect);
        if (rectCount == 0 || rects == nullptr) {
            fill(limit);
            return;
        }
        for (DWORD i = 0; i < rectCount; ++i)
            fill(Intersect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2, limit));
    };

    const Surface& target = targets.Color;
    if ((flags & D3DCLEAR_TARGET) && target.Bits != nullptr && target.Width > 0 && target.Height > 0) {
        if ((target.Format == D3DFMT_X8R8G8B8 || target.Format == D3DFMT_A8R8G8B8) &&
            target.Pitch >= target.Width * 4) {
            forEachArea(target, [&](const PixelRect& r) { FillRows<uint32_t>(target, r, color, 0); });
        }
    }

    const Surface* depth = targets.Depth;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0 || depth == nullptr || depth->Bits == nullptr)
        return;
    const DepthLayout layout = DepthLayoutOf(depth->Format);
    if (layout.DepthBits == 0 || depth->Width <= 0 || depth->Height <= 0 ||
        depth->Pitch < depth->Width * layout.BytesPerPixel) {
        return;
    }
    // The word's fields: what this clear writes, and what it keeps.
    const uint32_t depthMask = (layout.DepthBits >= 32 ? 0xFFFFFFFFu : ((1u << layout.DepthBits) - 1))
                               << layout.DepthShift;
    const uint32_t stencilMask = (1u << layout.StencilBits) - 1;
    uint32_t write = 0, value = 0;
    if (flags & D3DCLEAR_ZBUFFER) {
        write |= depthMask;
        value |= (QuantizeDepth(z, layout) << layout.DepthShift) & depthMask;
    }
    if ((flags & D3DCLEAR_STENCIL) && layout.StencilBits > 0) {
        write |= stencilMask;
        value |= stencil & stencilMask;
    }
    if (write == 0) return;
    // Bits outside the depth and stencil fields (the X of D24X8) are cleared along.
    const uint32_t wordMask = layout.BytesPerPixel == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const uint32_t keep = (wordMask & ~write) & (depthMask | stencilMask);
    forEachArea(*depth, [&](const PixelRect& r) {
        if (layout.BytesPerPixel == 2) {
            FillRows<uint16_t>(*depth, r, static_cast<uint16_t>(value), static_cast<uint16_t>(keep));
        } else {
            FillRows<uint32_t>(*depth, r, value, keep);
        }
    });
}

}  // namespace wbx::raster
