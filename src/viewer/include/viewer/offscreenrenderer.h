#pragma once
// TOffscreenRenderer: the viewer's figure drawn without a window, for the
// pictures, textures and models the viewer exports and for the batch
// commands (wardrobix render, wardrobix catalogue).
//
// It is the viewer's own set-up, step for step: a device component on an
// owner window that lives in memory, the device again with a depth buffer,
// bilinear sampling and no culling, the scene with its 45-degree projection,
// the camera 130 units out on +z, the two 256 x 512 A1R5G5B5 textures
// composed from the part lists' selections, the model's first object in the
// mesh, the figure's material and alpha blending, the white directional
// light. A frame is the viewer's frame (clear to the grey, render the tree),
// read from the back buffer as the viewer would present it: at the viewer's
// 640 x 480 and pose the pixels are the window's, byte for byte.
//
// One renderer per thread. Several may live at once (one per worker); the
// device components' set-up and release, which share the device layer's
// trace state, are serialised among them.
//
// Life:
//   construction     device for pictures up to maxWidth x maxHeight
//   SetModel         the figure's geometry (may be called again)
//   ComposeTextures  the figure's clothes (may be called again)
//   Render           any number of pictures, any pose and size up to the maximum
//   destruction      scene objects, then the device component

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer/composition.h"
#include "viewer/layercache.h"
#include "viewer/rgbaimage.h"
#include "viewer/ucommon.h"

namespace wbx {

class TKorvane;
class TKVTexture;
class TOXFrame;
class TOXLightGroup;
class TOXMesh;
class TOXScene;

// The figure's pose, in the viewer's units.
struct TFigurePose {
    int32_t Yaw = 0;    // turn, angle units (4096 a turn), 0..4095
    int32_t Pitch = 0;  // tilt, angle units, -890..890
    float Zoom = 1.0f;  // scale, 0.2..3.0
};

// Behind the figure: the viewer's grey, or nothing (transparent).
enum class TBackground { Grey, Transparent };

// The grey the viewer clears to (opaque ARGB).
inline constexpr uint32_t kViewerBackground = 0xFF888888;

// The viewer's window size, the size of a picture unless another is asked for.
inline constexpr int32_t kViewerWidth = 640;
inline constexpr int32_t kViewerHeight = 480;

struct TRenderedPicture {
    // Grey: opaque RGB, exactly the window's pixels at that size. Transparent:
    // the same colours where the figure is drawn (alpha 255) and transparent
    // black (alpha 0) wherever the background would show unchanged.
    TRgbaImage Image;
    // Where the figure is drawn: the pixels a transparent picture keeps.
    TPixelBounds Figure;
};

class TOffscreenRenderer {
public:
    // A renderer for pictures of up to maxWidth x maxHeight pixels (1 to
    // 16384 each). Raises Exception when no device can be made.
    TOffscreenRenderer(int32_t maxWidth, int32_t maxHeight);
    ~TOffscreenRenderer();
    TOffscreenRenderer(const TOffscreenRenderer&) = delete;
    TOffscreenRenderer& operator=(const TOffscreenRenderer&) = delete;

    int32_t MaxWidth() const { return maxWidth_; }
    int32_t MaxHeight() const { return maxHeight_; }

    // The figure's geometry: object 0 of model, uploaded as the viewer
    // uploads it. The record is kept (see Model()).
    void SetModel(TPdtRec model);
    // Reads the model file of a model name ("type1" ... "type10") below the
    // data folder and sets it. False, nothing changed, when the file does not
    // exist or holds no object; a damaged file raises and changes nothing.
    bool LoadModel(const std::string& modelName);
    const TPdtRec& Model() const { return model_; }
    bool HasModel() const { return hasModel_; }

    // Composes both textures from the items selected (as the viewer does,
    // front then back). A damaged layer file raises its stream error; the
    // textures are then incomplete until the next composition.
    void ComposeTextures(const TPartSelection& selection);

    // One frame of the figure in the pose at width x height pixels (the
    // projection's aspect is height / width, as the window's), returned as a
    // picture. Raises Exception for a size beyond the maximum or when the
    // device's frame cannot be read.
    TRenderedPicture Render(const TFigurePose& pose, int32_t width, int32_t height, TBackground background);
    // The same into result, whose buffer is reused: a caller drawing picture
    // after picture allocates and clears nothing each time.
    void Render(const TFigurePose& pose, int32_t width, int32_t height, TBackground background,
                TRenderedPicture& result);

    // The composed texels of one side, 256 x 512 A1R5G5B5, rows packed.
    std::vector<uint16_t> TextureTexels(bool back) const;

    // Whether the device's back buffer keeps alpha (A8R8G8B8): a transparent
    // picture is then drawn once. Without it, or with UseKeyFrames(true), it
    // is drawn twice, over the grey and over black, and a pixel is the
    // figure's where either frame differs from its background; both ways
    // give the same pictures.
    bool AlphaFrames() const { return alphaFrames_; }
    void UseKeyFrames(bool use) { keyFrames_ = use; }

    // The layer contents kept between compositions.
    TLayerCache& LayerCache() { return layerCache_; }

private:
    class TMemoryOwner;
    // One frame cleared to clearColor, left in the back buffer.
    void DrawFrame(const TFigurePose& pose, int32_t width, int32_t height, uint32_t clearColor);
    void FreeSceneObjects();

    int32_t maxWidth_;
    int32_t maxHeight_;
    std::unique_ptr<TMemoryOwner> owner_;
    std::unique_ptr<TKorvane> kv_;
    std::unique_ptr<TOXFrame> rootFrame_;
    TOXFrame* modelFrame_ = nullptr;   // child of rootFrame_ (owned by it)
    TOXFrame* cameraFrame_ = nullptr;  // child of rootFrame_ (owned by it)
    std::unique_ptr<TOXScene> scene_;
    std::unique_ptr<TKVTexture> frontTexture_;
    std::unique_ptr<TKVTexture> backTexture_;
    std::unique_ptr<TOXMesh> mesh_;
    std::unique_ptr<TOXLightGroup> lightGroup_;
    TPdtRec model_;
    bool hasModel_ = false;
    TLayerCache layerCache_;
    bool alphaFrames_ = false;        // the back buffer is A8R8G8B8
    bool keyFrames_ = false;          // transparency from two frames even so
    std::vector<uint32_t> keyFrame_;  // the frame over the key colour, when drawn
};

}  // namespace wbx
