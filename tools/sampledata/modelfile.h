#pragma once
// Writer of model files ("base.pdt"). The description mirrors the file: a
// header, objects with six arrays, material records. All integers are
// little-endian; counts are signed 32-bit.
//
//   header   int32 HeaderValue, int32 ObjectCount, int32 MaterialCount
//   object   int32 Items4Count, VectorItemCount, Blocks32Count, TriangleCount, VertexCount
//            then Blocks32 (32 B each), Vertices (32 B), VertexWords (2 B per vertex),
//            Triangles (3 x uint16), Items4 (4 B), VectorItems (uint8 n, then n x 8 B)
//   material 268 bytes: 4, 4, 4 x 64, 4
//
// By default every count is the size of its array. The Declared* overrides
// write other counts with the same arrays, which is how tests make files whose
// counts exceed their data (or are negative).

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace wbx::sampledata {

// Flexible vertex format XYZ | NORMAL | TEX1 (0x112): 32 bytes.
struct ModelVertex {
    float X, Y, Z;     // position, model units (y up, the figure faces +z)
    float NX, NY, NZ;  // unit normal
    float U, V;        // texture coordinates: u across the 256 texels, v down the 512 rows
};
static_assert(sizeof(ModelVertex) == 32);

struct ModelTriangle {
    uint16_t A, B, C;  // indices into the object's Vertices
};
static_assert(sizeof(ModelTriangle) == 6);

using Block32 = std::array<uint8_t, 32>;
using Element8 = std::array<uint8_t, 8>;

struct ModelVectorItem {
    std::vector<Element8> Elements;  // at most 255: the count is one byte in the file
};

struct ModelObjectCounts {
    int32_t Items4Count, VectorItemCount, Blocks32Count, TriangleCount, VertexCount;
};

struct ModelObject {
    std::vector<Block32> Blocks32;
    std::vector<ModelVertex> Vertices;
    std::vector<uint16_t> VertexWords;  // empty: written as VertexCount zero words
    std::vector<ModelTriangle> Triangles;
    std::vector<uint32_t> Items4;
    std::vector<ModelVectorItem> VectorItems;
    std::optional<ModelObjectCounts> DeclaredCounts;  // written instead of the array sizes
};

struct ModelMaterial {
    uint32_t Value0 = 0, Value1 = 0;
    std::array<std::array<uint8_t, 64>, 4> Blocks{};
    uint32_t Value2 = 0;
};

struct ModelFile {
    int32_t HeaderValue = 0;
    std::vector<ModelObject> Objects;
    std::vector<ModelMaterial> Materials;
    std::optional<int32_t> DeclaredObjectCount;    // written instead of Objects.size()
    std::optional<int32_t> DeclaredMaterialCount;  // written instead of Materials.size()
};

inline constexpr size_t kModelMaterialSize = 268;  // bytes of one material record in the file

// The file's bytes. Raises std::invalid_argument for what the format cannot
// hold: a vector entry of more than 255 elements, VertexWords neither empty nor
// of the vertex count, or an array larger than a 32-bit count.
std::vector<uint8_t> EncodeModelFile(const ModelFile& model);

}  // namespace wbx::sampledata
