#pragma once
// The viewer's files built byte by byte in code, for tests of their readers:
// compressed layer files and model files, also deliberately malformed ones.

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "tempfolder.h"

namespace wbx::testing {

template <class T>
void Put(Bytes& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof value);
    std::memcpy(out.data() + at, &value, sizeof value);
}

inline Bytes Zlib(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

// The wrapper: declared size (the content's size unless given), a second
// value, the zlib stream.
inline Bytes CompressedFile(const Bytes& content, int64_t declaredSize = -1) {
    Bytes out;
    Put<int32_t>(
        out, static_cast<int32_t>(declaredSize < 0 ? static_cast<int64_t>(content.size()) : declaredSize));
    Put<int32_t>(out, 0x1234);
    const Bytes z = Zlib(content);
    out.insert(out.end(), z.begin(), z.end());
    return out;
}

// Layer content: rectangle, then the pixels (W * H unless fewer are given).
inline Bytes LayerContent(uint16_t x, uint16_t y, uint16_t w, uint16_t h,
                          const std::vector<uint16_t>& pixels) {
    Bytes out;
    Put(out, x);
    Put(out, y);
    Put(out, w);
    Put(out, h);
    for (uint16_t p : pixels) Put(out, p);
    return out;
}

// A layer of one colour.
inline Bytes SolidLayer(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint16_t pixel) {
    return LayerContent(x, y, w, h, std::vector<uint16_t>(static_cast<size_t>(w) * h, pixel));
}

// A model object for the model-file builder.
struct TModelObjectSpec {
    int32_t Blocks32 = 0;
    std::vector<std::array<float, 8>> Vertices;
    std::vector<std::array<uint16_t, 3>> Triangles;
    int32_t Items4 = 0;
    std::vector<uint8_t> VectorItemCounts;  // element count of each VectorItems entry
};

// A model file: header, objects, materialCount records of 268 bytes.
inline Bytes ModelFile(const std::vector<TModelObjectSpec>& objects, int32_t materialCount = 1,
                       int32_t headerValue = 7) {
    Bytes out;
    Put<int32_t>(out, headerValue);
    Put<int32_t>(out, static_cast<int32_t>(objects.size()));
    Put<int32_t>(out, materialCount);
    for (const TModelObjectSpec& o : objects) {
        Put<int32_t>(out, o.Items4);
        Put<int32_t>(out, static_cast<int32_t>(o.VectorItemCounts.size()));
        Put<int32_t>(out, o.Blocks32);
        Put<int32_t>(out, static_cast<int32_t>(o.Triangles.size()));
        Put<int32_t>(out, static_cast<int32_t>(o.Vertices.size()));
        out.insert(out.end(), static_cast<size_t>(o.Blocks32) * 32, 0xB3);
        for (const auto& v : o.Vertices)
            for (float f : v) Put(out, f);
        for (size_t i = 0; i < o.Vertices.size(); ++i) Put<uint16_t>(out, static_cast<uint16_t>(i));
        for (const auto& t : o.Triangles)
            for (uint16_t index : t) Put(out, index);
        for (int32_t i = 0; i < o.Items4; ++i) Put<uint32_t>(out, 0x44444444u + static_cast<uint32_t>(i));
        for (uint8_t n : o.VectorItemCounts) {
            out.push_back(n);
            out.insert(out.end(), static_cast<size_t>(n) * 8, n);
        }
    }
    for (int32_t m = 0; m < materialCount; ++m) {
        Put<uint32_t>(out, 0xA0 + static_cast<uint32_t>(m));
        Put<uint32_t>(out, 0xB0);
        out.insert(out.end(), 256, static_cast<uint8_t>(m));
        Put<uint32_t>(out, 0xC0);
    }
    return out;
}

// A figure object of n vertices (vertex i at (i, 2i, 3i)) and one triangle per three vertices.
inline TModelObjectSpec SimpleObject(int n) {
    TModelObjectSpec o;
    for (int i = 0; i < n; ++i)
        o.Vertices.push_back({float(i), float(2 * i), float(3 * i), 0, 0, 1, 0.5f, 0.25f});
    for (int i = 0; i + 2 < n; i += 3) o.Triangles.push_back({uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
    return o;
}

}  // namespace wbx::testing
