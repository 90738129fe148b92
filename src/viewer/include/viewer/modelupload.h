#pragma once
// The upload of a model into the figure's mesh: object 0 of the file as it is
// stored, its vertex layout being the vertex buffer's and its triangles the
// 16-bit index list.

#include "viewer/ucommon.h"

namespace wbx {

class TOXMesh;

// Allocate (kPdtVertexFormat, 32-byte vertices, managed pool), the vertices
// and triangles of pdt.Objects[0] copied byte for byte through whole-buffer
// locks, then ComputeBounds. Returns false when a buffer could not be made or
// locked (the device layer has reported it); the mesh then draws nothing. A
// record without objects raises std::out_of_range (ReadModelFile gives none).
bool UploadModel(const TPdtRec& pdt, TOXMesh& mesh);

}  // namespace wbx
