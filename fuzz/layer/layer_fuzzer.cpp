// Fuzz target for the layer-file path: ReadCompressedFile, then the layer
// drawn into level 0 of a locked 256 x 512 A1R5G5B5 texture, as the window's
// composition does it. The first byte chooses what the rest is:
//   even: a whole layer file (size-prefixed zlib wrapper), read from disk;
//   odd:  layer content (X, Y, W, H, pixels), wrapped in a valid zlib file
//         first, so that the fuzzer reaches the drawing with any rectangle.
//         Its result is checked against a plain re-statement of the drawing
//         rule (clip to the texture, draw pixels with bit 15 set).
// Every file is also read with zlib's streaming inflate alone: the one-call
// inflate must give the same content, or fail with the same error (kind and
// text), and leave the destination stream the same size and position (unless
// zlib refuses a reserved length symbol the one-call inflate reads; see
// below); the content drawn the way the viewer composes, through its layer
// cache into plain memory, must give the same texels.
// Refusals are stream errors (EStreamError); anything else - a crash, a
// sanitizer report, another exception, a wrong texel, a disagreement - is a
// finding.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/zstream.h"
#include "device/texture.h"
#include "layerreference.h"
#include "sampledata/compressedfile.h"
#include "scratchfile.h"
#include "viewer/compressedfile.h"
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

// What one way of reading a file gives: its content, or its error.
struct TReadOutcome {
    bool Exists = false;
    std::string Error;  // the exception's kind and message; empty when none
    std::vector<uint8_t> Bytes;
    int64_t Position = 0;
};

template <class TRead>
TReadOutcome ReadOutcome(const std::string& fileName, TRead read) {
    TReadOutcome outcome;
    wbx::TMemoryStream dest;
    dest.WriteBuffer("pre", 3);  // the content goes after what the stream holds
    try {
        outcome.Exists = read(fileName, dest);
    } catch (const wbx::EZDecompressionError& error) {
        outcome.Error = "EZDecompressionError " + error.Message();
    } catch (const wbx::EReadError& error) {
        outcome.Error = "EReadError " + error.Message();
    } catch (const wbx::EStreamError& error) {
        outcome.Error = "EStreamError " + error.Message();
    }
    outcome.Position = dest.Position();
    if (outcome.Error.empty()) outcome.Bytes = dest.Bytes();
    return outcome;
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

    // The one-call inflate against zlib's streaming inflate alone.
    const TReadOutcome whole = ReadOutcome(file.Name(), wbx::ReadCompressedFile);
    const TReadOutcome streamed = ReadOutcome(file.Name(), wbx::ReadCompressedFileStreamed);
    // zlib refuses the reserved length symbols 286 and 287, which the
    // one-call inflate reads as a length of 258; its content then stands, the
    // stream's checksum having held.
    const bool reservedCodeRead =
        whole.Exists && whole.Error.empty() && streamed.Error.rfind("EZDecompressionError ", 0) == 0;
    if (!reservedCodeRead && (whole.Exists != streamed.Exists || whole.Error != streamed.Error ||
                              whole.Position != streamed.Position || whole.Bytes != streamed.Bytes))
        __builtin_trap();

    // The viewer's own path: the content through the layer cache, drawn into
    // plain memory of exactly 512 rows, must fail alike or give the same texels.
    static wbx::TLayerCache cache;
    cache.Clear();  // the scratch file may keep its size and times across inputs
    std::vector<uint8_t> surface(size_t{2} * kLayerTextureWidth * kLayerTextureHeight, 0);
    bool plain = false;
    try {
        if (wbx::TMemoryStream* content = cache.Content(file.Name())) {
            wbx::DrawLayerContent(*content, surface.data(), 2 * kLayerTextureWidth);
            plain = true;
        }
    } catch (const wbx::EStreamError&) {
    }
    if (plain != drawn) __builtin_trap();
    for (int32_t row = 0; row < kLayerTextureHeight; ++row)
        if (std::memcmp(bits + int64_t{row} * locked.Pitch, &surface[size_t(row) * 2 * kLayerTextureWidth],
                        2 * kLayerTextureWidth) != 0)
            __builtin_trap();
    texture.UnlockRect();
    return 0;
}
