// Fuzz target for the model-file path: ReadPdt over the bytes, then the upload
// of object 0 into a mesh (Allocate, whole-buffer locks, copies,
// ComputeBounds) and, for small meshes, one drawn frame of it, so that whatever indices a file
// holds meet the device's draw checks. Refusals are stream errors; a record
// whose arrays disagree with its counts, a crash, a sanitizer report or
// another exception is a finding.

#include <cstddef>
#include <cstdint>

#include "scene/mesh.h"
#include "viewer/modelupload.h"
#include "viewer/ucommon.h"
#include "viewercomponent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static wbx::TOXMesh mesh(&wbx::testing::SharedDeviceComponent(), "fuzz vertices", "fuzz indices");
    wbx::TMemoryStream stream;
    stream.Bytes().assign(data, data + size);
    wbx::TPdtRec pdt;
    try {
        pdt = wbx::ReadPdt(stream, "fuzz.pdt");
    } catch (const wbx::EStreamError&) {
        return 0;
    }
    if (pdt.Objects.size() != static_cast<size_t>(pdt.ObjectCount) ||
        pdt.Materials.size() != static_cast<size_t>(pdt.MaterialCount))
        __builtin_trap();
    for (const wbx::TMeshItem& object : pdt.Objects) {
        if (object.Vertices.size() != static_cast<size_t>(object.VertexCount) ||
            object.VertexWords.size() != object.Vertices.size() ||
            object.Triangles.size() != static_cast<size_t>(object.TriangleCount) ||
            object.Blocks32.size() != static_cast<size_t>(object.Blocks32Count) ||
            object.Items4.size() != static_cast<size_t>(object.Items4Count) ||
            object.VectorItems.size() != static_cast<size_t>(object.VectorItemCount))
            __builtin_trap();
        for (const wbx::TVectorItem5& item : object.VectorItems)
            if (item.Elements.size() != item.Count) __builtin_trap();
    }
    if (pdt.Objects.empty()) return 0;
    wbx::UploadModel(pdt, mesh);
    // Drawing costs time per covered pixel; a few hundred triangles are
    // enough to reach every check of the draw path.
    if (pdt.Objects[0].Triangles.size() > 256) return 0;
    IDirect3DDevice9* device = wbx::testing::SharedDeviceComponent().Device;
    device->BeginScene();
    mesh.Draw();
    device->EndScene();
    return 0;
}
