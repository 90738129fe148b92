#include "surfaceclear.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "setup.h"
#include "surfaceformat.h"

namespace wbx::raster {

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

// `count` copies of the 32-bit `value` from `p`, through the C library's
// wide-character fill (which uses the widest stores the processor has)
// where it applies.
void FillWords32(uint8_t* p, size_t count, uint32_t value) {
    if constexpr (sizeof(wchar_t) == 4) {
        if (reinterpret_cast<uintptr_t>(p) % alignof(wchar_t) == 0) {
            std::wmemset(reinterpret_cast<wchar_t*>(p), std::bit_cast<wchar_t>(value), count);
            return;
        }
    }
    for (size_t i = 0; i < count; ++i) std::memcpy(p + 4 * i, &value, 4);
}

// `count` copies of the 16-bit `value` from `p`: the words between the
// first and the last 4-byte boundaries in pairs.
void FillWords16(uint8_t* p, size_t count, uint16_t value) {
    if (count == 0) return;
    if ((reinterpret_cast<uintptr_t>(p) & 2) != 0) {
        std::memcpy(p, &value, 2);
        p += 2;
        --count;
    }
    FillWords32(p, count / 2, value * 0x10001u);
    if ((count & 1) != 0) std::memcpy(p + (count - 1) * 2, &value, 2);
}

void FillWords(uint8_t* p, size_t count, uint32_t value) { FillWords32(p, count, value); }
void FillWords(uint8_t* p, size_t count, uint16_t value) { FillWords16(p, count, value); }

template <class T>
void FillRows(const Surface& s, const PixelRect& r, T value, T keepMask) {
    for (int y = r.Y0; y < r.Y1; ++y) {
        T* row = reinterpret_cast<T*>(s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch);
        if (keepMask == 0) {
            if (r.X1 > r.X0)
                FillWords(reinterpret_cast<uint8_t*>(row + r.X0), static_cast<size_t>(r.X1 - r.X0), value);
        } else {
            for (int x = r.X0; x < r.X1; ++x) row[x] = static_cast<T>((row[x] & keepMask) | value);
        }
    }
}

}  // namespace

void ClearTargets(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
                  const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil, int rowBegin,
                  int rowEnd) {
    // The areas to clear: the viewport, or the given rectangles within it.
    const int64_t vx0 = viewport.X, vy0 = viewport.Y;
    const PixelRect viewportRect{static_cast<int>(std::min<int64_t>(vx0, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vy0, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vx0 + viewport.Width, INT32_MAX)),
                                 static_cast<int>(std::min<int64_t>(vy0 + viewport.Height, INT32_MAX))};
    auto forEachArea = [&](const Surface& surface, auto&& fill) {
        const PixelRect surfaceRect{0, std::max(rowBegin, 0), surface.Width,
                                    std::max(std::min(rowEnd, surface.Height), std::max(rowBegin, 0))};
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
        if (IsColorTargetFormat(target.Format) && target.Pitch >= target.Width * 4) {
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
