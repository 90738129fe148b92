#include "formatreaders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/filestream.h"
#include "base/format.h"
#include "base/stream.h"
#include "base/zstream.h"

namespace wbx::testing {
namespace {

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    return stream;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

bool WildcardMatch(const char* mask, const char* name) {
    if (*mask == 0) return *name == 0;
    if (*mask == '*') return WildcardMatch(mask + 1, name) || (*name != 0 && WildcardMatch(mask, name + 1));
    return *name != 0 &&
           std::toupper(static_cast<unsigned char>(*mask)) ==
               std::toupper(static_cast<unsigned char>(*name)) &&
           WildcardMatch(mask + 1, name + 1);
}

}  // namespace

WrapperHeader ReadWrapperHeader(const std::vector<uint8_t>& file) {
    TMemoryStream stream = StreamOf(file);
    WrapperHeader header;
    header.DeclaredSize = stream.ReadValue<int32_t>();
    header.SecondValue = stream.ReadValue<uint32_t>();
    return header;
}

std::vector<uint8_t> ReadCompressed(const std::vector<uint8_t>& file) {
    TMemoryStream stream = StreamOf(file);
    const int32_t declared = stream.ReadValue<int32_t>();
    stream.ReadValue<uint32_t>();
    if (declared <= 0) throw EReadError("declared size not positive");
    TDecompressionStream inflater(stream);
    std::vector<uint8_t> content(static_cast<size_t>(declared));
    inflater.ReadBuffer(content.data(), declared);
    return content;
}

sampledata::LayerImage ReadLayer(const std::vector<uint8_t>& content) {
    TMemoryStream stream = StreamOf(content);
    sampledata::LayerImage layer;
    layer.X = stream.ReadValue<uint16_t>();
    layer.Y = stream.ReadValue<uint16_t>();
    layer.W = stream.ReadValue<uint16_t>();
    layer.H = stream.ReadValue<uint16_t>();
    layer.Pixels.resize(static_cast<size_t>(layer.W) * layer.H);
    stream.ReadBuffer(layer.Pixels.data(), static_cast<int64_t>(layer.Pixels.size() * 2));
    return layer;
}

sampledata::ModelFile ReadModel(const std::vector<uint8_t>& file) {
    using namespace sampledata;
    TMemoryStream stream = StreamOf(file);
    auto count = [&] {
        const int32_t value = stream.ReadValue<int32_t>();
        // A count is never negative, and never more elements than bytes remain.
        if (value < 0 || value > stream.Remaining()) throw EReadError("Stream read error");
        return static_cast<size_t>(value);
    };
    auto readArray = [&](auto& array, size_t n) {
        array.resize(n);
        stream.ReadBuffer(array.data(), static_cast<int64_t>(n * sizeof(array[0])));
    };
    ModelFile model;
    model.HeaderValue = stream.ReadValue<int32_t>();
    const size_t objects = count();
    const size_t materials = count();
    for (size_t o = 0; o < objects; ++o) {
        ModelObject object;
        const size_t items4 = count(), vectors = count(), blocks = count(), triangles = count(),
                     vertices = count();
        readArray(object.Blocks32, blocks);
        readArray(object.Vertices, vertices);
        readArray(object.VertexWords, vertices);
        readArray(object.Triangles, triangles);
        readArray(object.Items4, items4);
        for (size_t v = 0; v < vectors; ++v) {
            ModelVectorItem item;
            readArray(item.Elements, stream.ReadValue<uint8_t>());
            object.VectorItems.push_back(std::move(item));
        }
        model.Objects.push_back(std::move(object));
    }
    for (size_t m = 0; m < materials; ++m) {
        ModelMaterial material;
        material.Value0 = stream.ReadValue<uint32_t>();
        material.Value1 = stream.ReadValue<uint32_t>();
        for (auto& block : material.Blocks) stream.ReadBuffer(block.data(), 64);
        material.Value2 = stream.ReadValue<uint32_t>();
        model.Materials.push_back(material);
    }
    return model;
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    return stream.Bytes();
}

std::vector<std::string> ListItems(const std::string& folder, const std::string& mask) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        if (WildcardMatch(mask.c_str(), name.c_str())) names.push_back(name.substr(0, 8));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return Upper(a) < Upper(b); });
    return names;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_directory() && Upper(entry.path().filename().string()) == Upper(name))
            return entry.path().string();
    }
    return "";
}

Texture Compose(const std::string& avatarFolder, const std::array<std::string, 10>& selection, bool back) {
    // (list, layer) in drawing order, front and back.
    static const int kFront[12][2] = {{0, 1}, {1, 1}, {1, 7}, {0, 2}, {3, 1}, {2, 1},
                                      {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}};
    static const int kBack[12][2] = {{0, 3}, {1, 8}, {1, 6}, {0, 4}, {3, 2}, {2, 2},
                                     {4, 2}, {5, 2}, {6, 2}, {7, 2}, {8, 2}, {9, 2}};
    Texture texture(static_cast<size_t>(sampledata::kTextureWidth) * sampledata::kTextureHeight, 0);
    for (const auto& step : back ? kBack : kFront) {
        const std::string& item = selection[step[0]];
        if (item.empty()) continue;
        const std::string file = FindFileNoCase(avatarFolder, Format("%s_%.2d.pav", item, step[1]));
        if (file.empty()) continue;
        const sampledata::LayerImage layer = ReadLayer(ReadCompressed(ReadFileBytes(file)));
        for (int y = 0; y < layer.H; ++y) {
            for (int x = 0; x < layer.W; ++x) {
                const uint16_t pixel = layer.Pixels[static_cast<size_t>(y) * layer.W + x];
                const int column = layer.X + x, row = layer.Y + y;
                if (!(pixel & sampledata::kAlphaBit) || column >= sampledata::kTextureWidth ||
                    row >= sampledata::kTextureHeight) {
                    continue;
                }
                texture[static_cast<size_t>(row) * sampledata::kTextureWidth + column] = pixel;
            }
        }
    }
    return texture;
}

}  // namespace wbx::testing
