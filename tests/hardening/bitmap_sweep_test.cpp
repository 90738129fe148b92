// Bitmaps damaged by one edit: every prefix, and every value of every byte of
// the two headers, loaded with LoadBMP into fixed textures of the three kinds
// of destination (A1R5G5B5, X8R8G8B8, P8) and through TKVTexture's stream
// load, which sizes its texture from the header first. Nothing may be raised;
// a prefix keeps only rows the whole bitmap gives; and no load asks for
// memory beyond the texture the header declares (which the device bounds by
// its maximum texture size) and a few times the bitmap's bytes.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "device/bitmap.h"
#include "device/texture.h"
#include "hardeningfixture.h"
#include "heapmeter.h"
#include "samples.h"

namespace wbx::testing {
namespace {

constexpr uint32_t kWidth = 24;   // the fixed textures: wider than tall bitmaps,
constexpr uint32_t kHeight = 20;  // narrower than wide ones
constexpr uint32_t kFill = 0x5A;  // every byte of a fixed texture before a load
constexpr D3DFORMAT kFormats[] = {D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_P8};

// A texture of a load's destination kind and level 0's bytes.
class FixedTexture {
public:
    FixedTexture(IDirect3DDevice9* device, D3DFORMAT format) : format_(format) {
        EXPECT_EQ(device->CreateTexture(kWidth, kHeight, 1, 0, format, D3DPOOL_MANAGED, &texture_, nullptr),
                  D3D_OK);
    }
    ~FixedTexture() {
        if (texture_) texture_->Release();
    }
    FixedTexture(const FixedTexture&) = delete;
    FixedTexture& operator=(const FixedTexture&) = delete;
    void Fill() {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (uint32_t y = 0; y < kHeight; ++y)
            std::memset(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, kFill, RowBytes());
        texture_->UnlockRect(0);
    }
    std::vector<std::vector<uint8_t>> Rows() const {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture_->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<std::vector<uint8_t>> rows;
        for (uint32_t y = 0; y < kHeight; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
            rows.emplace_back(row, row + RowBytes());
        }
        texture_->UnlockRect(0);
        return rows;
    }
    IDirect3DTexture9* Texture() const { return texture_; }
    D3DFORMAT Format() const { return format_; }

private:
    uint32_t RowBytes() const {
        return kWidth * (format_ == D3DFMT_X8R8G8B8 ? 4 : format_ == D3DFMT_P8 ? 1 : 2);
    }
    D3DFORMAT format_;
    IDirect3DTexture9* texture_ = nullptr;
};

class BitmapSweep : public DeviceTest {
protected:
    // Loads bytes into a filled texture, returning its rows.
    std::vector<std::vector<uint8_t>> Load(FixedTexture& texture, const Bytes& bytes,
                                           size_t* largest = nullptr) {
        texture.Fill();
        TMemoryStream stream;
        stream.Bytes() = bytes;
        const AllocationReport report = MeterAllocations([&] { LoadBMP(texture.Texture(), stream); });
        if (largest) *largest = report.Largest;
        return texture.Rows();
    }

    // The whole bitmaps of the sweeps: taller and narrower, and shorter and
    // wider, than the fixed textures, at every bit count.
    static std::vector<Bytes> Bitmaps() {
        return {SampleBitmap(7, 26, 8), SampleBitmap(30, 5, 16), SampleBitmap(5, 23, 24),
                SampleBitmap(27, 4, 32)};
    }
};

TEST_F(BitmapSweep, EveryPrefixKeepsOnlyRowsOfTheWholeImage) {
    for (D3DFORMAT format : kFormats) {
        FixedTexture texture(KV->Device, format);
        for (const Bytes& bitmap : Bitmaps()) {
            const uint16_t bits = bitmap[28];
            if (format == D3DFMT_P8 && bits > 8) continue;  // refused at once, tested below
            const auto whole = Load(texture, bitmap);
            const auto untouched =
                std::vector<std::vector<uint8_t>>(kHeight, std::vector<uint8_t>(whole[0].size(), kFill));
            ASSERT_NE(whole, untouched) << bits;
            for (size_t keep = 0; keep < bitmap.size(); ++keep) {
                size_t largest = 0;
                const auto rows = Load(texture, Bytes(bitmap.begin(), bitmap.begin() + keep), &largest);
                for (uint32_t y = 0; y < kHeight; ++y)
                    EXPECT_TRUE(rows[y] == whole[y] || rows[y] == untouched[y])
                        << "format " << format << ", " << bits << " bits, prefix " << keep << ", row " << y;
                EXPECT_LE(largest, 2 * bitmap.size() + 1024) << bits << " bits, prefix " << keep;
            }
        }
    }
}

TEST_F(BitmapSweep, EveryValueOfEveryHeaderByteStaysInItsBuffers) {
    // Widths, heights, bit counts and pixel offsets of every kind; the loads
    // must neither raise nor (in the sanitizer build) touch memory they do not own.
    std::vector<std::unique_ptr<FixedTexture>> textures;
    for (D3DFORMAT format : kFormats) textures.push_back(std::make_unique<FixedTexture>(KV->Device, format));
    for (const Bytes& bitmap : Bitmaps()) {
        for (size_t at = 0; at < 54; ++at) {
            for (int value = 0; value < 256; ++value) {
                Bytes damaged = bitmap;
                damaged[at] = static_cast<uint8_t>(value);
                for (const auto& texture : textures) {
                    size_t largest = 0;
                    ASSERT_NO_THROW(Load(*texture, damaged, &largest));
                    // Row buffers: at most a source row the stream holds, and a texture row.
                    EXPECT_LE(largest, damaged.size() + 1024) << "byte " << at << " = " << value;
                }
            }
        }
    }
}

// Level 0 of a stream-loaded texture, row by row (4-byte texels).
std::vector<std::vector<uint8_t>> TextureRows(const TKVTexture& texture) {
    std::vector<std::vector<uint8_t>> rows;
    D3DLOCKED_RECT locked{};
    if (texture.Texture == nullptr ||
        texture.Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return rows;
    for (uint32_t y = 0; y < texture.TextureHeight; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
        rows.emplace_back(row, row + 4 * size_t{texture.TextureWidth});
    }
    texture.Texture->UnlockRect(0);
    return rows;
}

TEST_F(BitmapSweep, StreamLoadsSizeTheTextureFromTheHeaderWithinTheDeviceMaximum) {
    TKVTexture texture(KV.get(), {D3DFMT_A8R8G8B8}, 0, D3DPOOL_MANAGED, 1, "sweep");
    D3DCAPS9 caps{};
    KV->D3D->GetDeviceCaps(KV->Adapter, KV->DeviceType, &caps);
    auto load = [&](const Bytes& bytes, const std::string& what) {
        texture.SetSize(1, 1);
        TMemoryStream stream;
        stream.Bytes() = bytes;
        const AllocationReport report = MeterAllocations([&] { texture.LoadFromStream(stream); });
        // Nothing but the texture the header asks for (its rows as the
        // device lays them out), which the device bounds, and buffers of the
        // stream's size.
        uint64_t textureBytes = 0;
        D3DLOCKED_RECT locked{};
        if (texture.Texture != nullptr &&
            texture.Texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            textureBytes = uint64_t(locked.Pitch) * texture.TextureHeight;
            texture.Texture->UnlockRect(0);
        }
        EXPECT_LE(report.Largest, textureBytes + 2 * bytes.size() + 4096) << what;
        if (texture.Texture != nullptr) {
            EXPECT_LE(texture.TextureWidth, caps.MaxTextureWidth) << what;
            EXPECT_LE(texture.TextureHeight, caps.MaxTextureHeight) << what;
        }
    };
    for (const Bytes& bitmap : Bitmaps()) {
        int32_t width, height;
        std::memcpy(&width, &bitmap[18], 4);
        std::memcpy(&height, &bitmap[22], 4);
        load(bitmap, "whole");
        const auto whole = TextureRows(texture);
        ASSERT_EQ(whole.size(), static_cast<size_t>(height));
        const std::vector<uint8_t> cleared = std::vector<uint8_t>(4 * size_t(width), 0);  // ClearColor 0
        // A prefix that holds both headers sizes the texture as the whole
        // bitmap does, and keeps rows of the whole image or cleared rows.
        for (size_t keep = 0; keep <= bitmap.size(); ++keep) {
            const std::string what = std::to_string(bitmap[28]) + " bits, prefix " + std::to_string(keep);
            load(Bytes(bitmap.begin(), bitmap.begin() + keep), what);
            if (keep < 54) continue;
            ASSERT_EQ(texture.Width, static_cast<uint32_t>(width)) << what;
            ASSERT_EQ(texture.Height, static_cast<uint32_t>(height)) << what;
            const auto rows = TextureRows(texture);
            ASSERT_EQ(rows.size(), whole.size()) << what;
            for (size_t y = 0; y < rows.size(); ++y)
                EXPECT_TRUE(rows[y] == whole[y] || rows[y] == cleared) << what << ", row " << y;
        }
        for (size_t at = 0; at < 54; ++at) {
            for (int value = 0; value < 256; ++value) {
                Bytes damaged = bitmap;
                damaged[at] = static_cast<uint8_t>(value);
                load(damaged, "byte " + std::to_string(at) + " = " + std::to_string(value));
            }
        }
    }
}

TEST_F(BitmapSweep, HeadersBeyondTheDeviceMaximumSizeNoTexture) {
    // 8192 x 8192 at 32 bits declared by a header with no pixels behind it is
    // a texture the device may make (256 MiB here); one size more is refused
    // by the device before anything is allocated.
    D3DCAPS9 caps{};
    KV->D3D->GetDeviceCaps(KV->Adapter, KV->DeviceType, &caps);
    TKVTexture texture(KV.get(), {D3DFMT_A8R8G8B8}, 0, D3DPOOL_MANAGED, 1, "huge");
    for (const int32_t side : {static_cast<int32_t>(caps.MaxTextureWidth) + 1, 0x7FFFFFFF}) {
        Bytes bitmap = SampleBitmap(2, 2, 32);
        std::memcpy(bitmap.data() + 18, &side, 4);
        std::memcpy(bitmap.data() + 22, &side, 4);
        TMemoryStream stream;
        stream.Bytes() = bitmap;
        EXPECT_EQ(ReadBitmapInfo(stream, 0).Width, side);
        stream.SetPosition(0);
        const AllocationReport report = MeterAllocations([&] { texture.LoadFromStream(stream); });
        EXPECT_EQ(texture.Texture, nullptr) << side;
        EXPECT_LE(report.Largest, 4096u) << side;
    }
    // Sizes that are no image at all never reach the texture.
    for (const int32_t side : {0, -1}) {
        Bytes bitmap = SampleBitmap(2, 2, 32);
        std::memcpy(bitmap.data() + 18, &side, 4);
        TMemoryStream stream;
        stream.Bytes() = bitmap;
        EXPECT_THROW(ReadBitmapInfo(stream, 0), EBitmapError) << side;
    }
}

}  // namespace
}  // namespace wbx::testing
