#pragma once
// Helpers for the rasteriser tests: render targets in memory, a pipeline
// state holding Direct3D 9's creation defaults, vertex builders, and a small
// PNG reader and writer for reference images.

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "d3d9/raster/rasterizer.h"
#include "devicestate.h"

namespace wbx::testing {

// The rasteriser's own names, unqualified, in every test that looks inside it.
using namespace ::wbx::raster;

inline DWORD FloatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

inline D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Direct3D 9's creation defaults, from the device's own table, with the
// viewport covering width x height.
inline PipelineState DefaultState(int width, int height, bool withDepth = true) {
    auto device = std::make_unique<DeviceState>();
    ApplyCreationDefaults(*device, withDepth, static_cast<UINT>(width), static_cast<UINT>(height));
    return device->Pipeline;
}

// A colour target and an optional depth buffer in memory, with padded rows
// so that pitch mistakes show.
struct Canvas {
    int Width, Height;
    std::vector<uint8_t> Color;
    std::vector<uint8_t> DepthBits;
    Surface ColorSurface;
    Surface DepthSurface;
    bool HasDepth;

    Canvas(int width, int height, D3DFORMAT depthFormat = D3DFMT_D16, D3DCOLOR clear = 0xFF000000,
           D3DFORMAT colorFormat = D3DFMT_X8R8G8B8)
        : Width(width), Height(height), HasDepth(depthFormat != D3DFMT_UNKNOWN) {
        const int pitch = width * 4 + 12;
        Color.assign(static_cast<size_t>(pitch) * height, 0);
        ColorSurface = {Color.data(), pitch, width, height, colorFormat};
        if (HasDepth) {
            const int bytes = (depthFormat == D3DFMT_D16 || depthFormat == D3DFMT_D16_LOCKABLE ||
                               depthFormat == D3DFMT_D15S1)
                                  ? 2
                                  : 4;
            const int depthPitch = width * bytes + 8;
            DepthBits.assign(static_cast<size_t>(depthPitch) * height, 0xFF);
            DepthSurface = {DepthBits.data(), depthPitch, width, height, depthFormat};
        }
        Fill(clear);
    }
    RenderTargets Targets() const {
        RenderTargets t;
        t.Color = ColorSurface;
        t.Depth = HasDepth ? &DepthSurface : nullptr;
        return t;
    }
    void Fill(D3DCOLOR c) {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) Set(x, y, c);
    }
    uint32_t At(int x, int y) const {
        uint32_t v;
        std::memcpy(&v, Color.data() + static_cast<size_t>(y) * ColorSurface.Pitch + 4 * x, 4);
        return v;
    }
    uint32_t Rgb(int x, int y) const { return At(x, y) & 0xFFFFFF; }
    void Set(int x, int y, uint32_t v) {
        std::memcpy(Color.data() + static_cast<size_t>(y) * ColorSurface.Pitch + 4 * x, &v, 4);
    }
    uint32_t DepthAt(int x, int y) const {
        const uint8_t* p = DepthBits.data() + static_cast<size_t>(y) * DepthSurface.Pitch;
        if (DepthSurface.Format == D3DFMT_D16 || DepthSurface.Format == D3DFMT_D16_LOCKABLE ||
            DepthSurface.Format == D3DFMT_D15S1) {
            return p[2 * x] | (p[2 * x + 1] << 8);
        }
        uint32_t v;
        std::memcpy(&v, p + 4 * x, 4);
        return v;
    }
    // Pixels whose colour is not `background`.
    int CountNot(uint32_t background) const {
        int n = 0;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) n += Rgb(x, y) != (background & 0xFFFFFF);
        return n;
    }
};

// Pre-transformed vertex: screen position, diffuse colour, one coordinate pair.
struct TLVertex {
    float X, Y, Z, Rhw;
    D3DCOLOR Diffuse;
    float U, V;
};
constexpr DWORD kTLFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The viewer's vertex: position, normal, one coordinate pair (FVF 0x112).
struct MeshVertex {
    float X, Y, Z;
    float NX, NY, NZ;
    float U, V;
};
constexpr DWORD kMeshFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

template <class Vertex>
void DrawList(Rasterizer& r, const PipelineState& s, const Canvas& c, const std::vector<Vertex>& v, DWORD fvf,
              D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST, UINT primitives = 0) {
    VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), sizeof(Vertex),
                        static_cast<UINT>(v.size()), fvf};
    DrawCall call;
    call.Type = type;
    call.Indexed = false;
    call.PrimitiveCount = primitives != 0 ? primitives : static_cast<UINT>(v.size() / 3);
    r.Draw(s, stream, nullptr, call, c.Targets());
}

template <class Vertex>
void DrawIndexed(Rasterizer& r, const PipelineState& s, const Canvas& c, const std::vector<Vertex>& v,
                 DWORD fvf, const std::vector<uint16_t>& indices, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST,
                 UINT primitives = 0) {
    VertexStream stream{reinterpret_cast<const uint8_t*>(v.data()), sizeof(Vertex),
                        static_cast<UINT>(v.size()), fvf};
    IndexStream index{reinterpret_cast<const uint8_t*>(indices.data()), false,
                      static_cast<UINT>(indices.size())};
    DrawCall call;
    call.Type = type;
    call.PrimitiveCount = primitives != 0 ? primitives : static_cast<UINT>(indices.size() / 3);
    r.Draw(s, stream, &index, call, c.Targets());
}

// A texture level in memory.
struct TextureImage {
    int Width, Height, Pitch;
    D3DFORMAT Format;
    std::vector<uint8_t> Bits;
    TextureImage(int w, int h, D3DFORMAT f, int bytes)
        : Width(w), Height(h), Pitch(w * bytes + 4), Format(f) {
        Bits.assign(static_cast<size_t>(Pitch) * h, 0);
    }
    void Set16(int x, int y, uint16_t v) {
        std::memcpy(&Bits[static_cast<size_t>(y) * Pitch + 2 * x], &v, 2);
    }
    void Set32(int x, int y, uint32_t v) {
        std::memcpy(&Bits[static_cast<size_t>(y) * Pitch + 4 * x], &v, 4);
    }
    Surface View() { return {Bits.data(), Pitch, Width, Height, Format}; }
};

inline void Bind(PipelineState& s, int stage, std::vector<TextureImage*> levels) {
    s.Textures[stage].LevelCount = static_cast<int>(levels.size());
    for (size_t i = 0; i < levels.size(); ++i) s.Textures[stage].Levels[i] = levels[i]->View();
}

// ---------------------------------------------------------------------------
// PNG, 8-bit RGB only (what the reference images are).

inline void PutBE32(std::string& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < width; ++x) {
            const uint32_t p = rgb[static_cast<size_t>(y) * width + x];
            raw.push_back(static_cast<char>((p >> 16) & 0xFF));
            raw.push_back(static_cast<char>((p >> 8) & 0xFF));
            raw.push_back(static_cast<char>(p & 0xFF));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        return false;
    }
    packed.resize(packedSize);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const char* type, const std::string& data) {
        PutBE32(png, static_cast<uint32_t>(data.size()));
        std::string body(type, 4);
        body += data;
        png += body;
        PutBE32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                 static_cast<uInt>(body.size()))));
    };
    std::string header;
    PutBE32(header, static_cast<uint32_t>(width));
    PutBE32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive filters, no interlace
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", "");
    std::ofstream file(path, std::ios::binary);
    file.write(png.data(), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

// Reads an 8-bit RGB PNG without interlacing; false on anything else.
inline bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& rgb) {
    std::ifstream file(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() < 8 || data.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return false;
    auto be32 = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<uint8_t>(data[at])) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3]));
    };
    std::string packed;
    width = height = 0;
    for (size_t at = 8; at + 12 <= data.size();) {
        const uint32_t length = be32(at);
        if (length > data.size() - at - 12) return false;
        const std::string type = data.substr(at + 4, 4);
        if (type == "IHDR") {
            if (length < 13) return false;
            width = static_cast<int>(be32(at + 8));
            height = static_cast<int>(be32(at + 12));
            if (data[at + 16] != 8 || data[at + 17] != 2 || data[at + 20] != 0) return false;
        } else if (type == "IDAT") {
            packed += data.substr(at + 8, length);
        }
        at += 12 + length;
    }
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::string raw((rowBytes + 1) * height, '\0');
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                   reinterpret_cast<const Bytef*>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK ||
        rawSize != raw.size()) {
        return false;
    }
    std::vector<uint8_t> previous(rowBytes, 0), row(rowBytes);
    rgb.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t filter = static_cast<uint8_t>(raw[y * (rowBytes + 1)]);
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= 3 ? row[i - 3] : 0, b = previous[i], c = i >= 3 ? previous[i - 3] : 0;
            int predictor = 0;
            switch (filter) {
                case 1:
                    predictor = a;
                    break;
                case 2:
                    predictor = b;
                    break;
                case 3:
                    predictor = (a + b) / 2;
                    break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                    break;
                }
                default:
                    break;
            }
            row[i] = static_cast<uint8_t>(static_cast<uint8_t>(raw[y * (rowBytes + 1) + 1 + i]) + predictor);
        }
        for (int x = 0; x < width; ++x)
            rgb[static_cast<size_t>(y) * width + x] =
                (row[3 * x] << 16) | (row[3 * x + 1] << 8) | row[3 * x + 2];
        previous = row;
    }
    return true;
}

}  // namespace wbx::testing
