#include "viewer/gltfexport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <sstream>

#include "base/exception.h"
#include "viewer/figuregeometry.h"
#include "viewer/pngwriter.h"

namespace wbx {

namespace {

constexpr int kArrayBuffer = 34962;         // bufferView target of vertex attributes
constexpr int kElementArrayBuffer = 34963;  // bufferView target of indices
constexpr int kLinear = 9729;
constexpr int kRepeat = 10497;

// The model's single buffer, filled view by view; every view starts on a
// four-byte boundary.
class TBufferBuilder {
public:
    explicit TBufferBuilder(tinygltf::Model& model) : model_(model) { model_.buffers.emplace_back(); }

    int AddView(const void* data, size_t size, int target) {
        std::vector<unsigned char>& bytes = model_.buffers[0].data;
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = bytes.size();
        view.byteLength = size;
        view.target = target;
        const auto* in = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), in, in + size);
        model_.bufferViews.push_back(view);
        return static_cast<int>(model_.bufferViews.size() - 1);
    }

    template <size_t N>
    int AddFloatAccessor(const std::vector<std::array<float, N>>& values, int type, bool bounds) {
        tinygltf::Accessor accessor;
        accessor.bufferView = AddView(values.data(), values.size() * sizeof(float) * N, kArrayBuffer);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = values.size();
        accessor.type = type;
        if (bounds) {
            accessor.minValues.assign(N, std::numeric_limits<double>::infinity());
            accessor.maxValues.assign(N, -std::numeric_limits<double>::infinity());
            for (const auto& value : values) {
                for (size_t i = 0; i < N; ++i) {
                    accessor.minValues[i] = std::min<double>(accessor.minValues[i], value[i]);
                    accessor.maxValues[i] = std::max<double>(accessor.maxValues[i], value[i]);
                }
            }
        }
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size() - 1);
    }

    int AddIndexAccessor(const std::vector<uint32_t>& indices, size_t vertexCount) {
        tinygltf::Accessor accessor;
        // 16-bit indices whenever they fit, as the model file stores them.
        if (vertexCount <= 65535) {
            std::vector<uint16_t> narrow(indices.begin(), indices.end());
            accessor.bufferView = AddView(narrow.data(), narrow.size() * 2, kElementArrayBuffer);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        } else {
            accessor.bufferView = AddView(indices.data(), indices.size() * 4, kElementArrayBuffer);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        }
        accessor.count = indices.size();
        accessor.type = TINYGLTF_TYPE_SCALAR;
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size() - 1);
    }

    int AddImage(const std::string& name, const std::vector<uint8_t>& png) {
        tinygltf::Image image;
        image.name = name;
        image.mimeType = "image/png";
        image.bufferView = AddView(png.data(), png.size(), 0);
        model_.images.push_back(image);
        return static_cast<int>(model_.images.size() - 1);
    }

private:
    tinygltf::Model& model_;
};

int AddMaterial(tinygltf::Model& model, const std::string& name, int texture) {
    tinygltf::Material material;
    material.name = name;
    material.pbrMetallicRoughness.baseColorTexture.index = texture;
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    material.alphaMode = "MASK";
    material.alphaCutoff = 0.5;
    material.doubleSided = true;
    model.materials.push_back(material);
    return static_cast<int>(model.materials.size() - 1);
}

}  // namespace

std::vector<uint8_t> BuildGlb(const TPdtRec& pdt, const TRgbaImage& frontTexture,
                              const TRgbaImage& backTexture, const std::string& generator) {
    const TFigureGeometry geometry = SplitFigure(pdt);
    if (geometry.Front.Empty() && geometry.Back.Empty())
        throw Exception("The model has no triangle that can be exported.");

    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = generator;
    TBufferBuilder buffer(model);

    tinygltf::Sampler sampler;
    sampler.magFilter = kLinear;
    sampler.minFilter = kLinear;
    sampler.wrapS = kRepeat;
    sampler.wrapT = kRepeat;
    model.samplers.push_back(sampler);

    tinygltf::Mesh mesh;
    mesh.name = "figure";
    const struct {
        const char* Name;
        const TFigureSide& Side;
        const TRgbaImage& Texture;
    } sides[] = {{"front", geometry.Front, frontTexture}, {"back", geometry.Back, backTexture}};
    for (const auto& side : sides) {
        // A side without triangles gets neither a primitive nor a texture:
        // nothing in the file is left unused.
        if (side.Side.Empty()) continue;
        tinygltf::Texture texture;
        texture.name = side.Name;
        texture.sampler = 0;
        texture.source = buffer.AddImage(side.Name, EncodePng(side.Texture));
        model.textures.push_back(texture);

        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] =
            buffer.AddFloatAccessor(side.Side.Positions, TINYGLTF_TYPE_VEC3, true);
        primitive.attributes["NORMAL"] =
            buffer.AddFloatAccessor(side.Side.Normals, TINYGLTF_TYPE_VEC3, false);
        primitive.attributes["TEXCOORD_0"] =
            buffer.AddFloatAccessor(side.Side.TexCoords, TINYGLTF_TYPE_VEC2, false);
        primitive.indices = buffer.AddIndexAccessor(side.Side.Indices, side.Side.Positions.size());
        primitive.material = AddMaterial(model, side.Name, static_cast<int>(model.textures.size() - 1));
        mesh.primitives.push_back(primitive);
    }
    model.meshes.push_back(mesh);

    tinygltf::Node node;
    node.name = "wardrobix figure";
    node.mesh = 0;
    node.scale = {kModelUnitMetres, kModelUnitMetres, kModelUnitMetres};
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    std::ostringstream stream;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, stream, false, true))
        throw Exception("The glTF file could not be made.");
    const std::string bytes = stream.str();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace wbx
