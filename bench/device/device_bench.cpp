// What the viewer waits for in the device layer: re-creating and clearing a
// composed texture (twice per part selection) and loading a bitmap.
// Logging is off, as in the viewer.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "d3d9/presentationtarget.h"
#include "device/bitmap.h"
#include "device/korvane.h"
#include "device/texture.h"

namespace {

using namespace wbx;

class BenchWindow : public TKVOwnerWindow, public PresentationTarget {
public:
    int ClientWidth() const override { return 640; }
    int ClientHeight() const override { return 480; }
    int Left() const override { return 0; }
    int Top() const override { return 0; }
    int Width() const override { return 640; }
    int Height() const override { return 480; }
    void SetWindowPos(int, int, int, int) override {}
    HWND PresentationTarget() override { return this; }
    void PresentFrame(const uint8_t*, int, int, int) override {}
};

struct Viewer {
    Viewer() {
        kv = std::make_unique<TKorvane>(&window);
        kv->SetDebugOption({});
        kv->Loaded();
    }
    ~Viewer() {
        texture.reset();
        kv.reset();
    }
    BenchWindow window;
    std::unique_ptr<TKorvane> kv;
    std::unique_ptr<TKVTexture> texture;
};

// One compositing pass's device work: SetSize(256, 512), FillColor with 0 over
// the whole texture, then a lock and unlock of level 0 (the layers are drawn
// between them).
void BM_ComposeTextureSetUp(benchmark::State& state) {
    Viewer viewer;
    viewer.texture = std::make_unique<TKVTexture>(viewer.kv.get(), std::vector<D3DFORMAT>{D3DFMT_A1R5G5B5}, 0,
                                                  D3DPOOL_MANAGED, 0, "");
    viewer.texture->ClearColor = 0xFFFFFFFF;
    TKVTexture& texture = *viewer.texture;
    for (auto _ : state) {
        texture.SetSize(256, 512);
        texture.FillColor(RECT{0, 0, 256, 512}, 0, false);
        D3DLOCKED_RECT locked{};
        texture.Texture->LockRect(0, &locked, nullptr, 0);
        benchmark::DoNotOptimize(locked.pBits);
        texture.Texture->UnlockRect(0);
    }
}
BENCHMARK(BM_ComposeTextureSetUp)->Unit(benchmark::kMicrosecond);

std::vector<uint8_t> Bitmap32(int32_t width, int32_t height) {
    const uint32_t imageSize = static_cast<uint32_t>(width * height * 4);
    TBitmapFileHeader file{kBitmapType, 54 + imageSize, 0, 0, 54};
    TBitmapInfoHeader info{40, width, height, 1, 32, 0, imageSize, 0, 0, 0, 0};
    std::vector<uint8_t> bytes(54 + imageSize);
    std::memcpy(bytes.data(), &file, 14);
    std::memcpy(bytes.data() + 14, &info, 40);
    for (uint32_t i = 0; i < imageSize; ++i) bytes[54 + i] = static_cast<uint8_t>(i * 131 + (i >> 10));
    return bytes;
}

// LoadBMP of a 256 x 512 32-bit bitmap into a texture of that size, in the
// format given as the argument.
void BM_LoadBMP32(benchmark::State& state) {
    Viewer viewer;
    const D3DFORMAT format = static_cast<D3DFORMAT>(state.range(0));
    viewer.texture = std::make_unique<TKVTexture>(viewer.kv.get(), std::vector<D3DFORMAT>{format}, 0,
                                                  D3DPOOL_MANAGED, 0, "");
    viewer.texture->SetSize(256, 512);
    TMemoryStream stream;
    const std::vector<uint8_t> bytes = Bitmap32(256, 512);
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    for (auto _ : state) {
        stream.SetPosition(0);
        LoadBMP(viewer.texture->Texture, stream);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadBMP32)->Arg(D3DFMT_A1R5G5B5)->Arg(D3DFMT_A8R8G8B8)->Unit(benchmark::kMicrosecond);

}  // namespace
