#include "primitiveassembler.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace wbx::raster {

namespace {

bool Finite4(const float v[4]) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
}

}  // namespace

PrimitiveAssembler::PrimitiveAssembler(const PipelineState& state, const PixelProcessor& pixels,
                                       const VertexArrays& vertices, bool transformed, TriangleList* sink,
                                       PixelIsa isa)
    : pixels_(pixels),
      sink_(sink),
      clipper_(state.Viewport),
      vertices_(vertices),
      transformed_(transformed),
      batchSetup_(BatchSetupFor(isa)) {
    if (batchSetup_.Run == nullptr) batchSetup_ = BatchSetupFor(PixelIsa::Scalar);
    const DWORD* rs = state.RenderStates;
    cullMode_ = rs[D3DRS_CULLMODE];
    fillMode_ = rs[D3DRS_FILLMODE];
    lastPixel_ = rs[D3DRS_LASTPIXEL] != FALSE;
    solid_ = fillMode_ != D3DFILL_WIREFRAME && fillMode_ != D3DFILL_POINT;
    const D3DVIEWPORT9& vp = state.Viewport;
    vpX_ = static_cast<double>(vp.X);
    vpY_ = static_cast<double>(vp.Y);
    halfWidth_ = static_cast<double>(vp.Width) * 0.5;
    halfHeight_ = static_cast<double>(vp.Height) * 0.5;
    minZ_ = vp.MinZ;
    depthRange_ = static_cast<double>(vp.MaxZ) - vp.MinZ;
}

PrimitiveAssembler::~PrimitiveAssembler() { Flush(); }

void PrimitiveAssembler::PrepareVertex(size_t i) const {
    const ShadedVertex& v = vertices_.Shaded[i];
    ScreenVertex& s = vertices_.Screen[i];
    if (transformed_) {
        // Pre-transformed vertices are not clipped; the guard band still
        // bounds them so the fixed-point setup cannot overflow.
        const bool usable = Finite4(v.Clip) && v.Clip[3] > 0.0f && std::fabs(v.Clip[0]) <= kGuardBand &&
                            std::fabs(v.Clip[1]) <= kGuardBand;
        vertices_.Outcode[i] = usable ? 0 : 0xFF;
        s.X = v.Clip[0];
        s.Y = v.Clip[1];
        s.Z = v.Clip[2];
        s.Rhw = v.Clip[3];
        std::memcpy(s.Attr, v.Attr, sizeof(s.Attr));
        SnapScreenVertex(s);
        return;
    }
    vertices_.Outcode[i] = static_cast<uint8_t>(clipper_.Outcode(v));
    if (vertices_.Outcode[i] == 0) Project(v, s);
}

void PrimitiveAssembler::Project(const ShadedVertex& v, ScreenVertex& s) const {
    const double inverseW = 1.0 / static_cast<double>(v.Clip[3]);
    s.X = static_cast<float>(vpX_ + (1.0 + v.Clip[0] * inverseW) * halfWidth_);
    s.Y = static_cast<float>(vpY_ + (1.0 - v.Clip[1] * inverseW) * halfHeight_);
    s.Z = static_cast<float>(minZ_ + v.Clip[2] * inverseW * depthRange_);
    s.Rhw = static_cast<float>(inverseW);
    std::memcpy(s.Attr, v.Attr, sizeof(s.Attr));
    SnapScreenVertex(s);
}

void PrimitiveAssembler::Triangle(size_t a, size_t b, size_t c, size_t provoking) {
    const uint8_t* outcode = vertices_.Outcode;
    const ScreenVertex* screen = vertices_.Screen;
    const uint8_t codeA = outcode[a], codeB = outcode[b], codeC = outcode[c];
    if ((codeA | codeB | codeC) == 0) {
        const ScreenVertex* flat = pixels_.FlatShading() ? &screen[provoking] : nullptr;
        if (solid_) {
            Batch(screen[a], screen[b], screen[c], flat);
            return;
        }
        const ScreenVertex* polygon[3] = {&screen[a], &screen[b], &screen[c]};
        Polygon(polygon, 3, flat);
        return;
    }
    if (transformed_ || (codeA & codeB & codeC) != 0) return;  // unusable, or wholly outside one plane
    ClippedTriangle(a, b, c, provoking);
}

void PrimitiveAssembler::ClippedTriangle(size_t a, size_t b, size_t c, size_t provoking) {
    const ShadedVertex* shaded = vertices_.Shaded;
    if (!Finite4(shaded[a].Clip) || !Finite4(shaded[b].Clip) || !Finite4(shaded[c].Clip)) return;
    ShadedVertex clipped[kMaxClippedVertices];
    const int count = clipper_.ClipTriangle(shaded[a], shaded[b], shaded[c], clipped);
    if (count < 3) return;
    ScreenVertex projected[kMaxClippedVertices];
    const ScreenVertex* polygon[kMaxClippedVertices];
    for (int i = 0; i < count; ++i) {
        if (!(clipped[i].Clip[3] > 0.0f)) return;  // degenerate projection (w = 0 on the near plane)
        Project(clipped[i], projected[i]);
        polygon[i] = &projected[i];
    }
    // Flat colours come from the provoking vertex even when it was clipped away.
    ScreenVertex provokingColors;
    const ScreenVertex* flat = nullptr;
    if (pixels_.FlatShading()) {
        std::memcpy(provokingColors.Attr, shaded[provoking].Attr, sizeof(provokingColors.Attr));
        flat = &provokingColors;
    }
    Flush();  // the triangles before this one come first
    Polygon(polygon, count, flat);
}

void PrimitiveAssembler::Line(size_t a, size_t b) {
    const uint8_t* outcode = vertices_.Outcode;
    ScreenVertex sa, sb;
    if ((outcode[a] | outcode[b]) == 0) {
        sa = vertices_.Screen[a];
        sb = vertices_.Screen[b];
    } else {
        ShadedVertex va = vertices_.Shaded[a], vb = vertices_.Shaded[b];
        if (transformed_ || !Finite4(va.Clip) || !Finite4(vb.Clip)) return;
        if (!clipper_.ClipSegment(va, vb) || !(va.Clip[3] > 0.0f) || !(vb.Clip[3] > 0.0f)) return;
        Project(va, sa);
        Project(vb, sb);
    }
    DrawLine(sa, sb, pixels_.FlatShading() ? &sa : nullptr);
}

void PrimitiveAssembler::Point(size_t a) {
    if (vertices_.Outcode[a] != 0) return;
    DrawPoint(vertices_.Screen[a]);
}

void PrimitiveAssembler::Polygon(const ScreenVertex* const* v, int count, const ScreenVertex* flat) {
    if (solid_) {
        for (int i = 1; i + 1 < count; ++i) Solid(*v[0], *v[i], *v[i + 1], flat);
        return;
    }
    // Wireframe and point modes cull as the solid mode does.
    int64_t area = 0;
    for (int i = 1; i + 1 < count; ++i) area += SnappedArea2(*v[0], *v[i], *v[i + 1]);
    if (area == 0 || (cullMode_ == D3DCULL_CCW && area < 0) || (cullMode_ == D3DCULL_CW && area > 0)) return;
    if (fillMode_ == D3DFILL_POINT) {
        for (int i = 0; i < count; ++i) DrawPoint(*v[i]);
        return;
    }
    for (int i = 0; i < count; ++i) DrawLine(*v[i], *v[(i + 1) % count], flat);
}

void PrimitiveAssembler::Solid(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                               const ScreenVertex* flat) {
    if (sink_ != nullptr) {
        if (SetupTriangle(a, b, c, cullMode_, pixels_.Scissor(), flat, sink_->Slot())) sink_->Keep();
        return;
    }
    TriangleSetup setup;
    if (SetupTriangle(a, b, c, cullMode_, pixels_.Scissor(), flat, setup)) pixels_.DrawTriangle(setup);
}

void PrimitiveAssembler::Batch(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                               const ScreenVertex* flat) {
    if (batchSetup_.Width == 1) {
        Solid(a, b, c, flat);
        return;
    }
    const int i = batch_.Count;
    batch_.V[i][0] = &a;
    batch_.V[i][1] = &b;
    batch_.V[i][2] = &c;
    batch_.Flat[i] = flat;
    batch_.Count = i + 1;
    if (batch_.Count == batchSetup_.Width) Flush();
}

void PrimitiveAssembler::Flush() {
    const int count = batch_.Count;
    if (count == 0) return;
    if (sink_ != nullptr) {
        TriangleSetup* out = sink_->Slots(static_cast<size_t>(count));
        sink_->KeepSome(batchSetup_.Run(batch_, cullMode_, pixels_.Scissor(), out),
                        static_cast<size_t>(count));
    } else {
        for (unsigned kept = batchSetup_.Run(batch_, cullMode_, pixels_.Scissor(), batchOut_); kept != 0;
             kept &= kept - 1) {
            pixels_.DrawTriangle(batchOut_[std::countr_zero(kept)]);
        }
    }
    batch_.Count = 0;
}

void PrimitiveAssembler::DrawLine(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex* flat) {
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

// A one-pixel point covers the pixel whose centre is nearest, ties going to
// the top-left as the fill rule does.
void PrimitiveAssembler::DrawPoint(const ScreenVertex& v) {
    const float px = std::ceil(v.X - 0.5f), py = std::ceil(v.Y - 0.5f);
    const PixelRect& r = pixels_.Scissor();
    if (!(px >= static_cast<float>(r.X0) && px < static_cast<float>(r.X1) && py >= static_cast<float>(r.Y0) &&
          py < static_cast<float>(r.Y1))) {
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

}  // namespace wbx::raster
