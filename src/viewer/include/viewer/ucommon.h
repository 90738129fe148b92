#pragma once
// The model file ("base.pdt") in memory, and its reader.
//
// The file is a flat little-endian sequence: a 12-byte header (HeaderValue,
// ObjectCount, MaterialCount), ObjectCount objects, MaterialCount material
// records of 268 bytes. An object is a 20-byte header of five counts followed
// by its arrays in the order Blocks32, Vertices, VertexWords, Triangles,
// Items4, VectorItems. Counts are signed 32-bit. The viewer draws object 0's
// vertices and triangles; everything else is read and kept.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/stream.h"

namespace wbx {

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1: the layout of the file's vertices,
// which is also the mesh's vertex buffer layout.
inline constexpr uint32_t kPdtVertexFormat = 0x112;

struct TPdtVertex {
    float X, Y, Z;     // position, model units
    float NX, NY, NZ;  // normal
    float U, V;        // texture coordinates into the 256 x 512 textures
};
static_assert(sizeof(TPdtVertex) == 32);

// Three indices into the object's Vertices: one triangle of a triangle list.
// Indices are not checked against the vertex count (the mesh is drawn by a
// device that never reads outside its vertex buffer).
struct TPdtTriangle {
    uint16_t A, B, C;
};
static_assert(sizeof(TPdtTriangle) == 6);

using TPdtBlock32 = std::array<uint8_t, 32>;
using TPdtElement8 = std::array<uint8_t, 8>;

// A VectorItems entry: stored as one count byte and that many 8-byte elements.
struct TVectorItem5 {
    uint8_t Count = 0;
    std::vector<TPdtElement8> Elements;  // Count elements
};

struct TMeshItem {
    // The object header, in file order.
    int32_t Items4Count = 0;
    int32_t VectorItemCount = 0;
    int32_t Blocks32Count = 0;
    int32_t TriangleCount = 0;
    int32_t VertexCount = 0;
    // The arrays, each sized by its count.
    std::vector<TPdtBlock32> Blocks32;
    std::vector<TPdtVertex> Vertices;
    std::vector<uint16_t> VertexWords;  // VertexCount words
    std::vector<TPdtTriangle> Triangles;
    std::vector<uint32_t> Items4;
    std::vector<TVectorItem5> VectorItems;
};

// A material record as stored (268 bytes); read and kept, not used.
struct TPdtMaterial {
    uint32_t Value0 = 0;
    uint32_t Value1 = 0;
    std::array<std::array<uint8_t, 64>, 4> Blocks{};
    uint32_t Value2 = 0;
};
inline constexpr int64_t kPdtMaterialSize = 268;  // bytes in the file

struct TPdtRec {
    int32_t HeaderValue = 0;
    int32_t ObjectCount = 0;
    int32_t MaterialCount = 0;
    std::vector<TMeshItem> Objects;       // ObjectCount records
    std::vector<TPdtMaterial> Materials;  // MaterialCount records
};

// Reads a whole model from stream (at its position). Every count is checked
// against the bytes the stream still holds before anything is allocated for
// it, so a damaged file costs no more memory than its own size: a negative
// count, or one that needs more bytes than remain, raises EReadError naming
// fileName, as does a stream that ends early.
TPdtRec ReadPdt(TStream& stream, const std::string& fileName);

// Reads the model file fileName into a new record. Returns nothing when the
// file does not exist, or when it holds no object (there is then nothing to
// draw); raises as ReadPdt for a damaged file. The caller's record is only
// replaced once a whole model has been read.
std::optional<TPdtRec> ReadModelFile(const std::string& fileName);

}  // namespace wbx
