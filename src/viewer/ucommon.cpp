#include "viewer/ucommon.h"

#include "base/filestream.h"
#include "base/format.h"

namespace wbx {

namespace {

class TPdtReader {
public:
    TPdtReader(TStream& stream, const std::string& fileName)
        : stream_(stream), fileName_(fileName), remaining_(stream.Remaining()) {}

    int32_t Count(const char* what) {
        const int32_t count = Value<int32_t>();
        if (count < 0) Fail(Format("negative %s count %d", what, count));
        return count;
    }

    // Checks that count elements of at least minimumSize file bytes each can
    // still follow, before anything is allocated for them.
    void Require(int64_t count, int64_t minimumSize, const char* what) {
        if (count * minimumSize > remaining_)
            Fail(Format("%s count %d needs %d bytes, %d remain", what, count, count * minimumSize,
                        remaining_));
    }

    template <class T>
    T Value() {
        T value;
        Read(&value, sizeof value);
        return value;
    }

    template <class T>
    void Array(std::vector<T>& array, int32_t count, const char* what) {
        Require(count, sizeof(T), what);
        array.resize(static_cast<size_t>(count));
        Read(array.data(), static_cast<int64_t>(sizeof(T)) * count);
    }

    void Read(void* buffer, int64_t count) {
        if (count == 0) return;
        if (count > remaining_) Fail("the file ends early");
        try {
            stream_.ReadBuffer(buffer, count);
        } catch (const EReadError& error) {
            Fail(error.Message());
        }
        remaining_ -= count;
    }

    [[noreturn]] void Fail(const std::string& reason) const {
        throw EReadError(Format("Stream read error: \"%s\" (%s)", fileName_, reason));
    }

private:
    TStream& stream_;
    const std::string& fileName_;
    int64_t remaining_;  // bytes the stream still holds
};

void ReadObject(TPdtReader& reader, TMeshItem& object) {
    object.Items4Count = reader.Count("Items4");
    object.VectorItemCount = reader.Count("VectorItems");
    object.Blocks32Count = reader.Count("Blocks32");
    object.TriangleCount = reader.Count("triangle");
    object.VertexCount = reader.Count("vertex");
    // Every array's bytes together must still be there (a VectorItems entry
    // takes at least its count byte) before any of them is allocated.
    reader.Require(1,
                   int64_t{32} * object.Blocks32Count + int64_t{34} * object.VertexCount +
                       int64_t{6} * object.TriangleCount + int64_t{4} * object.Items4Count +
                       object.VectorItemCount,
                   "object");
    reader.Array(object.Blocks32, object.Blocks32Count, "Blocks32");
    reader.Array(object.Vertices, object.VertexCount, "vertex");
    reader.Array(object.VertexWords, object.VertexCount, "VertexWords");
    reader.Array(object.Triangles, object.TriangleCount, "triangle");
    reader.Array(object.Items4, object.Items4Count, "Items4");
    object.VectorItems.resize(static_cast<size_t>(object.VectorItemCount));
    for (TVectorItem5& item : object.VectorItems) {
        item.Count = reader.Value<uint8_t>();
        reader.Array(item.Elements, item.Count, "VectorItems element");
    }
}

}  // namespace

TPdtRec ReadPdt(TStream& stream, const std::string& fileName) {
    TPdtReader reader(stream, fileName);
    TPdtRec pdt;
    pdt.HeaderValue = reader.Value<int32_t>();
    pdt.ObjectCount = reader.Count("object");
    pdt.MaterialCount = reader.Count("material");
    // Every object has its 20-byte header, every material its 268 bytes.
    reader.Require(1, int64_t{20} * pdt.ObjectCount + kPdtMaterialSize * pdt.MaterialCount,
                   "object and material");
    pdt.Objects.resize(static_cast<size_t>(pdt.ObjectCount));
    pdt.Materials.resize(static_cast<size_t>(pdt.MaterialCount));
    for (TMeshItem& object : pdt.Objects) ReadObject(reader, object);
    for (TPdtMaterial& material : pdt.Materials) {
        material.Value0 = reader.Value<uint32_t>();
        material.Value1 = reader.Value<uint32_t>();
        for (auto& block : material.Blocks) reader.Read(block.data(), static_cast<int64_t>(block.size()));
        material.Value2 = reader.Value<uint32_t>();
    }
    return pdt;
}

std::optional<TPdtRec> ReadModelFile(const std::string& fileName) {
    if (!FileExists(fileName)) return std::nullopt;
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    TPdtRec pdt = ReadPdt(file, fileName);
    if (pdt.ObjectCount == 0) return std::nullopt;
    return pdt;
}

}  // namespace wbx
