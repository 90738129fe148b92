#include "viewer/offscreenrenderer.h"

#include <bit>
#include <cstring>
#include <mutex>

#include "base/exception.h"
#include "d3d9/presentationtarget.h"
#include "device/korvane.h"
#include "device/ownerwindow.h"
#include "device/texture.h"
#include "math/vector.h"
#include "scene/frame.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "viewer/datafolder.h"
#include "viewer/figuresetup.h"
#include "viewer/layer.h"
#include "viewer/modelpose.h"
#include "viewer/modelupload.h"

namespace wbx {

namespace {

// The device components' set-up and release write the device layer's shared
// trace state (nesting level, switches): one renderer at a time.
std::mutex& LifecycleMutex() {
    static std::mutex mutex;
    return mutex;
}

// The second background a transparent picture is drawn over when the back
// buffer has no alpha: a pixel the figure leaves alone shows the grey in one
// frame and this in the other.
constexpr uint32_t kKeyBackground = 0xFF000000;

constexpr int32_t kMaxSide = 16384;

// Pictures are written a pixel (four bytes, red first) at a time.
static_assert(std::endian::native == std::endian::little);

// Where a row shows the figure: its first pixel and one past its last (both
// 0 for a row without it).
struct TRowFigure {
    uint32_t First = 0;
    uint32_t End = 0;
};

// One row of a picture from a frame over the grey (in) and a second frame
// (second; over secondBackground): a pixel is the figure's where either
// differs from its background or where in's alpha, masked by alphaMask, is
// not 0; then it is its colour with alpha 255; any other pixel is its colour
// masked by backgroundMask (0: transparent black). Written as a loop without
// branches, which the compiler turns into vector code, eight pixels at a
// time where the processor has AVX2.
__attribute__((target_clones("avx2", "default"))) TRowFigure ComposeRow(
    const uint32_t* in, const uint32_t* second, uint32_t* __restrict out, uint32_t width,
    uint32_t secondBackground, uint32_t alphaMask, uint32_t backgroundMask) {
    constexpr uint32_t grey = kViewerBackground & 0xFFFFFF;
    uint32_t first = width, end = 0;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t pixel = in[x] & 0xFFFFFF;
        const uint32_t figure = 0u - static_cast<uint32_t>((pixel != grey) | ((in[x] & alphaMask) != 0) |
                                                           ((second[x] & 0xFFFFFF) != secondBackground));
        first = std::min(first, (x & figure) | (width & ~figure));
        end = std::max(end, (x + 1) & figure);
        // X8R8G8B8 to red, green, blue, alpha 255 in memory order.
        const uint32_t rgba = (pixel >> 16) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16) | 0xFF000000u;
        out[x] = rgba & (backgroundMask | figure);
    }
    return {end == 0 ? 0 : first, end};
}

// The back buffer locked for reading over a picture's area; unlocked and
// released on leaving the scope.
class TLockedFrame {
public:
    TLockedFrame(IDirect3DDevice9* device, int32_t width, int32_t height) {
        if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back_) != D3D_OK || back_ == nullptr)
            throw Exception("The device has no frame to read.");
        D3DSURFACE_DESC desc{};
        const RECT area{0, 0, width, height};
        locked_ = back_->GetDesc(&desc) == D3D_OK &&
                  (desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8) &&
                  back_->LockRect(&rect_, &area, D3DLOCK_READONLY) == D3D_OK;
        if (!locked_ || rect_.pBits == nullptr) {
            Release();
            throw Exception("The device's frame could not be read.");
        }
    }
    ~TLockedFrame() { Release(); }
    TLockedFrame(const TLockedFrame&) = delete;
    TLockedFrame& operator=(const TLockedFrame&) = delete;

    const uint32_t* Row(int32_t y) const {
        return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rect_.pBits) +
                                                 static_cast<ptrdiff_t>(y) * rect_.Pitch);
    }

private:
    void Release() {
        if (locked_) back_->UnlockRect();
        locked_ = false;
        if (back_ != nullptr) back_->Release();
        back_ = nullptr;
    }
    IDirect3DSurface9* back_ = nullptr;
    D3DLOCKED_RECT rect_{};
    bool locked_ = false;
};

}  // namespace

// The owner window in memory: a client area of the renderer's maximum size
// that never moves. Frames are read from the back buffer where they were
// drawn (see DrawFrame), so nothing is ever presented to it.
class TOffscreenRenderer::TMemoryOwner : public TKVOwnerWindow, public PresentationTarget {
public:
    TMemoryOwner(int32_t width, int32_t height) : width_(width), height_(height) {}

    int ClientWidth() const override { return width_; }
    int ClientHeight() const override { return height_; }
    int Left() const override { return 0; }
    int Top() const override { return 0; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWindowPos(int, int, int width, int height) override {
        width_ = width;
        height_ = height;
    }
    HWND PresentationTarget() override { return this; }

    // Nothing waits for a display.
    double RefreshRate() const override { return 1e9; }
    void PresentFrame(const uint8_t*, int, int, int) override {}

private:
    int32_t width_;
    int32_t height_;
};

TOffscreenRenderer::TOffscreenRenderer(int32_t maxWidth, int32_t maxHeight)
    : maxWidth_(maxWidth), maxHeight_(maxHeight), layerCache_(8 * 1024 * 1024) {
    if (maxWidth < 1 || maxHeight < 1 || maxWidth > kMaxSide || maxHeight > kMaxSide)
        throw Exception("The picture size must be between 1 and 16384 pixels a side.");
    owner_ = std::make_unique<TMemoryOwner>(maxWidth, maxHeight);

    const std::lock_guard<std::mutex> lock(LifecycleMutex());
    // The device component with the window's stored properties (no log, no
    // halting), then the device with a depth buffer at the whole size.
    kv_ = std::make_unique<TKorvane>(owner_.get());
    kv_->UseREFDevice = false;
    kv_->UseSoftwareVertexProcessing = false;
    kv_->DebugOption = TKVDebugOption{};
    kv_->Loaded();
    // An A8R8G8B8 back buffer, where the device offers one, keeps where the
    // figure was drawn in its alpha (see Render); otherwise the display's format.
    kv_->RequestedBackBufferFormat = D3DFMT_A8R8G8B8;
    kv_->SetWindowMode(maxWidth, maxHeight, DefaultDepthFormats, D3DPRESENT_INTERVAL_IMMEDIATE,
                       D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
    if (kv_->Device == nullptr) {
        kv_->RequestedBackBufferFormat = D3DFMT_UNKNOWN;
        kv_->SetWindowMode(maxWidth, maxHeight, DefaultDepthFormats, D3DPRESENT_INTERVAL_IMMEDIATE,
                           D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
    }
    if (kv_->Device == nullptr) {
        kv_.reset();
        throw Exception("No Direct3D device could be made for the picture.");
    }
    alphaFrames_ = kv_->BackBufferFormat == D3DFMT_A8R8G8B8;
    IDirect3DDevice9* device = kv_->Device;
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    scene_ = std::make_unique<TOXScene>(kv_.get(), "");
    rootFrame_ = std::make_unique<TOXFrame>(nullptr);
    modelFrame_ = new TOXFrame(rootFrame_.get());   // owned by rootFrame_
    cameraFrame_ = new TOXFrame(rootFrame_.get());  // owned by rootFrame_
    scene_->Camera = cameraFrame_;
    Vec3 position, direction, up;
    Vec3Make(position, 0, 0, 130);
    Vec3Make(direction, 0, 0, -1);
    Vec3Make(up, 0, 1, 0);
    cameraFrame_->SetPosition(rootFrame_.get(), position);
    cameraFrame_->SetOrientation(rootFrame_.get(), direction, up);

    for (std::unique_ptr<TKVTexture>* texture : {&frontTexture_, &backTexture_}) {
        *texture = std::make_unique<TKVTexture>(kv_.get(), std::vector<D3DFORMAT>{D3DFMT_A1R5G5B5}, 0,
                                                D3DPOOL_MANAGED, 0, "");
        (*texture)->ClearColor = 0xFFFFFFFF;
    }
    // Until the first composition the figure wears nothing: both textures clear.
    ComposeTexture(frontTexture_.get(), kFrontLayerOrder, TPartSelection{}, layerCache_);
    ComposeTexture(backTexture_.get(), kBackLayerOrder, TPartSelection{}, layerCache_);

    mesh_ = std::make_unique<TOXMesh>(kv_.get(), "", "");
    DressFigureFrame(*modelFrame_, *mesh_, *frontTexture_);
    lightGroup_ = MakeFigureLight(kv_.get());
}

TOffscreenRenderer::~TOffscreenRenderer() {
    const std::lock_guard<std::mutex> lock(LifecycleMutex());
    FreeSceneObjects();
    kv_.reset();
}

void TOffscreenRenderer::FreeSceneObjects() {
    // The viewer's order: frames, light group, mesh, textures, scene.
    rootFrame_.reset();
    modelFrame_ = nullptr;
    cameraFrame_ = nullptr;
    lightGroup_.reset();
    mesh_.reset();
    frontTexture_.reset();
    backTexture_.reset();
    scene_.reset();
}

void TOffscreenRenderer::SetModel(TPdtRec model) {
    UploadModel(model, *mesh_);
    model_ = std::move(model);
    hasModel_ = true;
}

bool TOffscreenRenderer::LoadModel(const std::string& modelName) {
    std::optional<TPdtRec> pdt = ReadModelFile(ModelFileName(modelName));
    if (!pdt) return false;
    SetModel(std::move(*pdt));
    return true;
}

void TOffscreenRenderer::ComposeTextures(const TPartSelection& selection) {
    ComposeTexture(frontTexture_.get(), kFrontLayerOrder, selection, layerCache_);
    ComposeTexture(backTexture_.get(), kBackLayerOrder, selection, layerCache_);
}

void TOffscreenRenderer::DrawFrame(const TFigurePose& pose, int32_t width, int32_t height,
                                   uint32_t clearColor) {
    IDirect3DDevice9* device = kv_->Device;
    // The window's projection and viewport for a client area of this size.
    scene_->SetProjection(true, 0.7853982f, static_cast<float>(height) / static_cast<float>(width), 0.01f,
                          10000.0f);
    scene_->SetViewport(0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    PoseModelFrame(*modelFrame_, *rootFrame_, pose.Yaw, pose.Pitch, pose.Zoom);
    modelFrame_->SetTexture(ShowsBackTexture(pose.Yaw) ? backTexture_.get() : frontTexture_.get());

    device->BeginScene();
    scene_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColor, 1.0f, 0);
    scene_->Render(rootFrame_.get(), true);
    device->EndScene();
}

TRenderedPicture TOffscreenRenderer::Render(const TFigurePose& pose, int32_t width, int32_t height,
                                            TBackground background) {
    TRenderedPicture result;
    Render(pose, width, height, background, result);
    return result;
}

void TOffscreenRenderer::Render(const TFigurePose& pose, int32_t width, int32_t height,
                                TBackground background, TRenderedPicture& result) {
    if (width < 1 || height < 1 || width > maxWidth_ || height > maxHeight_)
        throw Exception("The picture size is beyond the renderer's.");
    const bool transparent = background == TBackground::Transparent;
    // Which pixels are the figure's. With an alpha back buffer cleared to the
    // grey with alpha 0, one frame tells: blending writes alpha with the
    // colour's factors (source alpha and its inverse), so a pixel the figure
    // drew at source alpha 12 or more keeps an alpha above 0 (a^2/255 rounds
    // to 1 or more, and later blends never bring it back to 0). Fainter
    // blends leave alpha 0, yet the frame over black would change only where
    // the colour is bright enough to show, and the figure's states keep
    // colour within the texel alpha plus its specular (transparent texels
    // are transparent black, filtering and MODULATE by the material's
    // diffuse alpha 1 never lift a channel above alpha, and the specular
    // adds at most 0.1 x 255): a pixel that changes over black but keeps the
    // grey exactly cannot be made so. Every sequence of such blends, taken
    // channel by channel through the device's rounding, gives the same
    // answer as the two frames. Without an alpha back buffer, a second frame
    // over black is drawn and compared.
    const bool keyFrame = transparent && (!alphaFrames_ || keyFrames_);
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (keyFrame) {
        DrawFrame(pose, width, height, kKeyBackground);
        const TLockedFrame frame(kv_->Device, width, height);
        // Only ever grown: a smaller frame between two large ones would have
        // the large one's pixels cleared again for nothing.
        if (keyFrame_.size() < pixels) keyFrame_.resize(pixels);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(keyFrame_.data() + static_cast<size_t>(y) * static_cast<size_t>(width), frame.Row(y),
                        static_cast<size_t>(width) * 4);
    }
    DrawFrame(pose, width, height, alphaFrames_ ? kViewerBackground & 0xFFFFFF : kViewerBackground);
    const TLockedFrame frame(kv_->Device, width, height);

    // Every pixel is written below: the buffer need not be cleared first.
    result.Image.Width = width;
    result.Image.Height = height;
    result.Image.HasAlpha = transparent;
    result.Image.Pixels.resize(pixels * 4);
    result.Figure = {};
    int32_t left = width, right = -1, top = -1, bottom = -1;
    constexpr uint32_t grey = kViewerBackground & 0xFFFFFF;
    constexpr uint32_t key = kKeyBackground & 0xFFFFFF;
    // Over the key colour when there is a second frame; over the grey again
    // (the same test twice) when not, so that one loop serves every case.
    const uint32_t secondBackground = keyFrame ? key : grey;
    // The frame's alpha counts only for a transparent picture from one frame:
    // a grey picture's figure is where the grey changed, as the window shows.
    const uint32_t alphaMask = transparent && !keyFrame ? 0xFF000000u : 0u;
    // Where the figure is not drawn: transparent black, or the grey as it is.
    const uint32_t backgroundMask = transparent ? 0u : ~0u;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* in = frame.Row(y);
        const uint32_t* second = keyFrame ? keyFrame_.data() + static_cast<size_t>(y) * width : in;
        const TRowFigure figure =
            ComposeRow(in, second, reinterpret_cast<uint32_t*>(result.Image.Row(y)),
                       static_cast<uint32_t>(width), secondBackground, alphaMask, backgroundMask);
        if (figure.End == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, static_cast<int32_t>(figure.First));
        right = std::max(right, static_cast<int32_t>(figure.End) - 1);
    }
    if (top >= 0) result.Figure = {left, top, right - left + 1, bottom - top + 1};
}

std::vector<uint16_t> TOffscreenRenderer::TextureTexels(bool back) const {
    std::vector<uint16_t> texels(static_cast<size_t>(kLayerTextureWidth) * kLayerTextureHeight, 0);
    TKVTexture* texture = back ? backTexture_.get() : frontTexture_.get();
    if (texture == nullptr || texture->Texture == nullptr || texture->Format != D3DFMT_A1R5G5B5)
        return texels;
    D3DLOCKED_RECT locked{};
    if (texture->Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK ||
        locked.pBits == nullptr)
        return texels;
    for (int32_t row = 0; row < kLayerTextureHeight; ++row)
        std::memcpy(texels.data() + static_cast<size_t>(row) * kLayerTextureWidth,
                    static_cast<const uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(row) * locked.Pitch,
                    static_cast<size_t>(kLayerTextureWidth) * 2);
    texture->Texture->UnlockRect(0);
    return texels;
}

}  // namespace wbx
