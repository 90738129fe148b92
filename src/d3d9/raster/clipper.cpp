#include "clipper.h"

#include <algorithm>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace wbx::raster {

namespace {

// The point where the edge from `in` (inside) to `out` (outside) crosses the
// plane. Always interpolating from the inside end makes an edge shared by two
// triangles produce the same vertex in both, so no cracks open along it.
void Intersect(const ShadedVertex& in, float dIn, const ShadedVertex& out, float dOut, ShadedVertex& result) {
    const float t = dIn / (dIn - dOut);
    for (int c = 0; c < 4; ++c) result.Clip[c] = in.Clip[c] + t * (out.Clip[c] - in.Clip[c]);
    for (int a = 0; a < kAttributeCount; ++a) result.Attr[a] = in.Attr[a] + t * (out.Attr[a] - in.Attr[a]);
}

}  // namespace

Clipper::Clipper(const D3DVIEWPORT9& viewport) {
    // Screen x = X + (1 + x/w) W/2 must stay within [-G, G]: that bounds x/w
    // to [(-G - X) 2/W - 1, (G - X) 2/W - 1], and likewise for y (flipped).
    const float width = static_cast<float>(std::max<DWORD>(viewport.Width, 1));
    const float height = static_cast<float>(std::max<DWORD>(viewport.Height, 1));
    const float x = static_cast<float>(viewport.X);
    const float y = static_cast<float>(viewport.Y);
    const float xMin = (-kGuardBand - x) * 2.0f / width - 1.0f;
    const float xMax = (kGuardBand - x) * 2.0f / width - 1.0f;
    const float yMax = 1.0f + (kGuardBand + y) * 2.0f / height;
    const float yMin = 1.0f - (kGuardBand - y) * 2.0f / height;
    const float planes[kPlaneCount][4] = {
        {0, 0, 1, 0},      // near: z >= 0
        {0, 0, -1, 1},     // far: z <= w
        {1, 0, 0, -xMin},  // x >= xMin w
        {-1, 0, 0, xMax},  // x <= xMax w
        {0, 1, 0, -yMin},  // y >= yMin w
        {0, -1, 0, yMax},  // y <= yMax w
    };
    std::copy(&planes[0][0], &planes[0][0] + kPlaneCount * 4, &planes_[0][0]);
    for (int plane = 0; plane < kPlaneCount; ++plane)
        for (int c = 0; c < 4; ++c) columns_[plane / 4][c][plane % 4] = planes[plane][c];
}

float Clipper::Distance(int plane, const ShadedVertex& v) const {
    const float* p = planes_[plane];
    return p[0] * v.Clip[0] + p[1] * v.Clip[1] + p[2] * v.Clip[2] + p[3] * v.Clip[3];
}

uint32_t Clipper::Outcode(const ShadedVertex& v) const {
#if defined(__SSE2__)
    // Four planes at a time, each distance summed in Distance's order.
    uint32_t code = 0;
    for (int group = 0; group < 2; ++group) {
        const float* column = columns_[group][0];
        __m128 distance = _mm_mul_ps(_mm_load_ps(column), _mm_set1_ps(v.Clip[0]));
        for (int c = 1; c < 4; ++c)
            distance = _mm_add_ps(distance, _mm_mul_ps(_mm_load_ps(column + 4 * c), _mm_set1_ps(v.Clip[c])));
        // Not >= 0 (NaN included) is outside.
        const int inside = _mm_movemask_ps(_mm_cmpge_ps(distance, _mm_setzero_ps()));
        code |= static_cast<uint32_t>(~inside & 0xF) << (4 * group);
    }
    return code & ((1u << kPlaneCount) - 1);
#else
    uint32_t code = 0;
    for (int plane = 0; plane < kPlaneCount; ++plane) {
        if (!(Distance(plane, v) >= 0.0f)) code |= 1u << plane;
    }
    return code;
#endif
}

int Clipper::ClipTriangle(const ShadedVertex& a, const ShadedVertex& b, const ShadedVertex& c,
                          ShadedVertex out[kMaxClippedVertices]) const {
    // Two polygons of at most kMaxClippedVertices + 1 (one plane adds at most
    // one vertex) so that a plane never writes past the end.
    ShadedVertex buffers[2][kMaxClippedVertices + 1];
    ShadedVertex* source = buffers[0];
    ShadedVertex* target = buffers[1];
    source[0] = a;
    source[1] = b;
    source[2] = c;
    int count = 3;
    const uint32_t any = Outcode(a) | Outcode(b) | Outcode(c);
    for (int plane = 0; plane < kPlaneCount && count > 0; ++plane) {
        if ((any & (1u << plane)) == 0) continue;
        int written = 0;
        for (int i = 0; i < count; ++i) {
            const ShadedVertex& current = source[i];
            const ShadedVertex& next = source[(i + 1) % count];
            const float dCurrent = Distance(plane, current);
            const float dNext = Distance(plane, next);
            const bool currentInside = dCurrent >= 0.0f;
            const bool nextInside = dNext >= 0.0f;
            if (currentInside) target[written++] = current;
            if (currentInside != nextInside && written < kMaxClippedVertices) {
                if (currentInside) {
                    Intersect(current, dCurrent, next, dNext, target[written++]);
                } else {
                    Intersect(next, dNext, current, dCurrent, target[written++]);
                }
            }
            if (written >= kMaxClippedVertices) break;
        }
        std::swap(source, target);
        count = written;
    }
    if (count < 3) return 0;
    std::copy(source, source + count, out);
    return count;
}

bool Clipper::ClipSegment(ShadedVertex& a, ShadedVertex& b) const {
    for (int plane = 0; plane < kPlaneCount; ++plane) {
        const float da = Distance(plane, a);
        const float db = Distance(plane, b);
        const bool aInside = da >= 0.0f;
        const bool bInside = db >= 0.0f;
        if (!aInside && !bInside) return false;
        if (aInside && bInside) continue;
        ShadedVertex cut;
        if (aInside) {
            Intersect(a, da, b, db, cut);
            b = cut;
        } else {
            Intersect(b, db, a, da, cut);
            a = cut;
        }
    }
    return true;
}

}  // namespace wbx::raster
