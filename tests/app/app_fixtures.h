#pragma once
// Fixture builders for the viewer's tests: temporary folders, compressed
// layer files and model files written in code.

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace wbx::testing {

using TBytes = std::vector<uint8_t>;

// A fresh folder under the build's temporary area, removed with everything in it.
class TTempDir {
public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "wbx_app_XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern + "/";
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // Ends in '/'.
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + relative; }

private:
    std::string path_;
};

inline void WriteBytes(const std::string& fileName, const TBytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + fileName);
}

inline void WriteText(const std::string& fileName, const std::string& text) {
    WriteBytes(fileName, TBytes(text.begin(), text.end()));
}

inline std::string ReadText(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class T>
void Put(TBytes& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof value);
    std::memcpy(out.data() + at, &value, sizeof value);
}

inline TBytes Zlib(const TBytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    TBytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

// The wrapper: declared size (the content's size unless given), a second
// value, the zlib stream.
inline TBytes CompressedFile(const TBytes& content, int64_t declaredSize = -1) {
    TBytes out;
    Put<int32_t>(
        out, static_cast<int32_t>(declaredSize < 0 ? static_cast<int64_t>(content.size()) : declaredSize));
    Put<int32_t>(out, 0x1234);
    const TBytes z = Zlib(content);
    out.insert(out.end(), z.begin(), z.end());
    return out;
}

// Layer content: rectangle, then the pixels (W * H unless fewer are given).
inline TBytes LayerContent(uint16_t x, uint16_t y, uint16_t w, uint16_t h,
                           const std::vector<uint16_t>& pixels) {
    TBytes out;
    Put(out, x);
    Put(out, y);
    Put(out, w);
    Put(out, h);
    for (uint16_t p : pixels) Put(out, p);
    return out;
}

// A layer of one colour.
inline TBytes SolidLayer(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint16_t pixel) {
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
inline TBytes ModelFile(const std::vector<TModelObjectSpec>& objects, int32_t materialCount = 1,
                        int32_t headerValue = 7) {
    TBytes out;
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
