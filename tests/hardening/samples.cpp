#include "samples.h"

#include "archivewriter.h"
#include "sampledata/damage.h"

namespace wbx::testing {

namespace {

void PutLittle(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

sampledata::ModelVertex Vertex(int i) {
    const float f = static_cast<float>(i);
    return {f, 2 * f, -f, 0, 1, 0, f / 16, 1 - f / 16};
}

// A target input: the selector byte, then the bytes.
Bytes Seed(uint8_t selector, const Bytes& bytes) {
    Bytes seed{selector};
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    return seed;
}

}  // namespace

sampledata::LayerImage SampleLayer() {
    sampledata::LayerImage layer{20, 40, 24, 16, {}};
    for (uint32_t i = 0; i < 24u * 16u; ++i) {
        const uint32_t x = i % 24, y = i / 24;
        const bool opaque = (x + y) % 5 != 0;
        layer.Pixels.push_back(static_cast<uint16_t>((opaque ? sampledata::kAlphaBit : 0) | (x << 10) |
                                                     (y << 5) | ((x ^ y) & 31)));
    }
    return layer;
}

Bytes SampleLayerContent() { return sampledata::EncodeLayerContent(SampleLayer()); }
Bytes SampleLayerFile() { return sampledata::EncodeLayerFile(SampleLayer()); }

sampledata::ModelFile SampleModel() {
    sampledata::ModelObject first;
    for (int i = 0; i < 12; ++i) first.Vertices.push_back(Vertex(i));
    for (uint16_t t = 0; t < 8; ++t)
        first.Triangles.push_back({t, static_cast<uint16_t>(t + 1), static_cast<uint16_t>(t + 3)});
    first.Blocks32.push_back({});
    first.Blocks32[0].fill(0x32);
    first.Items4 = {4, 44};
    first.VectorItems.resize(3);
    first.VectorItems[0].Elements.resize(2, sampledata::Element8{1, 2, 3, 4, 5, 6, 7, 8});
    first.VectorItems[2].Elements.resize(1);
    sampledata::ModelObject second;
    for (int i = 0; i < 3; ++i) second.Vertices.push_back(Vertex(20 + i));
    second.Triangles.push_back({0, 1, 2});
    sampledata::ModelFile model;
    model.HeaderValue = 0x20040101;
    model.Objects = {first, second};
    model.Materials.resize(2);
    model.Materials[1].Value0 = 7;
    model.Materials[1].Blocks[3].fill(0x64);
    return model;
}

Bytes SampleModelFile() { return sampledata::EncodeModelFile(SampleModel()); }

Bytes SampleBitmap(int32_t width, int32_t height, uint16_t bitCount) {
    const uint32_t bytesPerPixel = bitCount / 8u;
    const uint32_t rowLength = (static_cast<uint32_t>(width) * bytesPerPixel + 3) & ~3u;
    const uint32_t paletteBytes = bitCount == 8 ? 1024 : 0;
    const uint32_t offset = 54 + paletteBytes;
    const uint32_t imageSize = rowLength * static_cast<uint32_t>(height);
    Bytes out;
    PutLittle(out, 0x4D42, 2);
    PutLittle(out, offset + imageSize, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, offset, 4);
    for (uint32_t value : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        PutLittle(out, value, 4);
    PutLittle(out, 1, 2);
    PutLittle(out, bitCount, 2);
    for (uint32_t value : {0u, imageSize, 2835u, 2835u, 0u, 0u}) PutLittle(out, value, 4);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) PutLittle(out, i * 0x010203u & 0xFFFFFF, 4);
    for (int32_t y = height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int32_t x = 0; x < width; ++x)
            PutLittle(out, static_cast<uint32_t>(x * 0x9E3779B1u ^ y * 0x85EBCA77u),
                      static_cast<int>(bytesPerPixel));
        out.resize(rowStart + rowLength, 0);
    }
    return out;
}

Bytes SampleArchive(bool packed) {
    testing::ArchiveWriter writer(packed, {.blockSize = 200});
    writer.Add(kSampleArchiveIds[0], testing::RepetitiveText(500, 5));
    writer.Add(kSampleArchiveIds[1], SampleBitmap(5, 3, 24));
    writer.Add(kSampleArchiveIds[2], Bytes(90, 'A'));
    return writer.Build();
}

Bytes SampleSettingsFile() {
    const std::string text =
        "; written by hand\r\n[app]\r\npath=/home/user/data\r\nleft=120\r\ntop = "
        "80\r\n\r\n[other]\r\nkey=\"quoted value\"\r\n";
    return Bytes(text.begin(), text.end());
}

std::map<std::string, std::map<std::string, Bytes>> FuzzSeeds() {
    using sampledata::EncodeLayerFile;
    using sampledata::LayerImage;
    std::map<std::string, std::map<std::string, Bytes>> seeds;

    // Layer target: 0 + a whole file, 1 + content to be wrapped.
    auto& layer = seeds["layer"];
    const Bytes file = SampleLayerFile();
    layer["file_sample"] = Seed(0, file);
    layer["file_empty_layer"] = Seed(0, EncodeLayerFile(LayerImage{5, 5, 0, 0, {}}));
    LayerImage overhang{240, 500, 30, 20, std::vector<uint16_t>(600, 0xFC1F)};
    sampledata::LayerFileOptions trailing, stored, declaredLarger, missingPixels;
    trailing.TrailingBytes = 6;
    stored.Wrapper.Level = 0;
    declaredLarger.Wrapper.DeclaredSizeDelta = 64;
    missingPixels.MissingPixels = 30;
    layer["file_overhang"] = Seed(0, EncodeLayerFile(overhang, trailing));
    layer["file_stored"] = Seed(0, EncodeLayerFile(SampleLayer(), stored));
    layer["file_declared_larger"] = Seed(0, EncodeLayerFile(SampleLayer(), declaredLarger));
    layer["file_missing_pixels"] = Seed(0, EncodeLayerFile(SampleLayer(), missingPixels));
    layer["file_broken_zlib"] = Seed(0, sampledata::WithBrokenZlibHeader(file));
    layer["file_truncated"] = Seed(0, sampledata::TruncatedCopy(file, file.size() / 2));
    layer["content_sample"] = Seed(1, SampleLayerContent());
    layer["content_overhang"] = Seed(1, sampledata::EncodeLayerContent(overhang));
    layer["content_right_edge"] = Seed(
        1, sampledata::EncodeLayerContent(LayerImage{200, 0, 56, 2, std::vector<uint16_t>(112, 0x8000)}));

    // Model target: the file's bytes.
    auto& model = seeds["model"];
    const Bytes modelFile = SampleModelFile();
    model["sample"] = modelFile;
    sampledata::ModelFile single;
    single.Objects.resize(1);
    for (int i = 0; i < 3; ++i) single.Objects[0].Vertices.push_back(Vertex(i));
    single.Objects[0].Triangles.push_back({0, 1, 2});
    model["single_triangle"] = sampledata::EncodeModelFile(single);
    sampledata::ModelFile wild = single;
    wild.Objects[0].Triangles.push_back({2, 7, 65535});  // indices past the vertices
    model["wild_indices"] = sampledata::EncodeModelFile(wild);
    sampledata::ModelFile none;
    none.Materials.resize(1);
    model["no_object"] = sampledata::EncodeModelFile(none);
    sampledata::ModelFile overstated = single;
    overstated.Objects[0].DeclaredCounts = sampledata::ModelObjectCounts{0, 0, 0, 1, 1000};
    model["overstated_counts"] = sampledata::EncodeModelFile(overstated);

    // Bitmap target: the bitmap's bytes.
    auto& bitmap = seeds["bitmap"];
    bitmap["bits8"] = SampleBitmap(7, 5, 8);
    bitmap["bits16"] = SampleBitmap(50, 3, 16);
    bitmap["bits24"] = SampleBitmap(3, 45, 24);
    bitmap["bits32"] = SampleBitmap(9, 9, 32);
    Bytes truncated = SampleBitmap(20, 20, 24);
    truncated.resize(truncated.size() - 100);
    bitmap["bits24_truncated"] = truncated;

    // Settings target: the file's bytes.
    auto& settings = seeds["settings"];
    settings["viewer"] = SampleSettingsFile();
    const std::string odd =
        "\xEF\xBB\xBF[ APP ]\npath = '/quoted/path' \nleft=0x7FFFFFFF\ntop=-12px\n[app]\nleft=1";
    settings["bom_duplicate_section"] = Bytes(odd.begin(), odd.end());
    const std::string unterminated = "[app\npath\n=\n[]\nleft=99999999999";
    settings["malformed"] = Bytes(unterminated.begin(), unterminated.end());
    // A line ending in CR CR LF in an LF file (once lost its CR through a write).
    const std::string carriageReturns = "[app]\nleft=1\n\r\r\n[other]\r\nkey=\"qu\r\r\n";
    settings["cr_cr_lf"] = Bytes(carriageReturns.begin(), carriageReturns.end());
    return seeds;
}

}  // namespace wbx::testing
