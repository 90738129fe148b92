#include "d3d9/raster/rasterizer.h"

#include <algorithm>
#include <cstring>

namespace wbx::raster {

struct Rasterizer::Impl {};

Rasterizer::Rasterizer() : impl_(std::make_unique<Impl>()) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::Draw(const PipelineState&, const VertexStream&, const IndexStream*, const DrawCall&,
                      const RenderTargets&) {}

void Rasterizer::Clear(const RenderTargets& targets, const D3DVIEWPORT9& viewport, DWORD rectCount,
                       const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    (void)rectCount;
    (void)rects;
    (void)z;
    (void)stencil;
    if ((flags & D3DCLEAR_TARGET) == 0 || targets.Color.Bits == nullptr) return;
    const Surface& s = targets.Color;
    const int x0 = std::clamp<int>(static_cast<int>(viewport.X), 0, s.Width);
    const int y0 = std::clamp<int>(static_cast<int>(viewport.Y), 0, s.Height);
    const int x1 = std::clamp<int>(static_cast<int>(viewport.X + viewport.Width), x0, s.Width);
    const int y1 = std::clamp<int>(static_cast<int>(viewport.Y + viewport.Height), y0, s.Height);
    for (int y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s.Bits + static_cast<ptrdiff_t>(y) * s.Pitch);
        std::fill(row + x0, row + x1, color);
    }
}

}  // namespace wbx::raster
