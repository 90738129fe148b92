// Fuzz target for the layer-file path: ReadCompressedFile, then the layer
// drawn into level 0 of a locked 256 x 512 A1R5G5B5 texture, as the window's
// composition does it. The first byte chooses what the rest is:
//   even: a whole layer file (size-prefixed zlib wrapper), read from disk;
//   odd:  layer content (X, Y, W, H, pixels), wrapped in a valid zlib file
//         first, so that the fuzzer reaches the drawing with any rectangle.
//         Its result is checked against a plain re-statement of the drawing
//         rule (clip to the texture, draw pixels with bit 15 set).
// Every input is also drawn the way the viewer composes: through its layer
// cache, into plain memory; both ways must agree texel for texel.
// Refusals are stream errors (EStreamError); anything else - a crash, a
// sanitizer report, another exception, a wrong texel - is a finding.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "device/texture.h"
#include "layerreference.h"
#include "sampledata/compressedfile.h"
#include "scratchfile.h"
#include "viewer/layer.h"
#include "viewer/layercache.h"
#include "viewercomponent.h"

namespace {

using wbx::kLayerTextureHeight;
using wbx::kLayerTextureWidth;

wbx::TKVTexture& Texture() {
    static wbx::TKVTexture texture(&wbx::testing::SharedDeviceComponent(), {D3DFMT_A1R5G5B5}, 0,
                                   D3DPOOL_MANAGED, 1, "fuzz layer");
    return texture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static wbx::testing::ScratchFile file(".pav");
    const bool contentMode = data[0] & 1;
    std::vector<uint8_t> fileBytes;
    if (contentMode) {
        wbx::sampledata::CompressedFileOptions fast;
        fast.Level = 1;
        fileBytes = wbx::sampledata::EncodeCompressedFile({data + 1, size - 1}, fast);
    } else {
        fileBytes.assign(data + 1, data + size);
    }
    file.Write(fileBytes.data(), fileBytes.size());

    wbx::TKVTexture& texture = Texture();
    texture.SetSize(kLayerTextureWidth, kLayerTextureHeight);
    texture.FillColor(RECT{0, 0, kLayerTextureWidth, kLayerTextureHeight}, 0, false);
    const D3DLOCKED_RECT locked = texture.LockRect(0, nullptr, 0);
    if (locked.pBits == nullptr || locked.Pitch < 2 * kLayerTextureWidth) __builtin_trap();
    auto* bits = static_cast<uint8_t*>(locked.pBits);
    bool drawn = false;
    try {
        drawn = wbx::DrawLayerFile(file.Name(), bits, locked.Pitch);
        if (!drawn) __builtin_trap();  // the file exists
    } catch (const wbx::EStreamError&) {
    }
    if (contentMode) {
        std::vector<uint16_t> expected;
        const bool complete = wbx::testing::ReferenceLayerTexels(data + 1, size - 1, expected);
        if (drawn != complete) __builtin_trap();
        if (complete) {
            for (int32_t row = 0; row < kLayerTextureHeight; ++row)
                if (std::memcmp(bits + int64_t{row} * locked.Pitch,
                                &expected[size_t(row) * kLayerTextureWidth], 2 * kLayerTextureWidth) != 0)
                    __builtin_trap();
        }
    }

    // The viewer's own path: the content through the layer cache, drawn into
    // plain memory of exactly 512 rows, must fail alike or give the same texels.
    static wbx::TLayerCache cache;
    cache.Clear();  // the scratch file may keep its size and time across inputs
    std::vector<uint8_t> surface(size_t{2} * kLayerTextureWidth * kLayerTextureHeight, 0);
    bool cached = false;
    try {
        if (wbx::TMemoryStream* content = cache.Content(file.Name())) {
            wbx::DrawLayerContent(*content, surface.data(), 2 * kLayerTextureWidth);
            cached = true;
        }
    } catch (const wbx::EStreamError&) {
    }
    if (cached != drawn) __builtin_trap();
    for (int32_t row = 0; row < kLayerTextureHeight; ++row)
        if (std::memcmp(bits + int64_t{row} * locked.Pitch, &surface[size_t(row) * 2 * kLayerTextureWidth],
                        2 * kLayerTextureWidth) != 0)
            __builtin_trap();
    texture.UnlockRect();
    return 0;
}
