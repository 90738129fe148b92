#pragma once
// The viewer's frame as a benchmark scene: object 0 of a model file (the
// sample figure "type1" when none is given), the viewer's 256 x 512
// A1R5G5B5 texture kind (garment bands with see-through texels), its camera,
// projection, light, material and blend mode 2, at any frame size. Frames
// wider than 4:3 show the figure smaller, so that it fills the same share of
// the height as at 640 x 480. Shared by the frame benchmark and by its
// OpenGL peer, so that both draw the same triangles with the same states.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/stream.h"
#include "figurescene.h"
#include "sampledata/figure.h"
#include "sampledata/modelfile.h"
#include "viewer/ucommon.h"

namespace wbx::testing {

// Object 0 of `modelFile` ("" for the sample figure) drawn as the viewer
// draws it at `yaw` (4096 steps a turn), in a `width` x `height` frame.
// Raises std::runtime_error for a file that cannot be read or holds no
// triangles; a damaged file raises the model reader's own exception.
inline FigureScene MakeFrameScene(const std::string& modelFile, int width, int height, int yaw = 0) {
    std::optional<TPdtRec> model;
    if (modelFile.empty()) {
        const std::vector<uint8_t> bytes = sampledata::EncodeModelFile(sampledata::BuildFigureModel(0));
        TMemoryStream stream;
        stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        stream.Seek(0, SeekOrigin::Begin);
        model = ReadPdt(stream, "type1 (sample figure)");
    } else {
        model = ReadModelFile(modelFile);
        if (!model) throw std::runtime_error("no model in " + modelFile);
    }
    const TMeshItem& object = model->Objects.at(0);
    FigureScene scene = MakeFigureScene(width, height, 1, 1, yaw);
    scene.Vertices.clear();
    scene.Indices.clear();
    for (const TPdtVertex& v : object.Vertices)
        scene.Vertices.push_back({v.X, v.Y, v.Z, v.NX, v.NY, v.NZ, v.U, v.V});
    for (const TPdtTriangle& t : object.Triangles) scene.Indices.insert(scene.Indices.end(), {t.A, t.B, t.C});
    if (scene.Indices.empty()) throw std::runtime_error("the model has no triangles");
    // The pose's zoom: 1 up to 4:3, smaller for wider frames (the projection's
    // field of view is horizontal).
    const float aspect = static_cast<float>(height) / static_cast<float>(width);
    const float zoom = aspect < 0.75f ? aspect / 0.75f : 1.0f;
    D3DMATRIX& world = scene.State.World;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) world.m[r][c] *= zoom;
    world._42 *= zoom;
    return scene;
}

}  // namespace wbx::testing
