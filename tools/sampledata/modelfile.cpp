#include "sampledata/modelfile.h"

#include <limits>
#include <span>
#include <stdexcept>

#include "sampledata/bytewriter.h"

namespace wbx::sampledata {
namespace {

int32_t CountOf(size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        throw std::invalid_argument("array too large for a model file count");
    }
    return static_cast<int32_t>(size);
}

void PutObject(ByteWriter& out, const ModelObject& object) {
    if (!object.VertexWords.empty() && object.VertexWords.size() != object.Vertices.size()) {
        throw std::invalid_argument("VertexWords must be empty or hold one word per vertex");
    }
    const ModelObjectCounts counts = object.DeclaredCounts.value_or(ModelObjectCounts{
        CountOf(object.Items4.size()), CountOf(object.VectorItems.size()), CountOf(object.Blocks32.size()),
        CountOf(object.Triangles.size()), CountOf(object.Vertices.size())});
    out.Put(counts.Items4Count);
    out.Put(counts.VectorItemCount);
    out.Put(counts.Blocks32Count);
    out.Put(counts.TriangleCount);
    out.Put(counts.VertexCount);

    out.PutArray(std::span<const Block32>(object.Blocks32));
    out.PutArray(std::span<const ModelVertex>(object.Vertices));
    if (object.VertexWords.empty()) {
        out.PutFill(2 * object.Vertices.size(), 0);
    } else {
        out.PutArray(std::span<const uint16_t>(object.VertexWords));
    }
    out.PutArray(std::span<const ModelTriangle>(object.Triangles));
    out.PutArray(std::span<const uint32_t>(object.Items4));
    for (const ModelVectorItem& item : object.VectorItems) {
        if (item.Elements.size() > 255)
            throw std::invalid_argument("a vector entry holds at most 255 elements");
        out.Put(static_cast<uint8_t>(item.Elements.size()));
        out.PutArray(std::span<const Element8>(item.Elements));
    }
}

}  // namespace

std::vector<uint8_t> EncodeModelFile(const ModelFile& model) {
    ByteWriter out;
    size_t estimate = 12 + kModelMaterialSize * model.Materials.size();
    for (const ModelObject& object : model.Objects) {
        estimate += 20 + 34 * object.Vertices.size() + 6 * object.Triangles.size();
    }
    out.Reserve(estimate);
    out.Put(model.HeaderValue);
    out.Put(model.DeclaredObjectCount.value_or(CountOf(model.Objects.size())));
    out.Put(model.DeclaredMaterialCount.value_or(CountOf(model.Materials.size())));
    for (const ModelObject& object : model.Objects) PutObject(out, object);
    for (const ModelMaterial& material : model.Materials) {
        out.Put(material.Value0);
        out.Put(material.Value1);
        for (const auto& block : material.Blocks) out.PutBytes(block);
        out.Put(material.Value2);
    }
    return out.Take();
}

}  // namespace wbx::sampledata
