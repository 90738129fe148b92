#include "surfaceformat.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "d3d9/formatinfo.h"

namespace wbx::raster {

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

uint32_t Load16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t Widen(uint32_t word, int shift, int bits) {
    return WidenRounded((word >> shift) & ((1u << bits) - 1), bits);
}

}  // namespace

int TexelBytes(D3DFORMAT format) {
    // The device's storage sizes, less what the sampler cannot read as a colour.
    if (IsDepthFormat(format) || format == D3DFMT_P8 || format == D3DFMT_A8P8) return 0;
    return static_cast<int>(FormatBytesPerPixel(format));
}

uint32_t DecodeTexel(D3DFORMAT format, const uint8_t* t) {
    switch (format) {
        case D3DFMT_R3G3B2:
            return Argb(255, Widen(t[0], 5, 3), Widen(t[0], 2, 3), Widen(t[0], 0, 2));
        case D3DFMT_A8:
            return Argb(t[0], 0, 0, 0);
        case D3DFMT_L8:
            return Argb(255, t[0], t[0], t[0]);
        case D3DFMT_A4L4: {
            const uint32_t l = Widen(t[0], 0, 4);
            return Argb(Widen(t[0], 4, 4), l, l, l);
        }
        case D3DFMT_R5G6B5: {
            const uint32_t p = Load16(t);
            return Argb(255, Widen(p, 11, 5), Widen(p, 5, 6), Widen(p, 0, 5));
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            const uint32_t p = Load16(t);
            const uint32_t a = (format == D3DFMT_X1R5G5B5 || (p & 0x8000) != 0) ? 255 : 0;
            return Argb(a, Widen(p, 10, 5), Widen(p, 5, 5), Widen(p, 0, 5));
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            const uint32_t p = Load16(t);
            const uint32_t a = format == D3DFMT_X4R4G4B4 ? 255 : Widen(p, 12, 4);
            return Argb(a, Widen(p, 8, 4), Widen(p, 4, 4), Widen(p, 0, 4));
        }
        case D3DFMT_A8R3G3B2: {
            const uint32_t p = Load16(t);
            return Argb(p >> 8, Widen(p, 5, 3), Widen(p, 2, 3), Widen(p, 0, 2));
        }
        case D3DFMT_A8L8:
            return Argb(t[1], t[0], t[0], t[0]);
        case D3DFMT_V8U8:
            // Bump formats have no colour meaning without bump-mapping stages;
            // they read as raw bytes in green (V) and blue (U).
            return Argb(0, 0, t[1], t[0]);
        case D3DFMT_L6V5U5: {
            const uint32_t p = Load16(t);
            return Argb(0, ((p >> 10) & 63) << 2, ((p >> 5) & 31) << 3, (p & 31) << 3);
        }
        case D3DFMT_R8G8B8:
            return Argb(255, t[2], t[1], t[0]);
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8L8V8U8:
        case D3DFMT_Q8W8V8U8:
            return Load32(t);
        case D3DFMT_X8R8G8B8:
            return Load32(t) | 0xFF000000u;
        case D3DFMT_A8B8G8R8:
            return Argb(t[3], t[0], t[1], t[2]);
        case D3DFMT_X8B8G8R8:
            return Argb(255, t[0], t[1], t[2]);
        case D3DFMT_A2R10G10B10: {
            const uint32_t p = Load32(t);
            return Argb(Widen(p, 30, 2), Widen(p, 20, 10), Widen(p, 10, 10), Widen(p, 0, 10));
        }
        case D3DFMT_A2B10G10R10: {
            const uint32_t p = Load32(t);
            return Argb(Widen(p, 30, 2), Widen(p, 0, 10), Widen(p, 10, 10), Widen(p, 20, 10));
        }
        case D3DFMT_G16R16: {
            const uint32_t p = Load32(t);
            return Argb(255, Widen(p, 0, 16), Widen(p, 16, 16), 255);
        }
        case D3DFMT_V16U16: {
            const uint32_t p = Load32(t);
            return Argb(0, 0, p >> 24, (p >> 8) & 0xFF);
        }
        case D3DFMT_A16B16G16R16: {
            const uint32_t lo = Load32(t);
            const uint32_t hi = Load32(t + 4);
            return Argb(Widen(hi, 16, 16), Widen(lo, 0, 16), Widen(lo, 16, 16), Widen(hi, 0, 16));
        }
        default:
            return 0;
    }
}

const uint32_t* TexelLookupTable(D3DFORMAT format) {
    const int bytes = TexelBytes(format);
    if (bytes != 1 && bytes != 2) return nullptr;
    // One table per format, built on first use. Tables are never freed: they
    // are a fixed cost of at most a few formats x 256 KiB.
    struct Entry {
        D3DFORMAT Format;
        std::unique_ptr<uint32_t[]> Table;
    };
    static std::mutex mutex;
    static std::array<Entry, 16> entries{};
    std::lock_guard<std::mutex> lock(mutex);
    for (Entry& entry : entries) {
        if (entry.Table && entry.Format == format) return entry.Table.get();
        if (!entry.Table) {
            const uint32_t count = bytes == 1 ? 256u : 65536u;
            entry.Table = std::make_unique<uint32_t[]>(count);
            for (uint32_t raw = 0; raw < count; ++raw) {
                const uint8_t texel[2] = {static_cast<uint8_t>(raw & 0xFF), static_cast<uint8_t>(raw >> 8)};
                entry.Table[raw] = DecodeTexel(format, texel);
            }
            entry.Format = format;
            return entry.Table.get();
        }
    }
    return nullptr;  // more small formats than slots: callers decode directly
}

DepthLayout DepthLayoutOf(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_D16:
        case D3DFMT_D16_LOCKABLE:
            return {2, 16, 0, 0};
        case D3DFMT_D15S1:
            return {2, 15, 1, 1};
        case D3DFMT_D32:
            return {4, 32, 0, 0};
        case D3DFMT_D24S8:
            return {4, 24, 8, 8};
        case D3DFMT_D24X8:
            return {4, 24, 8, 0};
        case D3DFMT_D24X4S4:
            return {4, 24, 8, 4};
        default:
            return {};
    }
}

}  // namespace wbx::raster
